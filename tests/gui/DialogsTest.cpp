// The dialog templates built into wx controls, and the four small dialogs:
// About, Tips & Hints, the import status window and the profile choice.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <chrono>

#include "res/Resource.h"
#include "tests/gui/GuiTest.h"
#include "ui/DialogTemplate.h"
#include "ui/Dialogs.h"

namespace {

using namespace std::chrono_literals;

template <typename T = wxWindow>
T* Control(wxWindow* pParent, int nId) {
    T* pControl = wxDynamicCast(pParent->FindWindow(WindowId(nId)), T);
    EXPECT_NE(pControl, nullptr) << "control " << nId;
    return pControl;
}

// The control stands where its template item says, in the parent's pixels.
// A combo box is as high as the toolkit draws it, and a check box never
// smaller than its box and label.
void ExpectInTemplatePlace(wxWindow* pParent, int nTemplate, int nId) {
    const CDialogTemplate* pTemplate = FindDialogTemplate(nTemplate);
    ASSERT_NE(pTemplate, nullptr);
    const CDialogItem* pItem =
        std::find_if(pTemplate->pItems, pTemplate->pItems + pTemplate->nItems,
                     [nId](const CDialogItem& item) { return item.nId == nId; });
    ASSERT_NE(pItem, pTemplate->pItems + pTemplate->nItems) << nId;
    wxWindow* pWindow = Control(pParent, nId);
    ASSERT_NE(pWindow, nullptr);
    const wxRect rc = DialogUnitsToPixels(pParent, pItem->x, pItem->y, pItem->cx, pItem->cy);
    EXPECT_EQ(pWindow->GetPosition(), rc.GetPosition()) << nId;
    if (pItem->kind == DI_AUTOCHECKBOX) {
        wxSize expected = pWindow->GetBestSize();
        expected.IncTo(rc.GetSize());
        EXPECT_EQ(pWindow->GetSize(), expected) << nId;
        return;
    }
    EXPECT_EQ(pWindow->GetSize().x, rc.width) << nId;
    if (pItem->kind != DI_COMBO_DROPDOWN) {
        EXPECT_EQ(pWindow->GetSize().y, rc.height) << nId;
    }
}

void ExpectClientSize(wxDialog& dlg, int cx, int cy) {
    EXPECT_EQ(dlg.GetClientSize(), dlg.ConvertDialogToPixels(wxSize(cx, cy)));
}

void Click(wxWindow* pButton) {
    wxCommandEvent event(wxEVT_BUTTON, pButton->GetId());
    event.SetEventObject(pButton);
    pButton->GetEventHandler()->ProcessEvent(event);
}

void PressEscape(wxDialog& dlg) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = WXK_ESCAPE;
    dlg.GetEventHandler()->ProcessEvent(event);
}

TEST(DialogTemplate, TheFormGetsItsFilterAndCheckBoxesButNotTheList) {
    auto* pForm = new wxPanel(g_pTestFrame, wxID_ANY, wxDefaultPosition, wxSize(400, 300));
    const wxSize size = pForm->GetSize();
    CreateDialogControls(pForm, *FindDialogTemplate(IDD_TAVREL_FORM));
    EXPECT_EQ(pForm->GetSize(), size);  // a child window takes no size from the template
    EXPECT_EQ(pForm->FindWindow(IDC_LIST), nullptr);
    EXPECT_EQ(Control<wxCheckBox>(pForm, IDC_ADD_EXPLORER)->GetLabel(), "Add to &IExplorer");
    EXPECT_EQ(Control<wxCheckBox>(pForm, IDC_ADD_NETSCAPE)->GetLabel(), "Add to &Netscape");
    ExpectInTemplatePlace(pForm, IDD_TAVREL_FORM, IDC_ADD_NETSCAPE);
    ExpectInTemplatePlace(pForm, IDD_TAVREL_FORM, IDC_FILTER);
    // The filter history keeps the order it is given, newest first.
    auto* pFilter = Control<wxComboBox>(pForm, IDC_FILTER);
    pFilter->Append("mail");
    pFilter->Append("bank");
    EXPECT_EQ(pFilter->GetString(0), "mail");
    pForm->Destroy();
}

TEST(AboutDlg, ShowsTheIconAndVersionAndOkEndsIt) {
    CAboutDlg dlg(g_pTestFrame);
    EXPECT_EQ(dlg.GetTitle(), "About Tavrel");
    ExpectClientSize(dlg, 217, 55);
    ExpectInTemplatePlace(&dlg, IDD_ABOUTBOX, IDOK);
    wxString strTexts;
    wxStaticBitmap* pIcon = nullptr;
    for (wxWindow* pChild : dlg.GetChildren()) {
        if (auto* pText = wxDynamicCast(pChild, wxStaticText)) {
            strTexts += pText->GetLabel();
        }
        pIcon = pIcon != nullptr ? pIcon : wxDynamicCast(pChild, wxStaticBitmap);
    }
    EXPECT_EQ(strTexts, "TVL Version 2.1");
    ASSERT_NE(pIcon, nullptr);
    EXPECT_EQ(pIcon->GetPosition(), dlg.ConvertDialogToPixels(wxPoint(11, 17)));
    EXPECT_EQ(pIcon->GetBitmap().GetSize(), wxSize(32, 32));

    auto* pOk = Control<wxButton>(&dlg, IDOK);
    EXPECT_EQ(pOk->GetLabel(), "OK");
    EXPECT_EQ(dlg.GetDefaultItem(), pOk);
    dlg.Show();
    Click(pOk);
    EXPECT_FALSE(dlg.IsShown());
}

wxTextCtrl* TipsEdit(CTipsDlg& dlg) {
    return Control<wxTextCtrl>(&dlg, IDC_TIPS_TEXT);
}

TEST(TipsDlg, ShowsTheGuideLineForLineInAScrollingFixedPitchEdit) {
    CTipsDlg dlg(nullptr);
    EXPECT_EQ(dlg.GetTitle(), "Tips & Hints");
    ExpectClientSize(dlg, 315, 200);
    ExpectInTemplatePlace(&dlg, IDD_TIPS, IDC_TIPS_TEXT);

    const wxArrayString lines = wxSplit(dlg.m_strTips, '\n', '\0');
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines.back(), "");  // the last line ends with its break too
    EXPECT_EQ(lines[7], "folder name or URL. \r");
    for (size_t i = 0; i < 30; ++i) {
        EXPECT_TRUE(lines[i].EndsWith("\r")) << i + 1;
        EXPECT_EQ(lines[i] == "\r", i == 8 || i == 15 || i == 21 || i == 25) << i + 1;
        EXPECT_EQ(lines[i].EndsWith(" \r"), i == 7 || i == 27) << i + 1;
    }

    dlg.Show();
    wxTextCtrl* pEdit = TipsEdit(dlg);
    wxString strShown = pEdit->GetValue();
    strShown.Replace("\r\n", "\n");
    wxString strGuide = dlg.m_strTips;
    strGuide.Replace("\r\n", "\n");
    EXPECT_EQ(strShown, strGuide);
    EXPECT_TRUE(pEdit->IsEditable());
    EXPECT_TRUE(pEdit->GetFont().IsFixedWidth());
    // More lines than fit: the vertical scroll bar is needed.
    EXPECT_GT(pEdit->GetNumberOfLines() * pEdit->GetCharHeight(), pEdit->GetClientSize().y);
}

TEST(TipsDlg, EnterBreaksTheLineInsteadOfClosing) {
    CTipsDlg dlg(nullptr);
    dlg.Show();
    dlg.Raise();
    wxTextCtrl* pEdit = TipsEdit(dlg);
    pEdit->SetFocus();
    pEdit->SetInsertionPoint(0);
    // Real key presses, so that the toolkit decides where Enter goes; they
    // reach the window that has the keyboard focus.
    ASSERT_TRUE(WaitFor([&] { return dlg.IsActive() && wxWindow::FindFocus() == pEdit; }, 5s))
        << "the dialog never got the keyboard focus";
    wxUIActionSimulator sim;
    sim.Text("abc");
    sim.Char(WXK_RETURN);
    // Enter has been handled once it has either broken the line or ended the dialog.
    EXPECT_TRUE(
        WaitFor([&] { return pEdit->GetValue().StartsWith("abc\n") || !dlg.IsShown(); }, 5s))
        << "the keys did not arrive: " << pEdit->GetValue().Left(20);
    EXPECT_TRUE(pEdit->GetValue().StartsWith("abc\nThe primary purpose"));
    EXPECT_TRUE(dlg.IsShown());
}

TEST(TipsDlg, OkKeepsTheEditsForThisDialogOnlyAndEscapeDropsThem) {
    CTipsDlg dlg(nullptr);
    const wxString strGuide = dlg.m_strTips;
    dlg.Show();
    TipsEdit(dlg)->ChangeValue("scribbled over");
    PressEscape(dlg);
    EXPECT_FALSE(dlg.IsShown());
    EXPECT_EQ(dlg.m_strTips, strGuide);

    dlg.Show();
    EXPECT_EQ(TipsEdit(dlg)->GetValue().Freq('\n'), 30);  // the guide again
    TipsEdit(dlg)->SetInsertionPoint(0);
    TipsEdit(dlg)->WriteText("my notes\n");
    Click(Control(&dlg, IDOK));
    EXPECT_FALSE(dlg.IsShown());
    EXPECT_EQ(dlg.m_strTips, "my notes\r\n" + strGuide);
    EXPECT_EQ(CTipsDlg(nullptr).m_strTips, strGuide);
}

const char* const kStatusTexts[] = {"Importing MSIE bookmarks", "Importing Netscape bookmarks"};

TEST(StatusDlg, EachStatusIsShownAndDrawnAtOnce) {
    auto* pStatus = new CStatusDlg(nullptr);
    EXPECT_FALSE(pStatus->IsShown());
    EXPECT_EQ(pStatus->GetTitle(), "Tavrel Status");
    EXPECT_FALSE(pStatus->HasFlag(wxCLOSE_BOX) || pStatus->HasFlag(wxSYSTEM_MENU));
    ExpectClientSize(*pStatus, 209, 42);
    auto* pText = Control<wxStaticText>(pStatus, IDC_STATUS_TEXT);
    EXPECT_TRUE(pText->GetLabel().empty());
    EXPECT_TRUE(pText->HasFlag(wxALIGN_CENTRE_HORIZONTAL));

    int nPaints = 0;
    pStatus->Bind(wxEVT_PAINT, [&nPaints](wxPaintEvent& event) {
        ++nPaints;
        event.Skip();
    });
    for (const char* pszText : kStatusTexts) {
        nPaints = 0;
        pStatus->SetStatus(pszText);
        EXPECT_TRUE(pStatus->IsShown());
        EXPECT_EQ(pText->GetLabel(), pszText);
        EXPECT_GT(nPaints, 0) << "not drawn before SetStatus returned: " << pszText;
        ExpectInTemplatePlace(pStatus, IDD_STATUS, IDC_STATUS_TEXT);
    }
    pStatus->Destroy();
}

TEST(StatusDlg, OtherWindowsAreNotDrawnMeanwhile) {
    // The list's rows may point to deleted records while a store is read.
    auto* pOther = new wxPanel(g_pTestFrame, wxID_ANY, wxPoint(0, 0), wxSize(200, 200));
    bool bPainted = false;
    pOther->Bind(wxEVT_PAINT, [&bPainted, pOther](wxPaintEvent&) {
        wxPaintDC dc(pOther);
        bPainted = true;
    });
    // Drawn once when nothing holds it back, so that not being drawn below means something.
    ASSERT_TRUE(WaitFor([&bPainted] { return bPainted; }, 5s));
    auto* pStatus = new CStatusDlg(nullptr);
    for (const char* pszText : kStatusTexts) {
        bPainted = false;
        pOther->Refresh();
        pStatus->SetStatus(pszText);
        EXPECT_FALSE(bPainted) << pszText;
    }
    pStatus->Destroy();
    EXPECT_TRUE(WaitFor([&bPainted] { return bPainted; }, 5s));  // only put off
    pOther->Destroy();
}

wxComboBox* Users(CProfileDlg& dlg) {
    return Control<wxComboBox>(&dlg, IDC_USERS);
}

wxString Entries(CProfileDlg& dlg) {
    return wxJoin(Users(dlg)->GetStrings(), ',');
}

TEST(ProfileDlg, ListsTheUsersSortedWithTheFirstSelected) {
    CProfileDlg dlg(g_pTestFrame, {"anna", "ben", "caf\xE9"});
    EXPECT_EQ(dlg.GetTitle(), "Dialog");
    ExpectClientSize(dlg, 187, 49);
    ExpectInTemplatePlace(&dlg, IDD_PROFILE, IDC_USERS);
    EXPECT_EQ(Control<wxStaticText>(&dlg, IDC_STATIC)->GetLabel(),
              "Select a user name from the list below:");
    EXPECT_EQ(dlg.GetDefaultItem(), Control(&dlg, IDOK));
    EXPECT_EQ(Entries(dlg), wxString(L"anna,ben,caf\u00E9"));
    EXPECT_EQ(Users(dlg)->GetSelection(), 0);
    EXPECT_EQ(dlg.GetChosen(), 0);

    // The answer is an index into the users, whatever order they came in.
    CProfileDlg unsorted(g_pTestFrame, {"carl", "anna", "ben"});
    EXPECT_EQ(Entries(unsorted), "anna,ben,carl");
    EXPECT_EQ(unsorted.GetChosen(), 1);
    Users(unsorted)->SetSelection(2);
    EXPECT_EQ(unsorted.GetChosen(), 0);
    Users(unsorted)->SetSelection(wxNOT_FOUND);
    EXPECT_EQ(unsorted.GetChosen(), 1);  // none selected: the first entry's
}

TEST(ProfileDlg, OkTakesTheSelectedEntryAndNeverTheTypedText) {
    CProfileDlg dlg(g_pTestFrame, {"anna", "ben", "carl"});
    dlg.Show();
    Users(dlg)->SetSelection(2);
    Click(Control(&dlg, IDOK));
    EXPECT_FALSE(dlg.IsShown());
    EXPECT_EQ(dlg.GetChosen(), 2);

    Users(dlg)->SetSelection(0);
    Users(dlg)->ChangeValue("ben");
    EXPECT_EQ(dlg.GetChosen(), 0);
    Users(dlg)->SetSelection(wxNOT_FOUND);
    Users(dlg)->ChangeValue("nobody");
    EXPECT_EQ(dlg.GetChosen(), 0);  // no entry selected: the first
    EXPECT_EQ(CProfileDlg(g_pTestFrame, {}).GetChosen(), -1);
}

TEST(ProfileDlg, EscapeAndTheCloseBoxAreNotTakenForOk) {
    CProfileDlg dlg(g_pTestFrame, {"anna", "ben"});
    int nOk = 0;
    dlg.Bind(wxEVT_BUTTON, [&nOk](wxCommandEvent& event) {
        nOk += event.GetId() == wxID_OK;
        event.Skip();
    });
    dlg.Show();
    PressEscape(dlg);
    EXPECT_FALSE(dlg.IsShown());
    dlg.Show();
    dlg.Close();
    EXPECT_FALSE(dlg.IsShown());
    EXPECT_EQ(nOk, 0);
}

}  // namespace
