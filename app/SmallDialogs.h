// The small dialogs: About, Tips & Hints, the import status window and the
// choice of a Communicator profile.
#pragma once

#include <wx/dialog.h>
#include <wx/icon.h>

#include <string>
#include <vector>

wxIcon GetAppIcon();

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* pParent);
};

// The user guide in an editable text; edits last only as long as the dialog.
class CTipsDlg : public wxDialog {
public:
    explicit CTipsDlg(wxWindow* pParent);

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    wxString m_strTips;  // lines end in CR LF
};

// Modeless; shows which store is being read.
class CStatusDlg : public wxDialog {
public:
    explicit CStatusDlg(wxWindow* pParent);
    // Shows the window with the text, drawn at once.
    void SetStatus(const wxString& strText);
};

// Lists the users whose profile is usable, first one selected.
class CProfileDlg : public wxDialog {
public:
    CProfileDlg(wxWindow* pParent, const std::vector<std::string>& users);
    // The index in the users of the entry selected in the list (typed text
    // is not looked at); 0 when none is selected.
    int GetChosen() const;

private:
    std::vector<std::string> m_users;
};
