#include "ui/Dialogs.h"

#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/time.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <cstdint>

#include "res/Resource.h"
#include "ui/DialogTemplate.h"
#include "ui/WxText.h"

namespace {

// The user guide that the Tips dialog shows.
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

// The longest wait for the status window to be drawn.
constexpr long kPaintWaitMs = 250;

// Creates the template's controls and centres the dialog. Escape and the
// close box end it with wxID_CANCEL, also without a Cancel button: wx would
// take Escape for OK there.
void BuildDialog(wxDialog* pDialog, int nTemplate) {
    CreateDialogControls(pDialog, *FindDialogTemplate(nTemplate));
    pDialog->SetEscapeId(wxID_CANCEL);
    pDialog->Bind(wxEVT_CHAR_HOOK, [pDialog](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
            // As the close box does: the dialog ends on its escape id.
            wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
            cancel.SetEventObject(pDialog);
            pDialog->ProcessWindowEvent(cancel);
            return;
        }
        event.Skip();
    });
    // Before start-up has shown the main window there is nothing to centre on.
    wxWindow* pParent = pDialog->GetParent();
    if (pParent != nullptr && wxGetTopLevelParent(pParent)->IsShown()) {
        pDialog->CentreOnParent();
    } else {
        pDialog->CentreOnScreen();
    }
}

template <typename T>
T* FindControl(const wxWindow* pParent, int nId) {
    T* pControl = wxDynamicCast(pParent->FindWindow(WindowId(nId)), T);
    wxASSERT(pControl != nullptr);
    return pControl;
}

// Handles the pending drawing and layout events, never the user's input.
void YieldForDrawing() {
    if (wxEventLoopBase* pLoop = wxEventLoopBase::GetActive()) {
        pLoop->YieldFor(wxEVT_CATEGORY_UI);
        return;
    }
    // At start-up no loop runs yet.
    wxGUIEventLoop loop;
    loop.YieldFor(wxEVT_CATEGORY_UI);
}

}  // namespace

CAboutDlg::CAboutDlg(wxWindow* pParent) : wxDialog(pParent, wxID_ANY, wxString()) {
    BuildDialog(this, IDD_ABOUTBOX);
}

CTipsDlg::CTipsDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, wxString()), m_strTips(wxString::FromUTF8(kTips)) {
    BuildDialog(this, IDD_TIPS);
}

bool CTipsDlg::TransferDataToWindow() {
    wxString strText = m_strTips;
    strText.Replace("\r\n", "\n");
    FindControl<wxTextCtrl>(this, IDC_TIPS_TEXT)->ChangeValue(strText);
    return wxDialog::TransferDataToWindow();
}

bool CTipsDlg::TransferDataFromWindow() {
    wxString strText = FindControl<wxTextCtrl>(this, IDC_TIPS_TEXT)->GetValue();
    strText.Replace("\r\n", "\n");
    strText.Replace("\n", "\r\n");
    m_strTips = strText;
    return wxDialog::TransferDataFromWindow();
}

CStatusDlg::CStatusDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxCAPTION) {
    CreateDialogControls(this, *FindDialogTemplate(IDD_STATUS));
    SetEscapeId(wxID_NONE);
    m_pStaticText = FindControl<wxStaticText>(this, IDC_STATUS_TEXT);
    Bind(wxEVT_PAINT, &CStatusDlg::OnPaint, this);
}

void CStatusDlg::SetStatus(const wxString& strText) {
    m_pStaticText->SetLabel(strText);
    Show();
    // No event loop runs while a store is read, and showing or refreshing a
    // window only asks for drawing. Let the toolkit draw now: the window is
    // mapped and drawn within a few passes. Other windows wait: the rows of
    // the list may point to records the import has just deleted.
    std::vector<wxWindow*> others;
    for (wxWindow* pTop : wxTopLevelWindows) {
        if (pTop != this && pTop->IsShown()) {
            pTop->Freeze();
            others.push_back(pTop);
        }
    }
    m_bPainted = false;
    Refresh();
    const wxLongLong tEnd = wxGetLocalTimeMillis() + kPaintWaitMs;
    while (!m_bPainted && wxGetLocalTimeMillis() < tEnd) {
        YieldForDrawing();
        if (!m_bPainted) {
            wxMilliSleep(1);
        }
    }
    Update();
    for (wxWindow* pTop : others) {
        pTop->Thaw();
    }
}

void CStatusDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    m_bPainted = true;
}

CProfileDlg::CProfileDlg(wxWindow* pParent, const std::vector<std::string>& users)
    : wxDialog(pParent, wxID_ANY, wxString()) {
    BuildDialog(this, IDD_PROFILE);
    m_pComboUsers = FindControl<wxComboBox>(this, IDC_USERS);
    // The list keeps itself sorted; each entry remembers its user's index.
    for (std::size_t i = 0; i < users.size(); ++i) {
        m_pComboUsers->Append(TextFromBytes(users[i]),
                              reinterpret_cast<void*>(static_cast<std::uintptr_t>(i)));
    }
    if (!users.empty()) {
        m_pComboUsers->SetSelection(0);
    }
}

int CProfileDlg::GetChosen() const {
    if (m_pComboUsers->IsListEmpty()) {
        return -1;
    }
    int nEntry = m_pComboUsers->GetSelection();
    if (nEntry == wxNOT_FOUND) {
        nEntry = 0;
    }
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(m_pComboUsers->GetClientData(nEntry)));
}
