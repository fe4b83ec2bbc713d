// The wx application that the window benchmarks run in; it needs a display
// (run them under xvfb-run).
#pragma once

#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

class CWxBench {
public:
    CWxBench(int& argc, char** argv) {
        wxApp::SetInstance(new wxApp);
        m_bOk = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
        if (!m_bOk) {
            std::fprintf(stderr, "cannot start the wx application (no display?)\n");
        }
    }
    ~CWxBench() {
        if (m_bOk) {
            wxTheApp->OnExit();
        }
        wxEntryCleanup();
    }
    CWxBench(const CWxBench&) = delete;
    CWxBench& operator=(const CWxBench&) = delete;

    bool IsOk() const { return m_bOk; }

private:
    bool m_bOk = false;
};
