// Runs the GUI tests inside the main loop of one wx application with a shown
// top-level frame, as the program's own code runs.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/gui/GuiTest.h"

wxFrame* g_pTestFrame = nullptr;

namespace {

// Set when wx asserts while no test runs: the run fails even so.
bool g_bAssertOutsideTests = false;

// A failed wxASSERT or wxFAIL fails the running test, where the assertion is,
// instead of showing the assertion dialog and waiting for someone to answer.
void FailTheRunningTest(const wxString& strFile, int nLine, const wxString& strFunc,
                        const wxString& strCond, const wxString& strMsg) {
    const std::string strFileUtf8 = strFile.utf8_string();
    const std::string strText = "wxWidgets assert " + strCond.utf8_string() + " failed in " +
                                strFunc.utf8_string() + "(): " + strMsg.utf8_string();
    if (testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
        ADD_FAILURE_AT(strFileUtf8.c_str(), nLine) << strText;
        return;
    }
    fprintf(stderr, "%s:%d: %s\n", strFileUtf8.c_str(), nLine, strText.c_str());
    g_bAssertOutsideTests = true;
}

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

// Assertions reach the test that runs into them, also from an event handler
// the loop calls.
TEST(GuiTestHarness, AFailedWxAssertFailsTheTestWithWhereAndWhy) {
    testing::TestPartResultArray failures;
    int nLine = 0;
    {
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        nLine = __LINE__ + 1;
        wxASSERT_MSG(nLine < 0, "lines are counted from one");
    }
    ASSERT_EQ(failures.size(), 1) << "wxDEBUG_LEVEL is " << wxDEBUG_LEVEL;
    const testing::TestPartResult& failure = failures.GetTestPartResult(0);
    EXPECT_TRUE(failure.nonfatally_failed());
    EXPECT_STREQ(failure.file_name(), __FILE__);
    EXPECT_EQ(failure.line_number(), nLine);
    const std::string strMessage = failure.message();
    for (const char* psz :
         {"assert nLine < 0 failed", "TestBody()", "lines are counted from one"}) {
        EXPECT_NE(strMessage.find(psz), std::string::npos) << psz << " not in: " << strMessage;
    }
}

TEST(GuiTestHarness, AWxFailInAnEventHandlerFailsTheTest) {
    bool bHandled = false;
    EXPECT_NONFATAL_FAILURE(
        {
            wxTheApp->CallAfter([&bHandled] {
                bHandled = true;
                wxFAIL_MSG("reached from the loop");
            });
            EXPECT_TRUE(WaitFor([&bHandled] { return bHandled; }, std::chrono::seconds(5)));
        },
        "reached from the loop");
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as the build does) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    wxSetAssertHandler(FailTheRunningTest);
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
    return g_bAssertOutsideTests ? 1 : nResult;
}
