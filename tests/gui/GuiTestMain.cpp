// Runs the GUI tests inside the main loop of one wx application with a shown
// top-level frame, as the program's own code runs.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <cstdio>

#include "tests/gui/GuiTest.h"

wxFrame* g_pTestFrame = nullptr;

namespace {

class CTestApp : public wxApp {
public:
    bool OnInit() override {
        if (!wxApp::OnInit()) {
            return false;
        }
        g_pTestFrame = new wxFrame(nullptr, wxID_ANY, "tests", wxDefaultPosition, wxSize(640, 480));
        g_pTestFrame->Show();
        Bind(wxEVT_IDLE, &CTestApp::OnIdle, this);
        return true;
    }
    int OnRun() override {
        if (wxApp::OnRun() != 0) {
            return 1;
        }
        return m_nResult;
    }

private:
    // The first idle event starts the tests: the main loop is running then,
    // and the frame has been shown.
    void OnIdle(wxIdleEvent& event) {
        event.Skip();
        if (m_bStarted) {
            return;  // the tests' own waits handle idle events too
        }
        m_bStarted = true;
        m_nResult = RUN_ALL_TESTS();
        g_pTestFrame->Destroy();
        g_pTestFrame = nullptr;
        ExitMainLoop();
    }

    bool m_bStarted = false;
    int m_nResult = 1;  // also when the loop ends before the tests ran
};

// The harness itself.
TEST(GuiTestHarness, TestsRunInsideTheMainLoopWithTheFrameShown) {
    EXPECT_TRUE(wxTheApp->IsMainLoopRunning());
    ASSERT_NE(g_pTestFrame, nullptr);
    EXPECT_TRUE(g_pTestFrame->IsShown());
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as the build does) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    wxApp::SetInstance(new CTestApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot start the wx application (no display?)\n");
        return 1;
    }
    int nResult = 1;
    if (wxTheApp->CallOnInit()) {
        nResult = wxTheApp->OnRun();
        wxTheApp->OnExit();
    } else {
        fprintf(stderr, "the wx application did not initialise\n");
    }
    wxEntryCleanup();
    return nResult;
}
