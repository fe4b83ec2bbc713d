// The toolkit's instance channel, for systems without one of their own: a
// lock file and a socket in the settings directory.
#pragma once

#include <wx/ipc.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Desktop.h"

class wxSingleInstanceChecker;

class CSingleInstance : public CInstanceChannel {
public:
    // sDir holds the lock file and the socket of the channel.
    explicit CSingleInstance(const std::string& strDir);
    ~CSingleInstance() override;

    // True when no other instance runs; this one then holds the lock. False
    // after the running one was asked to come forward.
    bool ActivatePreviousInstance() override;
    // Answers later starts: onActivate runs on the UI thread for each.
    bool Listen(std::function<void()> onActivate) override;

private:
    std::string m_strDir;
    std::unique_ptr<wxSingleInstanceChecker> m_pChecker;
    std::unique_ptr<wxServer> m_pServer;
};

// Brings the main window forward: restored when minimised, and an open modal
// dialog of it above everything.
class wxTopLevelWindow;
void BringToFront(wxTopLevelWindow* pFrame);
