// What the GUI tests share: the frame their windows go on, and waiting for
// what the running main loop brings.
#pragma once

#include <wx/app.h>
#include <wx/debug.h>
#include <wx/evtloop.h>

#include <algorithm>
#include <chrono>
#include <functional>

class wxFrame;

// Shown for the whole run; the parent of the windows the tests make.
extern wxFrame* g_pTestFrame;

// Handles events until the condition holds or the deadline has passed, and
// says whether it held. Between checks it sleeps until the next event, or a
// few milliseconds for what no event announces (a file written, a child
// process ended).
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point tEnd = Clock::now() + deadline;
    wxEventLoopBase* const pLoop = wxEventLoopBase::GetActive();
    wxCHECK_MSG(pLoop != nullptr, false, "the tests run inside the main loop");
    while (!condition()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pLoop->DispatchTimeout(static_cast<unsigned long>(std::min<long long>(left.count(), 10)));
        // Whatever came with it, wx's own queue and the idle handlers too.
        wxTheApp->Yield(true);
    }
    return true;
}
