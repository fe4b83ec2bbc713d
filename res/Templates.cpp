#include "res/Templates.h"

#include <iterator>

#include "res/Resource.h"

namespace {

constexpr CDialogItem g_about[] = {
    {IDC_STATIC, DI_ICON, nullptr, 11, 17, 20, 20},
    {IDC_STATIC, DI_STATIC, "TVL Version 2.1", 40, 10, 119, 8},
    {IDOK, DI_DEFBUTTON, "OK", 178, 7, 32, 14},
};

constexpr CDialogItem g_form[] = {
    {IDC_FILTER, DI_COMBO_DROPDOWN, nullptr, 0, 2, 100, 90},
    {IDC_LIST, DI_LIST, "List1", 0, 16, 260, 36},
    {IDC_ADD_EXPLORER, DI_CHECKBOX, "Add to &IExplorer", 123, 2, 64, 12},
    {IDC_ADD_NETSCAPE, DI_CHECKBOX, "Add to &Netscape", 196, 2, 64, 12},
};

constexpr CDialogItem g_tips[] = {
    {IDOK, DI_DEFBUTTON, "OK", 126, 181, 50, 14},
    {IDC_TIPS_TEXT, DI_EDIT_MULTILINE, nullptr, 7, 7, 301, 167},
};

constexpr CDialogItem g_status[] = {
    {IDC_STATUS_TEXT, DI_STATIC_CENTER, "", 7, 13, 195, 12},
};

constexpr CDialogItem g_profile[] = {
    {IDC_STATIC, DI_STATIC, "Select a user name from the list below:", 8, 7, 120, 10},
    {IDC_USERS, DI_COMBO_DROPDOWN, nullptr, 8, 21, 117, 14},
    {IDOK, DI_DEFBUTTON, "OK", 134, 21, 38, 14},
};

constexpr CDialogTemplate g_templates[] = {
    {IDD_ABOUTBOX, "About Tavrel", 217, 55, "MS Sans Serif", 8, g_about, std::size(g_about)},
    {IDD_TAVREL_FORM, "Tavrel", 0, 0, "MS Sans Serif", 8, g_form, std::size(g_form)},
    {IDD_TIPS, "Tips & Hints", 315, 200, "Courier New", 8, g_tips, std::size(g_tips)},
    {IDD_STATUS, "Tavrel Status", 209, 42, "MS Sans Serif", 8, g_status, std::size(g_status)},
    {IDD_PROFILE, "Dialog", 187, 49, "MS Sans Serif", 8, g_profile, std::size(g_profile)},
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
