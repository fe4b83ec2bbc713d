// The main window's menu, accelerators and tool bar, as data the frame builds
// its bars from.
#pragma once

#include <cstddef>

constexpr int ID_SEPARATOR = 0;

struct CMenuItemRes {
    int nId;  // ID_SEPARATOR for a separator
    const char* pszLabel;
    bool bCheck;
};

struct CPopupRes {
    const char* pszTitle;
    const CMenuItemRes* pItems;
    std::size_t nItems;
};

enum EAccelModifier { ACCEL_CTRL_KEY, ACCEL_ALT_KEY };

struct CAccelRes {
    EAccelModifier modifier;
    char chKey;
    int nId;
};

// Tool bar buttons in order; ID_SEPARATOR between groups.
struct CToolRes {
    int nId;
    const char* pszArt;  // the theme's stock image
};

extern const CPopupRes g_mainMenu[4];
extern const CAccelRes g_accelerators[5];
extern const CToolRes g_toolBar[7];
