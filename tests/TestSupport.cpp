#include "tests/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
// Only the C run-time: windows.h and platform/Registry.h both name HKEY.
#include <direct.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/utime.h>
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "platform/Path.h"
#include "platform/Shell.h"

std::vector<CBookmark*> CTestView::Bookmarks() const {
    std::vector<CBookmark*> result;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        if ((BookmarkAt(i)->m_nFlags & BMF_FOLDER) == 0) {
            result.push_back(BookmarkAt(i));
        }
    }
    return result;
}

CBookmark* CTestView::Named(const std::string& strName) const {
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        if (BookmarkAt(i)->m_strName == strName) {
            return BookmarkAt(i);
        }
    }
    return nullptr;
}

CTempDir::CTempDir() {
#ifdef _WIN32
    // No mkdtemp: names are tried until one is new.
    static unsigned s_nCount = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::filesystem::path path =
            base / ("tavrel-test-" + std::to_string(_getpid()) + "-" + std::to_string(++s_nCount));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            m_path = path;
            return;
        }
        if (error) {
            break;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
#else
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    m_path = strTemplate;
#endif
}

CTempDir::~CTempDir() {
    std::error_code ec;
#ifdef _WIN32
    // Windows removes no read-only file.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
    }
#endif
    std::filesystem::remove_all(m_path, ec);
}

void CTempDir::Write(const std::string& strRel, const std::string& strBytes) const {
#ifdef _WIN32
    // By the C run-time's narrow calls, which read names in the program's
    // code page, as the program's own calls do; std::filesystem reads a
    // narrow name in another encoding.
    const std::string strPath = *this / strRel;
    for (std::size_t n = strPath.find(kPathSep, m_path.string().size() + 1); n != std::string::npos;
         n = strPath.find(kPathSep, n + 1)) {
        _mkdir(strPath.substr(0, n).c_str());
    }
    std::ofstream out(strPath, std::ios::binary);
#else
    const auto path = m_path / strRel;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
#endif
    out << strBytes;
}

bool CFailingFileSystem::ListDirectory(const std::string& strDir, CDirListing& listing) {
    if (m_failPaths.count(strDir) != 0 || !GetFileSystem().ListDirectory(strDir, listing)) {
        return false;
    }
    for (CDirEntry& entry : listing.entries) {
        DropTimes(entry);
    }
    return true;
}

bool CFailingFileSystem::OpenListedFile(const CDirListing& listing, CDirEntry& entry,
                                        CTextFileReader& reader, std::uint64_t nMaxSize) {
    if (Fails(entry.strPath) || !GetFileSystem().OpenListedFile(listing, entry, reader, nMaxSize)) {
        return false;
    }
    DropTimes(entry);
    return true;
}

void CFailingFileSystem::DropTimes(CDirEntry& entry) const {
    if (m_bDropTimes) {
        entry.tCreated.reset();
        entry.tAccessed.reset();
        entry.tModified.reset();
    }
}

bool CFailingFileSystem::OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                                      std::uint64_t nMaxSize, CFileStamp* pStamp) {
    return !Fails(strPath) && GetFileSystem().OpenTextFile(strPath, reader, nMaxSize, pStamp);
}

namespace {

class CFailingReplacement : public CFileReplacement {
public:
    CFailingReplacement(const CFailingFileSystem& fs, std::unique_ptr<CFileReplacement> pInner)
        : m_fs(fs), m_pInner(std::move(pInner)) {}
    const std::string& Target() const override { return m_pInner->Target(); }
    bool Replaces() const override { return m_pInner->Replaces(); }
    bool Write(const char* pData, std::size_t nSize) override {
        if (m_fs.m_nFailWriteAt && m_nWritten + nSize > *m_fs.m_nFailWriteAt) {
            // What fits is written, as write does on a full disk.
            const std::size_t nFits = static_cast<std::size_t>(*m_fs.m_nFailWriteAt - m_nWritten);
            m_pInner->Write(pData, nFits);
            m_nWritten += nFits;
            return false;
        }
        m_nWritten += nSize;
        return m_pInner->Write(pData, nSize);
    }
    bool Flush() override {
        const bool bFlushed = m_pInner->Flush() && !m_fs.m_bFailFlush;
        if (m_fs.m_onFlush) {
            m_fs.m_onFlush();
        }
        return bFlushed;
    }
    bool Install() override { return !m_fs.m_bFailInstall && m_pInner->Install(); }

private:
    const CFailingFileSystem& m_fs;
    std::unique_ptr<CFileReplacement> m_pInner;
    std::uint64_t m_nWritten = 0;
};

class CFailingTree : public CDirectoryTree {
public:
    CFailingTree(const CFailingFileSystem& fs, std::string strRoot,
                 std::unique_ptr<CDirectoryTree> pInner)
        : m_fs(fs), m_strRoot(std::move(strRoot)), m_pInner(std::move(pInner)) {}
    std::size_t MakeDirectories(const std::vector<std::string>& parts,
                                bool& bCreateFailed) override {
        std::string strPath = m_strRoot;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            strPath += kPathSep + parts[i];
            if (m_fs.Fails(strPath)) {
                const std::vector<std::string> above(parts.begin(),
                                                     parts.begin() + static_cast<long>(i));
                const std::size_t nReached = m_pInner->MakeDirectories(above, bCreateFailed);
                bCreateFailed = bCreateFailed || nReached == i;
                return nReached;
            }
        }
        return m_pInner->MakeDirectories(parts, bCreateFailed);
    }
    EFileResult CreateFile(const std::vector<std::string>& dirParts, const std::string& strName,
                           std::string_view bytes) override {
        return Fails(dirParts, strName) ? FILE_FAILED
                                        : m_pInner->CreateFile(dirParts, strName, bytes);
    }
    bool RemoveFile(const std::vector<std::string>& dirParts, const std::string& strName) override {
        return !Fails(dirParts, strName) && m_pInner->RemoveFile(dirParts, strName);
    }
    EFileResult RenameFile(const std::vector<std::string>& dirParts, const std::string& strFrom,
                           const std::string& strTo) override {
        return Fails(dirParts, strFrom) ? FILE_FAILED
                                        : m_pInner->RenameFile(dirParts, strFrom, strTo);
    }

private:
    bool Fails(const std::vector<std::string>& dirParts, const std::string& strName) const {
        std::string strPath = m_strRoot;
        for (const std::string& strPart : dirParts) {
            strPath += kPathSep + strPart;
        }
        return m_fs.Fails(strPath + kPathSep + strName);
    }

    const CFailingFileSystem& m_fs;
    std::string m_strRoot;
    std::unique_ptr<CDirectoryTree> m_pInner;
};

}  // namespace

std::unique_ptr<CFileReplacement> CFailingFileSystem::BeginReplace(const std::string& strPath) {
    if (Fails(strPath)) {
        return nullptr;
    }
    auto pInner = GetFileSystem().BeginReplace(strPath);
    return pInner ? std::make_unique<CFailingReplacement>(*this, std::move(pInner)) : nullptr;
}

std::unique_ptr<CDirectoryTree> CFailingFileSystem::OpenTree(const std::string& strRoot) {
    auto pInner = Fails(strRoot) ? nullptr : GetFileSystem().OpenTree(strRoot);
    return pInner ? std::make_unique<CFailingTree>(*this, strRoot, std::move(pInner)) : nullptr;
}

void SetEnv(const std::string& strName, const std::string& strValue) {
#ifdef _WIN32
    // The C run-time passes the change on to the system's environment.
    _putenv_s(strName.c_str(), strValue.c_str());
#else
    setenv(strName.c_str(), strValue.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& strName) {
#ifdef _WIN32
    _putenv_s(strName.c_str(), "");
#else
    unsetenv(strName.c_str());
#endif
}

bool SetFileTimes(const std::string& strPath, std::int64_t tAccessed, std::int64_t tModified) {
#ifdef _WIN32
    __utimbuf64 times{tAccessed, tModified};
    return _utime64(strPath.c_str(), &times) == 0;
#else
    const timespec times[2] = {{tAccessed, 0}, {tModified, 0}};
    return utimensat(AT_FDCWD, strPath.c_str(), times, 0) == 0;
#endif
}

CEnvironmentGuard::CEnvironmentGuard(std::vector<std::string> names) {
    for (std::string& strName : names) {
        const char* pszValue = std::getenv(strName.c_str());
        m_saved.emplace_back(std::move(strName), pszValue != nullptr
                                                     ? std::optional<std::string>(pszValue)
                                                     : std::nullopt);
    }
}

CEnvironmentGuard::~CEnvironmentGuard() {
    for (const auto& [strName, value] : m_saved) {
        if (value) {
            SetEnv(strName, *value);
        } else {
            UnsetEnv(strName);
        }
    }
}

CCurrentDirGuard::CCurrentDirGuard() : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(m_dir.Path());
}

CCurrentDirGuard::~CCurrentDirGuard() {
    std::filesystem::current_path(m_previous);
}

#ifndef _WIN32
extern char** environ;
#endif

namespace {

// Keeps every test away from the real home directory and registry file (on
// Windows the user's profile, where the registry's shell folders lead).
class CIsolatedEnvironment : public testing::Environment {
public:
    void SetUp() override {
        m_pHome = std::make_unique<CTempDir>();
        SetEnv("HOME", m_pHome->Path().string());
#ifdef _WIN32
        SetEnv("USERPROFILE", m_pHome->Path().string());
#else
        SetEnv("XDG_CONFIG_HOME", *m_pHome / "config");
        SetEnv("TAVREL_REGISTRY", *m_pHome / "registry.reg");
#endif
    }
    void TearDown() override {
        m_pHome.reset();
    }

private:
    std::unique_ptr<CTempDir> m_pHome;
};

[[maybe_unused]] testing::Environment* const g_pIsolated =
    testing::AddGlobalTestEnvironment(new CIsolatedEnvironment);

}  // namespace

std::vector<std::string> CRun::OutLines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0, n; i < strOut.size(); i = n + 1) {
        n = strOut.find('\n', i);
        lines.push_back(strOut.substr(i, n - i));
    }
    return lines;
}

std::string CRun::LastErrLine() const {
    const std::string s = strErr.substr(0, strErr.size() - (strErr.ends_with('\n') ? 1 : 0));
    const std::size_t n = s.rfind('\n');
    return s.substr(n == std::string::npos ? 0 : n + 1);
}

#ifdef _WIN32

namespace {

// The variable's name as the system compares names, without regard to case;
// names such as "=C:" begin with the sign.
std::string NameKey(const std::string& strAssignment) {
    std::string strName = strAssignment.substr(0, strAssignment.find('=', 1));
    for (char& c : strName) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return strName;
}

std::vector<const char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<const char*> result;
    for (const std::string& str : strings) {
        result.push_back(str.c_str());
    }
    result.push_back(nullptr);
    return result;
}

// Runs tavrel-cli.exe to its end with its output in the two files; its exit
// status, or -1 with nError set when it could not be started.
int RunRedirected(const std::vector<const char*>& argv, const std::vector<const char*>& envp,
                  const std::string& strOut, const std::string& strErr, int& nError) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int nMode = _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY;
    const int fdOut = _open(strOut.c_str(), nMode, _S_IREAD | _S_IWRITE);
    const int fdErr = _open(strErr.c_str(), nMode, _S_IREAD | _S_IWRITE);
    const int fdKeptOut = _dup(1);
    const int fdKeptErr = _dup(2);
    int nStatus = -1;
    errno = 0;
    if (fdOut >= 0 && fdErr >= 0 && fdKeptOut >= 0 && fdKeptErr >= 0 && _dup2(fdOut, 1) != -1 &&
        _dup2(fdErr, 2) != -1) {
        nStatus = static_cast<int>(_spawnve(_P_WAIT, TAVREL_CLI, argv.data(), envp.data()));
    }
    nError = errno;
    for (const auto& [fdKept, fdStd] : {std::pair{fdKeptOut, 1}, std::pair{fdKeptErr, 2}}) {
        if (fdKept >= 0) {
            _dup2(fdKept, fdStd);
            _close(fdKept);
        }
    }
    for (const int fd : {fdOut, fdErr}) {
        if (fd >= 0) {
            _close(fd);
        }
    }
    return nStatus;
}

}  // namespace

CRun RunCli(const CTempDir& dir, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv) {
    const std::string strOut = dir / "stdout.txt";
    const std::string strErr = dir / "stderr.txt";
    std::vector<std::string> argStrings = {QuoteArgument(TAVREL_CLI)};
    for (const std::string& strArg : args) {
        argStrings.push_back(QuoteArgument(strArg));
    }
    // As on Linux the first assignment of a name counts; the later ones are
    // left out, the system's block holding each name once.
    const std::string strHome = dir / "home";
    std::vector<std::string> assignments = {"TZ=UTC", "HOME=" + strHome, "USERPROFILE=" + strHome};
    assignments.insert(assignments.end(), extraEnv.begin(), extraEnv.end());
    for (char** pp = _environ; *pp != nullptr; ++pp) {
        assignments.emplace_back(*pp);
    }
    std::set<std::string> names;
    std::vector<std::string> envStrings;
    for (const std::string& strAssignment : assignments) {
        if (names.insert(NameKey(strAssignment)).second) {
            envStrings.push_back(strAssignment);
        }
    }
    const std::vector<const char*> argv = Pointers(argStrings);
    const std::vector<const char*> envp = Pointers(envStrings);
    // The program gets this process's descriptors 0 to 2: 1 and 2 lead to the
    // files while it runs.
    // Wine now and then refuses a start or the output files a moment after
    // the run before; a program that was not started is started again.
    CRun run;
    int nError = 0;
    for (int nTry = 0; nTry < 5 && run.nStatus == -1; ++nTry) {
        if (nTry > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        run.nStatus = RunRedirected(argv, envp, strOut, strErr, nError);
    }
    run.strOut = ReadFileBytes(strOut);
    run.strErr = run.nStatus == -1 ? "not started: " + std::string(std::strerror(nError))
                                   : ReadFileBytes(strErr);
    return run;
}

#else

pid_t StartCli(const std::string& strDir, const std::vector<std::string>& args,
               const std::string& strOut, const std::string& strErr,
               const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argStrings = {TAVREL_CLI};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    // getenv finds the first entry of a name, so these come before the inherited ones.
    std::vector<std::string> envStrings = {"TZ=UTC", "HOME=" + strDir + "/home",
                                           "XDG_CONFIG_HOME=" + strDir + "/config",
                                           "TAVREL_REGISTRY=" + strDir + "/registry.reg"};
    envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
    for (char** pp = environ; *pp != nullptr; ++pp) {
        envStrings.emplace_back(*pp);
    }
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& str : strings) {
            result.push_back(str.data());
        }
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> argv = pointers(argStrings);
    std::vector<char*> envp = pointers(envStrings);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

CRun RunCli(const CTempDir& dir, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv) {
    const std::string strOut = dir / "stdout.txt";
    const std::string strErr = dir / "stderr.txt";
    CRun run;
    const pid_t pid = StartCli(dir.Path().string(), args, strOut, strErr, extraEnv);
    int nWait = 0;
    if (pid > 0 && waitpid(pid, &nWait, 0) == pid && WIFEXITED(nWait)) {
        run.nStatus = WEXITSTATUS(nWait);
    }
    run.strOut = ReadFileBytes(strOut);
    run.strErr = ReadFileBytes(strErr);
    return run;
}

#endif

std::string NativePath(std::string strPath) {
    std::replace(strPath.begin(), strPath.end(), '/', kPathSep);
    return strPath;
}

std::string ReadFileBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string FixturePath(const std::string& strRel) {
    return JoinPath(TAVREL_FIXTURE_DIR, strRel);
}

std::string RealWorldDir() {
    const std::string strDir = TAVREL_REAL_WORLD_DIR;
    return std::filesystem::is_directory(strDir) ? strDir : std::string();
}

std::vector<std::string> DescribeRecords(const CTVLDlgBase& view) {
    std::unordered_map<const CBookmark*, int> index;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        index.emplace(view.BookmarkAt(i), i);
    }
    std::vector<std::string> lines;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        std::string s;
        for (const std::string& strPart :
             {std::to_string(p->m_nFlags), p->m_strName.str(), p->m_strURL.str(),
              std::to_string(p->m_tAdded), std::to_string(p->m_tVisited),
              std::to_string(p->m_tModified),
              p->m_pFolder != nullptr ? std::to_string(index.at(p->m_pFolder)) : "-"}) {
            s += strPart;
            s += '|';
        }
        if (const CNetscapeExtra* pExtra = p->NSCopy() == nullptr ? p->NSExtra() : nullptr) {
            for (const std::string_view strPart :
                 {pExtra->strAttributes.view(), std::string_view(pExtra->bDescription ? "D" : "-"),
                  pExtra->strDescription.view(), std::string_view(pExtra->bNoDate ? "N" : "-"),
                  pExtra->strHtmlName.view(), pExtra->strHtmlURL.view()}) {
                s += strPart;
                s += '|';
            }
        }
        lines.push_back(s);
    }
    return lines;
}
