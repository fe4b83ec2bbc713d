// One running Tavrel per user: a second start asks the first to come forward
// and ends.
#pragma once

#include <wx/ipc.h>

#include <functional>
#include <memory>
#include <string>

class wxSingleInstanceChecker;

class CSingleInstance {
public:
    // sDir holds the lock file and the socket of the channel.
    explicit CSingleInstance(const std::string& strDir);
    ~CSingleInstance();

    // True when no other instance runs; this one then holds the lock. False
    // after the running one was asked to come forward.
    bool ActivatePreviousInstance();
    // Answers later starts: onActivate runs on the UI thread for each.
    bool Listen(std::function<void()> onActivate);

private:
    std::string m_strDir;
    std::unique_ptr<wxSingleInstanceChecker> m_pChecker;
    std::unique_ptr<wxServer> m_pServer;
};

// Brings the main window forward: restored when minimised, and an open modal
// dialog of it above everything.
class wxTopLevelWindow;
void BringToFront(wxTopLevelWindow* pFrame);
