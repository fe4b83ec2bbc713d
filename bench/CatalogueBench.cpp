// Benchmarks of the catalogue on generated stores: both readers, the duplicate
// merge, Save's writing of both stores, and tavrel-cli list run end to end as a
// child process.
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
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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

    // A directory of its own for inputs that a benchmark changes. It is made on
    // first use and kept, with whatever the benchmark leaves in it, to the end.
    fs::path ScratchDir(const std::string& strName) {
        const fs::path dir = Root() / strName;
        fs::create_directory(dir);
        return dir;
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
// --million: the Netscape file of a million bookmarks (253 MB) too.
constexpr int kMillion = 1000000;

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
        pRead = ReadStores(&g_pStores->Netscape(static_cast<int>(state.range(0))), pFavorites);
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
BENCHMARK(BM_MergeDuplicates)->Arg(kLargeNetscape)->Unit(benchmark::kMillisecond);

// A view on stores at fixed paths in place of discovery, with both export boxes
// ticked or both clear. An empty Favorites path means there is no such store.
class CSaveView : public CTVLDlgBase {
public:
    CSaveView(std::string strFavorites, std::string strNetscape, bool bExport)
        : m_strFavoritesDir(std::move(strFavorites)),
          m_strNetscapePath(std::move(strNetscape)),
          m_bExport(bExport) {}

    int m_nErrors = 0;

    void DetectStores() override {
        m_bMSIE = !m_strFavoritesDir.empty();
        m_strFavorites = m_strFavoritesDir;
        m_bNetscape = true;
        m_bNSRegistry = false;
        m_strNSFile = m_strNetscapePath;
    }
    CExportChoice GetExportChoice() const override { return {m_bExport, m_bExport}; }
    void ShowMessage(const std::string& strText, EMessageKind kind) override {
        (void)strText;
        m_nErrors += kind == MSG_ERROR ? 1 : 0;
    }

private:
    std::string m_strFavoritesDir;
    std::string m_strNetscapePath;
    bool m_bExport;
};

// Removes the backups that Save made of the file (its name, a full stop and the
// seconds) and returns how many there were.
int RemoveBackups(const fs::path& file) {
    const std::string strPrefix = file.filename().string() + ".";
    std::vector<fs::path> backups;
    for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with(strPrefix)) {
            backups.push_back(entry.path());
        }
    }
    for (const fs::path& path : backups) {
        fs::remove(path);
    }
    return static_cast<int>(backups.size());
}

// The number of records that a Netscape file holds once read back.
// The records of a Netscape file, and those that carry attributes of their own
// or a description, so that a save can be seen to keep all of them.
struct CNetscapeCounts {
    int nRecords = 0;
    int nAttributes = 0;
    int nDescriptions = 0;
    bool operator==(const CNetscapeCounts&) const = default;
};

CNetscapeCounts CountNetscapeRecords(const fs::path& file) {
    CSaveView view("", file.string(), false);
    view.ImportBookmarks();
    CNetscapeCounts counts;
    counts.nRecords = view.m_bookmarks.GetSize();
    for (int i = 0; i < counts.nRecords; ++i) {
        const CNetscapeExtra* pExtra = view.BookmarkAt(i)->NSExtra();
        counts.nAttributes += pExtra != nullptr && !pExtra->strAttributes.empty() ? 1 : 0;
        counts.nDescriptions += pExtra != nullptr && pExtra->bDescription ? 1 : 0;
    }
    return counts;
}

// What the Netscape file gains from the Favorites when "Add to Netscape" is
// ticked: the export folder, the Favorites-only bookmarks and every folder above
// them up to the Favorites root.
int CountNetscapeExport(const CBookmarkArray& catalogue) {
    std::unordered_set<const CBookmark*> folders;
    int nBookmarks = 0;
    for (int i = 0; i < catalogue.GetSize(); ++i) {
        const auto* pMark = static_cast<const CBookmark*>(catalogue[i]);
        if (pMark->Origin() != 1 || (pMark->m_nFlags & (BMF_FOLDER | BMF_REMOVED)) != 0) {
            continue;
        }
        ++nBookmarks;
        // The climb ends at the root or at a folder that an earlier climb counted.
        const CBookmark* pFolder = pMark->m_pFolder;
        while (pFolder != nullptr && folders.insert(pFolder).second) {
            pFolder = pFolder->m_pFolder;
        }
    }
    return nBookmarks == 0 ? 0 : 1 + static_cast<int>(folders.size()) + nBookmarks;
}

// The bookmarks that "Add to IExplorer" turns into shortcut files.
int CountShortcutExport(const CBookmarkArray& catalogue) {
    int n = 0;
    for (int i = 0; i < catalogue.GetSize(); ++i) {
        const auto* pMark = static_cast<const CBookmark*>(catalogue[i]);
        n += pMark->Origin() == 2 && (pMark->m_nFlags & (BMF_FOLDER | BMF_REMOVED)) == 0;
    }
    return n;
}

// The file system of Save without its flush to disk: the new Netscape file is
// written beside the old one and renamed over it, but never fsynced, so that
// the two runs of BM_SaveNetscape100k tell what the flush costs.
class CUnflushedReplacement : public CFileReplacement {
public:
    explicit CUnflushedReplacement(std::string strTarget)
        : m_strTarget(std::move(strTarget)), m_strTemp(m_strTarget + ".unflushed") {
        m_fd = open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    ~CUnflushedReplacement() override {
        if (m_fd >= 0) {
            close(m_fd);
        }
        unlink(m_strTemp.c_str());
    }
    bool Opened() const { return m_fd >= 0; }
    const std::string& Target() const override { return m_strTarget; }
    bool Replaces() const override { return true; }
    bool Write(const char* pData, std::size_t nSize) override {
        return write(m_fd, pData, nSize) == static_cast<ssize_t>(nSize);
    }
    bool Flush() override {
        const bool bClosed = close(m_fd) == 0;
        m_fd = -1;
        return bClosed;
    }
    bool Install() override { return rename(m_strTemp.c_str(), m_strTarget.c_str()) == 0; }

private:
    std::string m_strTarget;
    std::string m_strTemp;
    int m_fd = -1;
};

class CUnflushedFileSystem : public CFileSystem {
public:
    CFileSystem& m_posix = GetFileSystem();
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override {
        return m_posix.ListDirectory(strDir, listing);
    }
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader, std::uint64_t nMaxSize,
                      CFileStamp* pStamp) override {
        return m_posix.OpenTextFile(strPath, reader, nMaxSize, pStamp);
    }
    bool OpenListedFile(const CDirListing& listing, CDirEntry& entry, CTextFileReader& reader,
                        std::uint64_t nMaxSize) override {
        return m_posix.OpenListedFile(listing, entry, reader, nMaxSize);
    }
    std::int64_t CurrentTime() override { return m_posix.CurrentTime(); }
    bool IsDirectory(const std::string& strPath) override { return m_posix.IsDirectory(strPath); }
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        return m_posix.CanOpen(strPath, bWrite);
    }
    EFileResult StampFile(const std::string& strPath, CFileStamp& stamp) override {
        return m_posix.StampFile(strPath, stamp);
    }
    std::unique_ptr<CFileReplacement> BeginReplace(const std::string& strPath) override {
        auto pFile = std::make_unique<CUnflushedReplacement>(strPath);
        return pFile->Opened() ? std::move(pFile) : nullptr;
    }
    EFileResult KeepCopy(const std::string& strFrom, const std::string& strTo) override {
        return m_posix.KeepCopy(strFrom, strTo);
    }
    bool RemoveFile(const std::string& strPath) override { return m_posix.RemoveFile(strPath); }
    std::unique_ptr<CDirectoryTree> OpenTree(const std::string& strRoot) override {
        return m_posix.OpenTree(strRoot);
    }
};

// The Netscape file's part of Save on 100k bookmarks with no Favorites store and
// both boxes clear, with the flush to disk (argument 1) or without it (0). Each
// iteration writes into a fresh copy of the generated file from a freshly
// imported catalogue; the copy, the import and the removal of the backup are
// not timed, nor is the import run that ends SaveChanges. The page cache is
// written back before each timed part, so that each flush writes only its own.
void BM_SaveNetscape100k(benchmark::State& state) {
    CUnflushedFileSystem unflushed;
    const bool bFlush = state.range(0) != 0;
    const CNetscapeStore* pStore = nullptr;
    fs::path work;
    try {
        pStore = &g_pStores->Netscape(kLargeNetscape);
        work = g_pStores->ScratchDir("save-netscape") / "bookmark.htm";
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const int nRecords = 1 + pStore->stats.nFolders + pStore->stats.nBookmarks;
    std::unique_ptr<CSaveView> pView;
    bool bSaved = false;
    for (auto _ : state) {
        state.PauseTiming();
        pView.reset();
        // Each save leaves exactly one backup behind.
        if (RemoveBackups(work) != (bSaved ? 1 : 0)) {
            state.SkipWithError("Save did not leave one backup of the Netscape file");
            break;
        }
        fs::copy_file(pStore->strPath, work, fs::copy_options::overwrite_existing);
        pView = std::make_unique<CSaveView>("", work.string(), false);
        if (!bFlush) {
            pView->m_pFileSystem = &unflushed;
        }
        pView->ImportBookmarks();
        if (pView->m_bookmarks.GetSize() != nRecords) {
            state.SkipWithError("the import did not find every record of the generated file");
            break;
        }
        sync();
        state.ResumeTiming();
        if (pView->SaveNetscapeFile({}) != CTVLDlgBase::SAVE_DONE) {
            state.SkipWithError("the Netscape file could not be written");
            break;
        }
        bSaved = true;
    }
    pView.reset();
    if (!bSaved) {
        return;
    }
    RemoveBackups(work);
    // The file written holds every record that was read, with what it carries.
    const CNetscapeCounts read = CountNetscapeRecords(pStore->strPath);
    if (CountNetscapeRecords(work) != read || read.nRecords != nRecords) {
        state.SkipWithError("the saved file does not hold every record, attribute and description");
    }
    state.counters["with_attributes"] = read.nAttributes;
    state.counters["with_description"] = read.nDescriptions;
    const auto nBytes = static_cast<std::int64_t>(fs::file_size(work));
    state.SetItemsProcessed(state.iterations() * pStore->stats.nBookmarks);
    state.SetBytesProcessed(state.iterations() * nBytes);
    state.counters["records"] = nRecords;
    state.counters["file_MB"] = static_cast<double>(nBytes) / 1e6;
}
BENCHMARK(BM_SaveNetscape100k)
    ->ArgName("flush")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// Both halves of Save on 100k Netscape bookmarks and 10k shortcut files with both
// boxes ticked: the Netscape-only bookmarks become shortcut files below
// "Netscape Bookmarks" and the Favorites-only ones an export folder in the new
// Netscape file. The Favorites tree is a copy of its own, and the exported
// directory is moved aside between iterations, untimed. Moved, not deleted: on
// ext4 without a journal, creating a file passes over every inode freed in the
// last few minutes, reading each one's deletion time, so ~95k files deleted just
// before the timed part make it several times slower. For the same reason, runs
// a few minutes apart measure this one best: each run deletes its files at exit.
void BM_SaveBoth110k(benchmark::State& state) {
    const CNetscapeStore* pStore = nullptr;
    fs::path work;
    fs::path favorites;
    fs::path setAside;
    try {
        pStore = &g_pStores->Netscape(kLargeNetscape);
        const fs::path dir = g_pStores->ScratchDir("save-both");
        work = dir / "bookmark.htm";
        favorites = dir / "Favorites";
        setAside = dir / "set-aside";
        if (!fs::exists(favorites)) {
            fs::copy(g_pStores->Favorites().strDir, favorites, fs::copy_options::recursive);
        }
        fs::create_directory(setAside);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const fs::path exported = favorites / kNetscapeRootName;
    auto restoreFavorites = [&] {
        if (fs::exists(exported)) {
            const auto nTaken = std::distance(fs::directory_iterator(setAside), {});
            fs::rename(exported, setAside / std::to_string(nTaken));
        }
    };
    restoreFavorites();
    const int nBase = 1 + pStore->stats.nFolders + pStore->stats.nBookmarks;
    std::unique_ptr<CSaveView> pView;
    int nShortcuts = 0;
    int nExport = 0;
    bool bSaved = false;
    for (auto _ : state) {
        state.PauseTiming();
        pView.reset();
        restoreFavorites();
        if (RemoveBackups(work) != (bSaved ? 1 : 0)) {
            state.SkipWithError("Save did not leave one backup of the Netscape file");
            break;
        }
        fs::copy_file(pStore->strPath, work, fs::copy_options::overwrite_existing);
        pView = std::make_unique<CSaveView>(favorites.string(), work.string(), true);
        pView->ImportBookmarks();
        nShortcuts = CountShortcutExport(pView->m_bookmarks);
        nExport = CountNetscapeExport(pView->m_bookmarks);
        // The previous iterations' files would otherwise be written back to disk
        // while this one runs.
        sync();
        state.ResumeTiming();
        pView->SaveFavorites({});
        if (pView->SaveNetscapeFile({}) != CTVLDlgBase::SAVE_DONE) {
            state.SkipWithError("the Netscape file could not be written");
            break;
        }
        bSaved = true;
    }
    const int nErrors = pView ? pView->m_nErrors : 0;
    pView.reset();
    if (!bSaved) {
        return;
    }
    RemoveBackups(work);

    int nFiles = 0;
    int nDirectories = 0;
    if (fs::exists(exported)) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(exported)) {
            nFiles += entry.is_regular_file();
            nDirectories += entry.is_directory();
        }
    }
    restoreFavorites();
    if (CountNetscapeRecords(work).nRecords != nBase + nExport) {
        state.SkipWithError("the saved file does not hold the Netscape records and the export");
    }
    if (nFiles == 0) {
        state.SkipWithError("no shortcut file was written");
    }
    state.SetItemsProcessed(state.iterations() * (nBase + nExport));
    state.counters["files_written"] = nFiles;
    state.counters["dirs_created"] = nDirectories + (nFiles > 0 ? 1 : 0);
    state.counters["netscape_only"] = nShortcuts;
    state.counters["exported_to_ns"] = nExport;
    state.counters["errors"] = nErrors;
}
BENCHMARK(BM_SaveBoth110k)->Unit(benchmark::kMillisecond);

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
                "--netscape",  g_pStores->Netscape(static_cast<int>(state.range(0))).strPath};
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
BENCHMARK(BM_CliList)
    ->Arg(kLargeNetscape)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    const auto pEnd = std::remove(argv + 1, argv + argc, std::string_view("--million"));
    const bool bMillion = pEnd != argv + argc;
    argc = static_cast<int>(pEnd - argv);
    argv[argc] = nullptr;
    benchmark::Initialize(&argc, argv);
    if (bMillion) {
        benchmark::RegisterBenchmark("BM_ReadNetscapeFile", BM_ReadNetscapeFile)
            ->Arg(kMillion)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_MergeDuplicates", BM_MergeDuplicates)
            ->Arg(kMillion)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_CliList", BM_CliList)
            ->Arg(kMillion)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    }
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
