#include "app/SingleInstance.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/snglinst.h>
#include <wx/toplevel.h>

#include <unistd.h>

#include <filesystem>

namespace {

constexpr const char* kTopic = "Tavrel";
constexpr const char* kActivate = "activate";

class CActivateConnection : public wxConnection {
public:
    explicit CActivateConnection(std::function<void()> onActivate)
        : m_onActivate(std::move(onActivate)) {}

    bool OnExec(const wxString&, const wxString& strData) override {
        if (strData == kActivate) {
            // After the exchange, not inside it.
            wxTheApp->CallAfter(m_onActivate);
        }
        return true;
    }

private:
    std::function<void()> m_onActivate;
};

class CActivateServer : public wxServer {
public:
    explicit CActivateServer(std::function<void()> onActivate)
        : m_onActivate(std::move(onActivate)) {}

    wxConnectionBase* OnAcceptConnection(const wxString& strTopic) override {
        return strTopic == kTopic ? new CActivateConnection(m_onActivate) : nullptr;
    }

private:
    std::function<void()> m_onActivate;
};

}  // namespace

CSingleInstance::CSingleInstance(const std::string& strDir) : m_strDir(strDir) {}

CSingleInstance::~CSingleInstance() = default;

bool CSingleInstance::ActivatePreviousInstance() {
    std::error_code error;
    std::filesystem::create_directories(m_strDir, error);
    m_pChecker = std::make_unique<wxSingleInstanceChecker>();
    if (!m_pChecker->Create("instance.lock", m_strDir) || !m_pChecker->IsAnotherRunning()) {
        return true;
    }
    m_pChecker.reset();
    wxLogNull noLog;
    wxClient client;
    std::unique_ptr<wxConnectionBase> pConnection(
        client.MakeConnection("localhost", m_strDir + "/instance.socket", kTopic));
    if (pConnection) {
        pConnection->Execute(kActivate);
        pConnection->Disconnect();
    }
    return false;
}

bool CSingleInstance::Listen(std::function<void()> onActivate) {
    const std::string strSocket = m_strDir + "/instance.socket";
    // We hold the lock, so a socket left there belongs to an ended instance.
    unlink(strSocket.c_str());
    wxLogNull noLog;
    m_pServer = std::make_unique<CActivateServer>(std::move(onActivate));
    if (!m_pServer->Create(strSocket)) {
        m_pServer.reset();
        return false;
    }
    return true;
}

void BringToFront(wxTopLevelWindow* pFrame) {
    if (pFrame == nullptr) {
        return;
    }
    if (pFrame->IsIconized()) {
        pFrame->Iconize(false);
    }
    // The last open modal dialog comes forward, else the window itself.
    wxTopLevelWindow* pFront = pFrame;
    for (wxWindow* pWindow : wxTopLevelWindows) {
        wxDialog* pDialog = wxDynamicCast(pWindow, wxDialog);
        if (pDialog != nullptr && pDialog->IsModal() && pDialog->IsShown()) {
            pFront = pDialog;
        }
    }
    pFront->Raise();
}
