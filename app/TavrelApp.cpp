#include "app/TavrelApp.h"

#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/msgdlg.h>

#include <fstream>

#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/TavrelDoc.h"
#include "discovery/CommandLine.h"
#include "res/Resource.h"
#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "ui/WxText.h"
#include "view/TVLDlg.h"

namespace {

std::string SettingsDir() {
    const std::string strPath = SettingsFilePath();
    return strPath.substr(0, strPath.rfind('/'));
}

// The first argument that is not a switch names a document to open. Nothing
// is read from it, but it must open for reading.
bool OpenDocumentArgument() {
    const std::vector<std::string>& args = GetProcessArguments();
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& strArg = args[i];
        if (!strArg.empty() && (strArg[0] == '-' || strArg[0] == '/')) {
            continue;
        }
        std::ifstream file(strArg, std::ios::binary);
        if (!file) {
            wxMessageBox(
                wxString::Format("Cannot open the document \"%s\".", TextFromBytes(strArg)),
                LoadResString(ID_APP_TITLE), wxOK | wxICON_EXCLAMATION);
            return false;
        }
        return true;
    }
    return true;
}

}  // namespace

CTavrelApp::CTavrelApp() {
    SetAppName(LoadResString(ID_APP_TITLE));
    SetVendorName("Qelt");
}

CTavrelApp::~CTavrelApp() = default;

bool CTavrelApp::OnInit() {
    // The base would parse the switches as its own options; ours are "NS"
    // and "log", read where they are used.
    m_pInstance = OpenSystemInstanceChannel();
    if (!m_pInstance) {
        m_pInstance = std::make_unique<CSingleInstance>(SettingsDir());
    }
    if (!m_pInstance->ActivatePreviousInstance()) {
        m_bForwarded = true;
        return true;  // for exit status 0; OnRun does not start the loop
    }
    m_pInstance->Listen([this] { BringToFront(wxDynamicCast(GetTopWindow(), wxTopLevelWindow)); });
    InstallSettings();
    if (!OpenDocumentArgument()) {
        return false;
    }
    Bind(wxEVT_MENU, &CTavrelApp::OnAppAbout, this, ID_APP_ABOUT);
    Bind(wxEVT_MENU, &CTavrelApp::OnHelpTips, this, ID_HELP);

    m_pDoc = new CTavrelDoc;
    auto* pFrame = new CMainFrame(m_pDoc);
    SetTopWindow(pFrame);
    pFrame->GetView()->OnInitialUpdate();
    pFrame->Show();
    return true;
}

int CTavrelApp::OnRun() {
    return m_bForwarded ? 0 : wxApp::OnRun();
}

int CTavrelApp::OnExit() {
    // Copied URLs stay on the clipboard after the program ends, where a
    // clipboard manager takes them over.
    if (!m_bForwarded) {
        wxTheClipboard->Flush();
    }
    delete m_pDoc;
    m_pDoc = nullptr;
    delete wxConfigBase::Set(nullptr);  // writes the settings file
    m_pInstance.reset();
    return wxApp::OnExit();
}

void CTavrelApp::OnAppAbout(wxCommandEvent&) {
    CAboutDlg dlg(GetTopWindow());
    dlg.ShowModal();
}

void CTavrelApp::OnHelpTips(wxCommandEvent&) {
    CTipsDlg dlg(nullptr);
    dlg.ShowModal();
}
