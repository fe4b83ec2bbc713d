// The small dialogs, each built from its template: About, Tips & Hints, the
// import status window and the choice of a Communicator user profile.
#pragma once

#include <wx/dialog.h>
#include <wx/icon.h>

#include <string>
#include <vector>

class wxComboBox;
class wxStaticText;

// Template 100: the icon, the version and OK.
class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* pParent);
};

// Template 132: the user guide in an editable text. Edits reach m_strTips on
// OK and last as long as the dialog object.
class CTipsDlg : public wxDialog {
public:
    explicit CTipsDlg(wxWindow* pParent);

    // m_strTips into the edit control, and back.
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    wxString m_strTips;  // lines end in CR LF
};

// Template 138: modeless, created hidden, closed by its owner with Destroy().
class CStatusDlg : public wxDialog {
public:
    explicit CStatusDlg(wxWindow* pParent);

    // Shows the window with the text, drawn before the call returns although
    // no events are handled while a store is read.
    void SetStatus(const wxString& strText);

    // The text stays where the template puts it; wx would otherwise stretch
    // a lone control over the whole window.
    bool Layout() override { return true; }

private:
    void OnPaint(wxPaintEvent& event);

    wxStaticText* m_pStaticText;
    bool m_bPainted = false;
};

// Template 142: the users whose profile is usable, in a sorted list with the
// first entry selected. Escape and the close box cancel.
class CProfileDlg : public wxDialog {
public:
    CProfileDlg(wxWindow* pParent, const std::vector<std::string>& users);

    // The index in the users of the entry selected in the list; text typed
    // into the edit field is not looked at. With no entry selected, the first
    // entry's; -1 when the list is empty.
    int GetChosen() const;

private:
    wxComboBox* m_pComboUsers;
};
