#include "app/SmallDialogs.h"

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/DialogUnits.h"
#include "res/AppIcon.h"
#include "res/Resource.h"
#include "view/ListCtrlEx.h"

namespace {

// The user guide; two lines end in a blank.
constexpr const char* kTips =
    "The primary purpose of this program is to find quickly the desired\r\n"
    "bookmark and open it by default browser. Bookmarks created by MSIE\r\n"
    "and Netscape are imported and shown in one list.\r\n"
    "There is a checkbox for each browser. If some of them was not installed,\r\n"
    "the corresponding checkbox is hidden.\r\n"
    "The list of bookmarks is filtered when you type some text into the entryfield.\r\n"
    "The bookmark is listed if the typed text is found as a part of its name,\r\n"
    "folder name or URL. \r\n"
    "\r\n"
    "Doubleclick on a row opens the selected URL by the default browser.\r\n"
    "Click the right mouse button to open the context menu and\r\n"
    " - remove selected rows from the list\r\n"
    " - create a new HTML file (it will contain the list of selected bookmarks)\r\n"
    " - save the changes\r\n"
    " - copy selected rows to the clipboard\r\n"
    "\r\n"
    "Bookmark names can be directly edited.\r\n"
    "Distinct bookmarks can be exported to browser which checkbox is checked.\r\n"
    "The changes (edited names or removed bookmarks) will be saved to disk\r\n"
    "and distinct bookmarks will be exported when the option 'Save changes'\r\n"
    "(from the main menu or the context menu) is chosen.\r\n"
    "\r\n"
    "New HTML file can be created from the selected bookmarks. This file will\r\n"
    "have folder-structure if the bookmarks are currently sorted by folders\r\n"
    "(Click on any column-header resorts the list.)\r\n"
    "\r\n"
    "Sometimes the correct Netscape Bookmark.htm file is not detected by this program.\r\n"
    "It is possible to give the name of this file as command-line parameter: \r\n"
    "-NS \"full-path-and-name\",\r\n"
    "e.g.  C:\\Windows\\Tavrel.exe -NS \"c:\\Netscape\\me\\bookmark.htm\"\r\n";

void Build(wxDialog* pDialog, int nTemplate) {
    CreateDialogControls(pDialog, *FindDialogTemplate(nTemplate));
    wxWindow* pParent = pDialog->GetParent();
    if (pParent != nullptr && pParent->IsShown()) {
        pDialog->CentreOnParent();
    } else {
        pDialog->CentreOnScreen();
    }
}

}  // namespace

wxIcon GetAppIcon() {
    return wxIcon(g_appIconXpm);
}

CAboutDlg::CAboutDlg(wxWindow* pParent) : wxDialog(pParent, IDD_ABOUTBOX, wxString()) {
    Build(this, IDD_ABOUTBOX);
}

CTipsDlg::CTipsDlg(wxWindow* pParent)
    : wxDialog(pParent, IDD_TIPS, wxString()), m_strTips(wxString::FromUTF8(kTips)) {
    Build(this, IDD_TIPS);
    // A fixed-pitch font, so the guide's columns line up.
    wxWindow* pEdit = FindWindow(IDC_TIPS_TEXT);
    pEdit->SetFont(wxFont(wxFontInfo(GetFont().GetPointSize()).Family(wxFONTFAMILY_TELETYPE)));
}

bool CTipsDlg::TransferDataToWindow() {
    wxString strText = m_strTips;
    strText.Replace("\r\n", "\n");
    static_cast<wxTextCtrl*>(FindWindow(IDC_TIPS_TEXT))->ChangeValue(strText);
    return true;
}

bool CTipsDlg::TransferDataFromWindow() {
    wxString strText = static_cast<wxTextCtrl*>(FindWindow(IDC_TIPS_TEXT))->GetValue();
    strText.Replace("\n", "\r\n");
    m_strTips = strText;
    return true;
}

CStatusDlg::CStatusDlg(wxWindow* pParent)
    : wxDialog(pParent, IDD_STATUS, wxString(), wxDefaultPosition, wxDefaultSize, wxCAPTION) {
    Build(this, IDD_STATUS);
}

void CStatusDlg::SetStatus(const wxString& strText) {
    static_cast<wxStaticText*>(FindWindow(IDC_STATUS_TEXT))->SetLabelText(strText);
    Show();
    // No events are handled while a store is read: draw now, without taking
    // the user's input.
    wxTheApp->SafeYieldFor(nullptr, wxEVT_CATEGORY_UI);
    Update();
}

CProfileDlg::CProfileDlg(wxWindow* pParent, const std::vector<std::string>& users)
    : wxDialog(pParent, IDD_PROFILE, wxString()), m_users(users) {
    Build(this, IDD_PROFILE);
    auto* pCombo = static_cast<wxComboBox*>(FindWindow(IDC_USERS));
    for (const std::string& strUser : users) {
        pCombo->Append(TextFromBytes(strUser));
    }
    if (!users.empty()) {
        pCombo->SetSelection(0);
    }
}

int CProfileDlg::GetChosen() const {
    const auto* pCombo = static_cast<const wxComboBox*>(FindWindow(IDC_USERS));
    const int nSel = pCombo->GetSelection();
    return nSel >= 0 && nSel < static_cast<int>(m_users.size()) ? nSel : 0;
}
