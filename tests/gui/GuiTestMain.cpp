// Runs the GUI tests inside one wx application with a shown top-level frame.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <cstdio>

// The parent of the windows the tests make.
wxFrame* g_pTestFrame = nullptr;

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as the build does) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        fprintf(stderr, "cannot start the wx application (no display?)\n");
        return 1;
    }
    g_pTestFrame = new wxFrame(nullptr, wxID_ANY, "tests", wxDefaultPosition, wxSize(640, 480));
    g_pTestFrame->Show();
    const int nResult = RUN_ALL_TESTS();
    g_pTestFrame->Destroy();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return nResult;
}
