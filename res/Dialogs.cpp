#include "res/Dialogs.h"

#include "res/Resource.h"

namespace {

constexpr const char* kDialogFont = "MS Sans Serif";
constexpr int kPointSize = 8;

constexpr CDialogItem g_aboutItems[] = {
    {IDC_STATIC, DI_ICON, nullptr, 11, 17, 20, 20, 0},
    {IDC_STATIC, DI_LTEXT, "TVL Version 2.1", 40, 10, 119, 8, DIS_NOPREFIX},
    {IDOK, DI_DEFPUSHBUTTON, "OK", 178, 7, 32, 14, DIS_TABSTOP},
};

constexpr CDialogItem g_formItems[] = {
    {IDC_FILTER, DI_COMBO_DROPDOWN, nullptr, 0, 2, 100, 90,
     DIS_AUTOHSCROLL | DIS_VSCROLL | DIS_TABSTOP},
    {IDC_LIST, DI_LIST, "List1", 0, 16, 260, 36,
     DIS_REPORT | DIS_SHOWSELALWAYS | DIS_EDITLABELS | DIS_AUTOARRANGE | DIS_ALIGNLEFT |
         DIS_BORDER | DIS_TABSTOP},
    {IDC_ADD_EXPLORER, DI_AUTOCHECKBOX, "Add to &IExplorer", 123, 2, 64, 12, DIS_TABSTOP},
    {IDC_ADD_NETSCAPE, DI_AUTOCHECKBOX, "Add to &Netscape", 196, 2, 64, 12, DIS_TABSTOP},
};

constexpr CDialogItem g_tipsItems[] = {
    {IDOK, DI_DEFPUSHBUTTON, "OK", 126, 181, 50, 14, DIS_TABSTOP},
    {IDC_TIPS_TEXT, DI_EDIT, nullptr, 7, 7, 301, 167,
     DIS_MULTILINE | DIS_BORDER | DIS_VSCROLL | DIS_HSCROLL | DIS_AUTOVSCROLL | DIS_AUTOHSCROLL |
         DIS_WANTRETURN | DIS_TABSTOP},
};

constexpr CDialogItem g_statusItems[] = {
    {IDC_STATUS_TEXT, DI_CTEXT, "", 7, 13, 195, 12, 0},
};

constexpr CDialogItem g_profileItems[] = {
    {IDC_STATIC, DI_LTEXT, "Select a user name from the list below:", 8, 7, 120, 10, 0},
    {IDC_USERS, DI_COMBO_DROPDOWN, nullptr, 8, 21, 117, 14, DIS_SORT | DIS_VSCROLL | DIS_TABSTOP},
    {IDOK, DI_DEFPUSHBUTTON, "OK", 134, 21, 38, 14, DIS_TABSTOP},
};

template <std::size_t N>
constexpr CDialogTemplate MakeTemplate(int nId, const char* pszTitle, int cx, int cy,
                                       const char* pszFont, const CDialogItem (&items)[N]) {
    return {nId, pszTitle, cx, cy, pszFont, kPointSize, items, N};
}

constexpr CDialogTemplate g_templates[] = {
    MakeTemplate(IDD_ABOUTBOX, "About Tavrel", 217, 55, kDialogFont, g_aboutItems),
    MakeTemplate(IDD_TAVREL_FORM, "Tavrel", 0, 0, kDialogFont, g_formItems),
    MakeTemplate(IDD_TIPS, "Tips & Hints", 315, 200, "Courier New", g_tipsItems),
    MakeTemplate(IDD_STATUS, "Tavrel Status", 209, 42, kDialogFont, g_statusItems),
    MakeTemplate(IDD_PROFILE, "Dialog", 187, 49, kDialogFont, g_profileItems),
};

}  // namespace

const CDialogTemplate* FindDialogTemplate(int nId) {
    for (const CDialogTemplate& tmpl : g_templates) {
        if (tmpl.nId == nId) {
            return &tmpl;
        }
    }
    return nullptr;
}
