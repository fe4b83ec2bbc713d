// Desktop services that Windows gives the program directly and that the
// toolkit gives it elsewhere.
#pragma once

#include <functional>
#include <memory>
#include <string>

// One running Tavrel per user: a second start asks the first to come forward
// and ends.
class CInstanceChannel {
public:
    virtual ~CInstanceChannel() = default;
    // True when no other instance runs; false after the running one was asked
    // to come forward.
    virtual bool ActivatePreviousInstance() = 0;
    // Answers later starts: onActivate runs on the UI thread for each.
    virtual bool Listen(std::function<void()> onActivate) = 0;
};

// The system's own channel: on Windows the running instance is found by its
// window class "Tavrel". Null where the system has none.
std::unique_ptr<CInstanceChannel> OpenSystemInstanceChannel();

// Puts the bytes, followed by one zero byte, on the system's clipboard as
// plain 8-bit text (CF_TEXT). False where the system has no such clipboard or
// it cannot be had; the caller then uses the toolkit's. hOwner is the native
// handle of the window that owns the clipboard's contents.
bool CopyTextToSystemClipboard(const std::string& strText, void* hOwner);
