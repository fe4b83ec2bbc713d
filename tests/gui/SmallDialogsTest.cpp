// The small dialogs built from their templates: controls, texts, places,
// the guide text and its edits, the status window and the profile choice.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/DialogUnits.h"
#include "app/SmallDialogs.h"
#include "res/Resource.h"

extern wxFrame* g_pTestFrame;

namespace {

// The control's rectangle is the template's, in the dialog's pixels.
void ExpectAtTemplatePlace(wxDialog& dlg, int nTemplate, int nId) {
    const CDialogTemplate* pTemplate = FindDialogTemplate(nTemplate);
    ASSERT_NE(pTemplate, nullptr);
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const CDialogItem& item = pTemplate->pItems[i];
        if (item.nId != nId) {
            continue;
        }
        wxWindow* pWindow = dlg.FindWindow(WindowId(nId));
        ASSERT_NE(pWindow, nullptr) << nId;
        const wxRect rc = DialogUnitsToPixels(&dlg, item.x, item.y, item.cx, item.cy);
        EXPECT_EQ(pWindow->GetPosition(), rc.GetPosition()) << nId;
        EXPECT_EQ(pWindow->GetSize().x, rc.width) << nId;
        return;
    }
    ADD_FAILURE() << "no control " << nId << " in template " << nTemplate;
}

TEST(SmallDialogs, AboutShowsTheVersionAndAnOkButton) {
    CAboutDlg dlg(g_pTestFrame);
    EXPECT_EQ(dlg.GetTitle(), "About Tavrel");
    EXPECT_EQ(dlg.GetClientSize(), dlg.ConvertDialogToPixels(wxSize(217, 55)));
    ExpectAtTemplatePlace(dlg, IDD_ABOUTBOX, IDOK);
    bool bVersion = false;
    for (wxWindow* pChild : dlg.GetChildren()) {
        if (auto* pText = wxDynamicCast(pChild, wxStaticText)) {
            bVersion |= pText->GetLabel() == "TVL Version 2.1";
        }
    }
    EXPECT_TRUE(bVersion);
    auto* pOk = wxDynamicCast(dlg.FindWindow(wxID_OK), wxButton);
    ASSERT_NE(pOk, nullptr);
    EXPECT_EQ(dlg.GetDefaultItem(), pOk);
}

TEST(SmallDialogs, TipsShowTheGuideAndForgetEditsWithTheDialog) {
    CTipsDlg dlg(nullptr);
    EXPECT_EQ(dlg.GetTitle(), "Tips & Hints");
    ExpectAtTemplatePlace(dlg, IDD_TIPS, IDC_TIPS_TEXT);
    const wxString strGuide = dlg.m_strTips;
    EXPECT_TRUE(strGuide.StartsWith("The primary purpose of this program"));
    EXPECT_TRUE(strGuide.EndsWith("-NS \"c:\\Netscape\\me\\bookmark.htm\"\r\n"));
    wxArrayString lines = wxSplit(strGuide, '\n', '\0');
    lines.pop_back();  // after the last CR LF
    ASSERT_EQ(lines.size(), 30u);
    for (const wxString& strLine : lines) {
        EXPECT_TRUE(strLine.EndsWith("\r")) << strLine;
    }
    EXPECT_TRUE(lines[7].EndsWith(" \r"));
    EXPECT_TRUE(lines[27].EndsWith(" \r"));
    EXPECT_EQ(lines[8], "\r");

    ASSERT_TRUE(dlg.TransferDataToWindow());
    auto* pEdit = wxDynamicCast(dlg.FindWindow(IDC_TIPS_TEXT), wxTextCtrl);
    ASSERT_NE(pEdit, nullptr);
    EXPECT_TRUE(pEdit->IsEditable());
    // More lines than the control shows at once: it needs its scroll bar.
    EXPECT_GT(pEdit->GetNumberOfLines() * pEdit->GetCharHeight(), pEdit->GetClientSize().y);
    pEdit->ChangeValue("my own notes\nsecond line");
    ASSERT_TRUE(dlg.TransferDataFromWindow());
    EXPECT_EQ(dlg.m_strTips, "my own notes\r\nsecond line");

    CTipsDlg again(nullptr);
    EXPECT_EQ(again.m_strTips, strGuide);
}

TEST(SmallDialogs, TheStatusWindowShowsEachStep) {
    auto* pStatus = new CStatusDlg(nullptr);
    EXPECT_FALSE(pStatus->IsShown());
    EXPECT_EQ(pStatus->GetTitle(), "Tavrel Status");
    for (const char* psz : {"Importing MSIE bookmarks", "Importing Netscape bookmarks"}) {
        pStatus->SetStatus(psz);
        EXPECT_TRUE(pStatus->IsShown());
        auto* pText = wxDynamicCast(pStatus->FindWindow(IDC_STATUS_TEXT), wxStaticText);
        ASSERT_NE(pText, nullptr);
        EXPECT_EQ(pText->GetLabel(), psz);
    }
    pStatus->Destroy();
}

TEST(SmallDialogs, TheProfileChoiceListsTheUsersAndReturnsTheSelectedOne) {
    const std::vector<std::string> users = {"anna", "Bob", "caf\xE9"};
    CProfileDlg dlg(g_pTestFrame, users);
    EXPECT_EQ(dlg.GetTitle(), "Dialog");
    ExpectAtTemplatePlace(dlg, IDD_PROFILE, IDC_USERS);
    auto* pCombo = wxDynamicCast(dlg.FindWindow(IDC_USERS), wxComboBox);
    ASSERT_NE(pCombo, nullptr);
    ASSERT_EQ(pCombo->GetCount(), 3u);
    EXPECT_EQ(pCombo->GetString(1), "Bob");
    EXPECT_EQ(pCombo->GetString(2), wxString(L"caf\u00E9"));
    EXPECT_EQ(pCombo->GetSelection(), 0);
    EXPECT_EQ(dlg.GetChosen(), 0);
    pCombo->SetSelection(2);
    EXPECT_EQ(dlg.GetChosen(), 2);
    // Typed text is not a choice.
    pCombo->ChangeValue("zed");
    EXPECT_EQ(dlg.GetChosen(), 0);
}

}  // namespace
