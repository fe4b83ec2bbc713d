// The window at 100,000 Netscape bookmarks and 10,000 Favorites: start-up to
// the filled and painted list, and one typed filter character (filter, rows,
// order, counts, repaint). Needs a display (run under xvfb-run).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/config.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/TavrelDoc.h"
#include "bench/StoreGenerator.h"
#include "bench/WxBench.h"
#include "ui/Settings.h"
#include "view/TVLDlg.h"

namespace {

namespace fs = std::filesystem;

fs::path g_dir;

void MakeStores() {
    g_dir = fs::temp_directory_path() / ("tavrel-app-bench-" + std::to_string(getpid()));
    fs::create_directories(g_dir / "config");
    CStoreShape shape;
    shape.nNetscape = 100000;
    shape.nFavorites = 10000;
    shape.dShared = 0.5;
    WriteNetscapeFile(g_dir / "bookmark.htm", shape);
    WriteFavoritesTree(g_dir / "Favorites", shape);
    std::ofstream registry(g_dir / "registry.reg");
    registry << "REGEDIT4\n\n"
             << "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                "User Shell Folders]\n\"Favorites\"=\""
             << (g_dir / "Favorites").string() << "\"\n\n"
             << "[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Bookmark List]\n"
                "\"File Location\"=\""
             << (g_dir / "bookmark.htm").string() << "\"\n";
    registry.close();
    setenv("TAVREL_REGISTRY", (g_dir / "registry.reg").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_dir / "config").c_str(), 1);
}

struct CWindow {
    CTavrelDoc* pDoc = nullptr;
    CMainFrame* pFrame = nullptr;

    void Open() {
        pDoc = new CTavrelDoc;
        pFrame = new CMainFrame(pDoc);
        pFrame->GetView()->OnInitialUpdate();
        pFrame->Show();
        pFrame->Update();
        pFrame->GetView()->m_list->GetBody()->Update();
    }
    void Close() {
        pFrame->Close(true);
        delete pDoc;
        wxTheApp->ProcessIdle();
    }
};

void BM_StartUp(benchmark::State& state) {
    for (auto _ : state) {
        CWindow window;
        window.Open();
        state.PauseTiming();
        window.Close();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->Iterations(3);

// Types a word one letter at a time and deletes it again; each step is one
// character.
void TypeSteps(benchmark::State& state, const std::vector<wxString>& steps) {
    CWindow window;
    window.Open();
    CTVLDlg* pView = window.pFrame->GetView();
    std::size_t nStep = 0;
    for (auto _ : state) {
        pView->m_comboFilter->SetValue(steps[nStep]);
        pView->m_list->GetBody()->Update();
        nStep = (nStep + 1) % steps.size();
    }
    state.counters["rows"] = pView->m_nShown;
    window.Close();
}

void BM_TypeCharacter(benchmark::State& state) {
    TypeSteps(state, {"m", "ma", "mai", "mail", "mai", "ma", "m", ""});
}
// Beyond ASCII every name is decoded and folded: "\u00FCb" finds "\u00DCbersicht".
void BM_TypeNonAscii(benchmark::State& state) {
    TypeSteps(state, {L"\u00FC", L"\u00FCb", L"\u00FCbe", L"\u00FCb", L"\u00FC", ""});
}
BENCHMARK(BM_TypeCharacter)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_TypeNonAscii)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CWxBench app(argc, argv);
    if (!app.IsOk()) {
        return 1;
    }
    MakeStores();
    InstallSettings();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete wxConfigBase::Set(nullptr);
    fs::remove_all(g_dir);
    return 0;
}
