#include "tests/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

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
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    m_path = strTemplate;
}

CTempDir::~CTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void CTempDir::Write(const std::string& strRel, const std::string& strBytes) const {
    const auto path = m_path / strRel;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << strBytes;
}

bool CFailingFileSystem::ListDirectory(const std::string& strDir, CDirListing& listing) {
    if (m_failPaths.count(strDir) != 0 || !GetPosixFileSystem().ListDirectory(strDir, listing)) {
        return false;
    }
    if (m_bDropTimes) {
        for (CDirEntry& entry : listing.entries) {
            entry.tCreated.reset();
            entry.tAccessed.reset();
            entry.tModified.reset();
        }
    }
    return true;
}

bool CFailingFileSystem::OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                                      std::uint64_t nMaxSize, CFileStamp* pStamp) {
    return !Fails(strPath) && GetPosixFileSystem().OpenTextFile(strPath, reader, nMaxSize, pStamp);
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
            strPath += "/" + parts[i];
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
            strPath += "/" + strPart;
        }
        return m_fs.Fails(strPath + "/" + strName);
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
    auto pInner = GetPosixFileSystem().BeginReplace(strPath);
    return pInner ? std::make_unique<CFailingReplacement>(*this, std::move(pInner)) : nullptr;
}

std::unique_ptr<CDirectoryTree> CFailingFileSystem::OpenTree(const std::string& strRoot) {
    auto pInner = Fails(strRoot) ? nullptr : GetPosixFileSystem().OpenTree(strRoot);
    return pInner ? std::make_unique<CFailingTree>(*this, strRoot, std::move(pInner)) : nullptr;
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
            setenv(strName.c_str(), value->c_str(), 1);
        } else {
            unsetenv(strName.c_str());
        }
    }
}

CCurrentDirGuard::CCurrentDirGuard() : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(m_dir.Path());
}

CCurrentDirGuard::~CCurrentDirGuard() {
    std::filesystem::current_path(m_previous);
}

extern char** environ;

namespace {

// Keeps every test away from the real home directory and registry file.
class CIsolatedEnvironment : public testing::Environment {
public:
    void SetUp() override {
        m_pHome = std::make_unique<CTempDir>();
        setenv("HOME", m_pHome->Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (*m_pHome / "config").c_str(), 1);
        setenv("TAVREL_REGISTRY", (*m_pHome / "registry.reg").c_str(), 1);
    }
    void TearDown() override { m_pHome.reset(); }

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

std::string ReadFileBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string FixturePath(const std::string& strRel) {
    return std::string(TAVREL_FIXTURE_DIR) + "/" + strRel;
}

std::string RealWorldDir() {
    const std::string strDir = TAVREL_REAL_WORLD_DIR;
    return std::filesystem::is_directory(strDir) ? strDir : std::string();
}
