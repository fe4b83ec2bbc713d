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
                                      std::uint64_t nMaxSize) {
    return m_failPaths.count(strPath) == 0 &&
           GetPosixFileSystem().OpenTextFile(strPath, reader, nMaxSize);
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

CRun RunCli(const CTempDir& dir, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argStrings = {TAVREL_CLI};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    // getenv finds the first entry of a name, so these come before the inherited ones.
    std::vector<std::string> envStrings = {"TZ=UTC", "HOME=" + dir / "home",
                                           "XDG_CONFIG_HOME=" + dir / "config",
                                           "TAVREL_REGISTRY=" + dir / "registry.reg"};
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

    const std::string strOut = dir / "stdout.txt";
    const std::string strErr = dir / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    CRun run;
    pid_t pid = 0;
    int nWait = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
        waitpid(pid, &nWait, 0) == pid && WIFEXITED(nWait)) {
        run.nStatus = WEXITSTATUS(nWait);
    }
    posix_spawn_file_actions_destroy(&actions);
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
