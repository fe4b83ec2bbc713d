// The window at 100,000 Netscape bookmarks and 10,000 Favorites (other sizes
// with --sizes=N,N,..., and 1,000,000 added with --million): start-up to the
// filled and painted list, and one typed filter character (filter, rows,
// order, counts, repaint). Needs a display (run under xvfb-run).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/config.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
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

// Makes the stores of nNetscape bookmarks once and points the registry at them.
void UseStores(int nNetscape) {
    const fs::path dir = g_dir / std::to_string(nNetscape);
    if (!fs::exists(dir / "registry.reg")) {
        CStoreShape shape;
        shape.nNetscape = nNetscape;
        shape.nFavorites = std::min(nNetscape / 10, 10000);
        shape.dShared = 0.5;
        fs::create_directories(dir);
        WriteNetscapeFile(dir / "bookmark.htm", shape);
        WriteFavoritesTree(dir / "Favorites", shape);
        std::ofstream registry(dir / "registry.reg");
        registry << "REGEDIT4\n\n"
                 << "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                    "User Shell Folders]\n\"Favorites\"=\""
                 << (dir / "Favorites").string() << "\"\n\n"
                 << "[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Bookmark List]\n"
                    "\"File Location\"=\""
                 << (dir / "bookmark.htm").string() << "\"\n";
    }
    setenv("TAVREL_REGISTRY", (dir / "registry.reg").c_str(), 1);
}

void MakeSettings() {
    g_dir = fs::temp_directory_path() / ("tavrel-app-bench-" + std::to_string(getpid()));
    fs::create_directories(g_dir / "config");
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
    UseStores(static_cast<int>(state.range(0)));
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

// Types words one letter at a time and deletes them again, a character per
// step, with more words than the filter keeps the rows of, so that each word
// is typed anew. Reports the median and the slowest step too.
void TypeWords(benchmark::State& state, const std::vector<wxString>& words) {
    UseStores(static_cast<int>(state.range(0)));
    CWindow window;
    window.Open();
    CTVLDlg* pView = window.pFrame->GetView();
    std::vector<wxString> steps;
    for (const wxString& strWord : words) {
        for (std::size_t n = 1; n <= strWord.length(); ++n) {
            steps.push_back(strWord.Left(n));
        }
        for (std::size_t n = strWord.length() - 1; n > 0; --n) {
            steps.push_back(strWord.Left(n));
        }
        steps.push_back(wxString());
    }
    std::vector<double> times;
    std::size_t nStep = 0;
    for (auto _ : state) {
        const auto tStart = std::chrono::steady_clock::now();
        pView->m_comboFilter->SetValue(steps[nStep]);
        pView->m_list->GetBody()->Update();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart)
                .count());
        nStep = (nStep + 1) % steps.size();
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
    window.Close();
}

void BM_TypeCharacter(benchmark::State& state) {
    TypeWords(state, {"mail", "news", "wiki", "shop", "dev", "photo", "bank", "music"});
}
// Beyond ASCII every name is decoded and folded: "\u00FCb" finds "\u00DCbersicht".
void BM_TypeNonAscii(benchmark::State& state) {
    TypeWords(state, {L"\u00FCber", L"caf\u00E9", L"r\u00E9sum\u00E9", L"stra\u00DFe"});
}
void Register(int nNetscape) {
    benchmark::RegisterBenchmark("BM_StartUp", BM_StartUp)
        ->Arg(nNetscape)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_TypeCharacter", BM_TypeCharacter)
        ->Arg(nNetscape)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(3.0);
    benchmark::RegisterBenchmark("BM_TypeNonAscii", BM_TypeNonAscii)
        ->Arg(nNetscape)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(3.0);
}

}  // namespace

int main(int argc, char** argv) {
    // --million adds the cases at 1,000,000 bookmarks (a 253 MB file, made
    // once); --sizes=N,N,... runs these sizes instead of 100,000.
    std::vector<int> sizes = {100000};
    int nKept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view strArg = argv[i];
        if (strArg == "--million") {
            sizes.push_back(1000000);
        } else if (strArg.rfind("--sizes=", 0) == 0) {
            sizes.clear();
            std::istringstream list{std::string(strArg.substr(8))};
            for (std::string strSize; std::getline(list, strSize, ',');) {
                sizes.push_back(std::atoi(strSize.c_str()));
            }
        } else {
            argv[nKept++] = argv[i];
        }
    }
    argc = nKept;
    argv[argc] = nullptr;
    benchmark::Initialize(&argc, argv);
    for (const int nSize : sizes) {
        Register(nSize);
    }
    CWxBench app(argc, argv);
    if (!app.IsOk()) {
        return 1;
    }
    MakeSettings();
    InstallSettings();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete wxConfigBase::Set(nullptr);
    fs::remove_all(g_dir);
    return 0;
}
