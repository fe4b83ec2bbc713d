// Benchmarks of the catalogue on generated stores: both readers, the duplicate
// merge, and tavrel-cli list run end to end as a child process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/StoreGenerator.h"
#include "catalogue/TVLDlgBase.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kLargeNetscape = 100000;
constexpr int kFavorites = 10000;
constexpr double kShared = 0.5;

struct CNetscapeStore {
    std::string strPath;
    CNetscapeStats stats;
};

struct CFavoritesStore {
    std::string strDir;
    CFavoritesStats stats;
};

// The inputs, each written on first use into one directory below the system's
// temporary directory, which is removed at the end of the run.
class CBenchStores {
public:
    CBenchStores() = default;
    ~CBenchStores() {
        if (!m_root.empty()) {
            std::error_code ec;
            fs::remove_all(m_root, ec);
        }
    }
    CBenchStores(const CBenchStores&) = delete;
    CBenchStores& operator=(const CBenchStores&) = delete;

    const CNetscapeStore& Netscape(int nBookmarks) {
        auto it = m_netscape.find(nBookmarks);
        if (it == m_netscape.end()) {
            CNetscapeStore store;
            store.strPath =
                (Root() / ("bookmarks-" + std::to_string(nBookmarks) + ".htm")).string();
            store.stats = WriteNetscapeFile(store.strPath, Shape(nBookmarks));
            it = m_netscape.emplace(nBookmarks, std::move(store)).first;
        }
        return it->second;
    }

    // Shares its bookmarks with the large Netscape file.
    const CFavoritesStore& Favorites() {
        if (!m_favorites) {
            CFavoritesStore store;
            store.strDir = (Root() / "Favorites").string();
            store.stats = WriteFavoritesTree(store.strDir, Shape(kLargeNetscape));
            m_favorites = std::move(store);
        }
        return *m_favorites;
    }

private:
    static CStoreShape Shape(int nNetscape) {
        CStoreShape shape;
        shape.nNetscape = nNetscape;
        shape.nFavorites = kFavorites;
        shape.dShared = kShared;
        return shape;
    }

    const fs::path& Root() {
        if (m_root.empty()) {
            std::string strTemplate = (fs::temp_directory_path() / "tavrel-bench-XXXXXX").string();
            if (mkdtemp(strTemplate.data()) == nullptr) {
                throw fs::filesystem_error("cannot create a temporary directory", strTemplate,
                                           std::error_code(errno, std::generic_category()));
            }
            m_root = strTemplate;
        }
        return m_root;
    }

    fs::path m_root;
    std::map<int, CNetscapeStore> m_netscape;
    std::optional<CFavoritesStore> m_favorites;
};

CBenchStores* g_pStores = nullptr;

// A view without a window; a missing store only sets its bit.
class CBenchView : public CTVLDlgBase {};

std::unique_ptr<CBenchView> ReadStores(const CNetscapeStore* pNetscape,
                                       const CFavoritesStore* pFavorites) {
    auto pView = std::make_unique<CBenchView>();
    if (pFavorites != nullptr) {
        pView->m_bMSIE = true;
        pView->m_strFavorites = pFavorites->strDir;
        pView->ReadFavorites();
    }
    if (pNetscape != nullptr) {
        pView->m_bNetscape = true;
        pView->m_strNSFile = pNetscape->strPath;
        pView->ReadNetscapeFile();
    }
    return pView;
}

// A copy of the catalogue in the same order, with the folder links redirected
// to the copies.
void CopyCatalogue(const CBookmarkArray& from, CBookmarkArray& to) {
    std::unordered_map<const CBookmark*, CBookmark*> copies;
    copies.reserve(static_cast<std::size_t>(from.GetSize()));
    for (int i = 0; i < from.GetSize(); ++i) {
        const auto* pOld = static_cast<const CBookmark*>(from[i]);
        auto* pNew = new CBookmark(*pOld);
        copies.emplace(pOld, pNew);
        to.Add(pNew);
    }
    for (int i = 0; i < to.GetSize(); ++i) {
        auto* pMark = static_cast<CBookmark*>(to[i]);
        if (pMark->m_pFolder != nullptr) {
            pMark->m_pFolder = copies.at(pMark->m_pFolder);
        }
        if (pMark->m_pNSFolder != nullptr) {
            pMark->m_pNSFolder = copies.at(pMark->m_pNSFolder);
        }
    }
}

void BM_ReadNetscapeFile(benchmark::State& state) {
    const CNetscapeStore* pStore = nullptr;
    try {
        pStore = &g_pStores->Netscape(static_cast<int>(state.range(0)));
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    int nRecords = 0;
    for (auto _ : state) {
        auto pView = ReadStores(pStore, nullptr);
        state.PauseTiming();
        nRecords = pView->m_bookmarks.GetSize();
        pView.reset();
        state.ResumeTiming();
    }
    // The root, then every folder and bookmark that was written.
    if (nRecords != 1 + pStore->stats.nFolders + pStore->stats.nBookmarks) {
        state.SkipWithError("the reader did not find every record of the generated file");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pStore->stats.nBytes));
    state.SetItemsProcessed(state.iterations() * pStore->stats.nBookmarks);
    state.counters["file_MB"] = static_cast<double>(pStore->stats.nBytes) / 1e6;
    state.counters["records"] = nRecords;
}
BENCHMARK(BM_ReadNetscapeFile)->Arg(10000)->Arg(kLargeNetscape)->Unit(benchmark::kMillisecond);

void BM_ReadFavorites(benchmark::State& state) {
    const CFavoritesStore* pStore = nullptr;
    try {
        pStore = &g_pStores->Favorites();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    int nRecords = 0;
    for (auto _ : state) {
        auto pView = ReadStores(nullptr, pStore);
        state.PauseTiming();
        nRecords = pView->m_bookmarks.GetSize();
        pView.reset();
        state.ResumeTiming();
    }
    if (nRecords != 1 + pStore->stats.nDirectories + pStore->stats.nFiles) {
        state.SkipWithError("the reader did not find every record of the generated tree");
    }
    state.SetItemsProcessed(state.iterations() * pStore->stats.nFiles);
    state.counters["records"] = nRecords;
}
BENCHMARK(BM_ReadFavorites)->Arg(kFavorites)->Unit(benchmark::kMillisecond);

// Only the merge is timed; each iteration merges a fresh copy of one catalogue
// read from both stores.
void BM_MergeDuplicates(benchmark::State& state) {
    std::unique_ptr<CBenchView> pRead;
    const CFavoritesStore* pFavorites = nullptr;
    try {
        pFavorites = &g_pStores->Favorites();
        pRead = ReadStores(&g_pStores->Netscape(kLargeNetscape), pFavorites);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const int nBefore = pRead->m_bookmarks.GetSize();
    int nAfter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto pView = std::make_unique<CBenchView>();
        CopyCatalogue(pRead->m_bookmarks, pView->m_bookmarks);
        state.ResumeTiming();
        pView->MergeDuplicates();
        state.PauseTiming();
        nAfter = pView->m_bookmarks.GetSize();
        pView.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * nBefore);
    state.counters["records"] = nBefore;
    state.counters["joined"] = nBefore - nAfter;
    state.counters["pairs_written"] = pFavorites->stats.nShared;
}
BENCHMARK(BM_MergeDuplicates)->Unit(benchmark::kMillisecond);

// Runs the command with stdout and stderr on /dev/null; fills the child's
// resource usage. Returns its wait status, or -1 when it could not be started.
int RunQuietly(const std::vector<std::string>& args, rusage& usage) {
    std::vector<char*> argv;
    for (const std::string& str : args) {
        argv.push_back(const_cast<char*>(str.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        return -1;
    }
    int nStatus = 0;
    while (wait4(pid, &nStatus, 0, &usage) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return nStatus;
}

double Seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// The kernel folds the spawning process's peak resident size into the child's
// ru_maxrss at exec, so the spawner trims its heap and resets its own peak to its
// present size first. Returns that size in MiB: the floor of the child's figure.
double ResetSpawnerPeak() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    std::ifstream status("/proc/self/status");
    std::string strKey;
    double dKiB = 0;
    while (status >> strKey) {
        if (strKey == "VmHWM:") {
            status >> dKiB;
            break;
        }
    }
    return dKiB / 1024.0;
}

void BM_CliList(benchmark::State& state) {
    std::vector<std::string> args;
    try {
        args = {TAVREL_CLI,    "list",
                "--favorites", g_pStores->Favorites().strDir,
                "--netscape",  g_pStores->Netscape(kLargeNetscape).strPath};
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const double dSpawnerMiB = ResetSpawnerPeak();
    long nPeakKiB = 0;
    double dCpu = 0;
    for (auto _ : state) {
        rusage usage{};
        const int nStatus = RunQuietly(args, usage);
        if (nStatus == -1 || !WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0) {
            state.SkipWithError("tavrel-cli list failed");
            break;
        }
        nPeakKiB = std::max(nPeakKiB, usage.ru_maxrss);
        dCpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(nPeakKiB) / 1024.0;
    state.counters["spawner_rss_MiB"] = dSpawnerMiB;
    state.counters["child_cpu_ms"] =
        state.iterations() > 0 ? dCpu * 1000.0 / static_cast<double>(state.iterations()) : 0.0;
}
BENCHMARK(BM_CliList)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CBenchStores stores;
    g_pStores = &stores;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_pStores = nullptr;
    return 0;
}
