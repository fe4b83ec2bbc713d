// Dialog templates as data: each control with its number, kind, text and
// rectangle in dialog units (a quarter of the font's average character width,
// an eighth of its height).
#pragma once

#include <cstddef>

enum EDialogItemKind {
    DI_STATIC,         // left-aligned text; "&" is shown as it is
    DI_STATIC_CENTER,  // centred text
    DI_ICON,           // the application's icon
    DI_BUTTON,
    DI_DEFBUTTON,  // the default push button
    DI_CHECKBOX,   // a check box that ticks itself
    DI_EDIT_MULTILINE,
    DI_COMBO_DROPDOWN,  // a list with an edit field; entries stay in their order
    DI_LIST,            // the bookmark list, which the form makes itself
};

struct CDialogItem {
    int nId;
    EDialogItemKind kind;
    const char* pszText;
    int x, y, cx, cy;
};

struct CDialogTemplate {
    int nId;
    const char* pszTitle;
    int cx, cy;
    const char* pszFont;
    int nPointSize;
    const CDialogItem* pItems;
    std::size_t nItems;
};

// Templates 100, 130, 132, 138 and 142; null for another number.
const CDialogTemplate* FindDialogTemplate(int nId);
