// Dialog templates as plain data: every control with its number, kind, text,
// rectangle in dialog units (a quarter of the dialog font's average character
// width, an eighth of its height) and style flags.
#pragma once

#include <cstddef>

enum EDialogItemKind {
    DI_LTEXT,           // static text, left-aligned
    DI_CTEXT,           // static text, centred
    DI_ICON,            // the application's icon
    DI_PUSHBUTTON,      // push button
    DI_DEFPUSHBUTTON,   // the default push button
    DI_AUTOCHECKBOX,    // check box that ticks itself when clicked
    DI_EDIT,            // edit field; DIS_MULTILINE makes it a text area
    DI_COMBO_DROPDOWN,  // list with an edit field
    DI_LIST,            // the owner-drawn bookmark list; its owner creates it
};

// Style flags of an item.
enum : unsigned {
    DIS_TABSTOP = 1u << 0,
    DIS_BORDER = 1u << 1,
    DIS_VSCROLL = 1u << 2,
    DIS_HSCROLL = 1u << 3,
    DIS_NOPREFIX = 1u << 4,        // static text: "&" is shown, not a mnemonic
    DIS_MULTILINE = 1u << 5,       // edit
    DIS_AUTOVSCROLL = 1u << 6,     // edit
    DIS_AUTOHSCROLL = 1u << 7,     // edit and combo box edit field
    DIS_WANTRETURN = 1u << 8,      // edit: Enter inserts a line break
    DIS_SORT = 1u << 9,            // combo box: keeps its entries sorted
    DIS_REPORT = 1u << 10,         // list: rows with columns
    DIS_SHOWSELALWAYS = 1u << 11,  // list: selection shown without the focus
    DIS_EDITLABELS = 1u << 12,     // list: names can be edited in place
    DIS_AUTOARRANGE = 1u << 13,    // list
    DIS_ALIGNLEFT = 1u << 14,      // list
};

struct CDialogItem {
    int nId;  // -1 for a static control without a number
    EDialogItemKind kind;
    const char* pszText;  // null: no text
    int x, y, cx, cy;
    unsigned nStyle;  // DIS_ flags
};

struct CDialogTemplate {
    int nId;
    const char* pszTitle;
    int cx, cy;  // client size in dialog units; 0 x 0: no extent of its own
    const char* pszFont;
    int nPointSize;
    const CDialogItem* pItems;
    std::size_t nItems;
};

// Templates 100 (About), 130 (form), 132 (Tips), 138 (import status) and 142
// (profile choice); null for any other number.
const CDialogTemplate* FindDialogTemplate(int nId);
