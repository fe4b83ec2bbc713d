#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/Registry.h"
#include "tests/TestSupport.h"

namespace {

// The value of one key, or a type of REG_NONE when it cannot be read.
CRegValue Query(CRegistry& registry, HKEY hRoot, const char* pszKey, const char* pszName) {
    CRegValue value;
    const HKEY hKey = registry.OpenKey(hRoot, pszKey, KEY_QUERY_VALUE);
    if (hKey != 0) {
        registry.QueryValue(hKey, pszName, value);
        registry.CloseKey(hKey);
    }
    return value;
}

std::vector<std::string> Subkeys(CRegistry& registry, HKEY hRoot, const char* pszKey) {
    std::vector<std::string> names;
    const HKEY hKey = registry.OpenKey(hRoot, pszKey, KEY_ENUMERATE_SUB_KEYS);
    std::string strName;
    for (std::uint32_t i = 0; hKey != 0 && registry.EnumKey(hKey, i, strName); ++i) {
        names.push_back(strName);
    }
    registry.CloseKey(hKey);
    return names;
}

std::string Utf16Le(const std::string& strAscii) {
    std::string str = "\xFF\xFE";
    for (char c : strAscii) {
        str += c;
        str += '\0';
    }
    return str;
}

constexpr const char* kVersion5 =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
    "\"Plain\"=\"C:\\\\Program Files\\\\\\\"Quoted\\\"\"\r\n"
    "@=\"the default\"\r\n"
    "\"Count\"=dword:0000012c\r\n"
    "; %HOME%/x as UTF-16LE, over two lines\r\n"
    "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,\\\r\n"
    "  00,78,00,00,00\r\n"
    "\"Blob\"=hex:01,ff\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Users\\zeta]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Users\\Alpha]\r\n"
    "[hkey_current_user\\SOFTWARE\\test]\r\n"
    "\"Later\"=\"merged\"\r\n"
    "\"plain\"=\"replaced\"\r\n";

}  // namespace

TEST(RegistryFile, ReadsEveryValueKindOfTheVersion5Format) {
    CFileRegistry registry;
    registry.LoadText(kVersion5, "test.reg");
    const char* pszKey = "Software\\Test";
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Blob").strData, "\x01\xff");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Blob").nType, REG_BINARY);
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "").strData, "the default");
    const CRegValue count = Query(registry, HKEY_CURRENT_USER, pszKey, "COUNT");
    EXPECT_EQ(count.nType, REG_DWORD);
    EXPECT_EQ(count.strData, std::string("\x2c\x01\0\0", 4));
    const CRegValue expand = Query(registry, HKEY_CURRENT_USER, pszKey, "Expand");
    EXPECT_EQ(expand.nType, REG_EXPAND_SZ);
    EXPECT_EQ(expand.strData, "%HOME%/x");
    // A later section of the same key, in other letter case, merges into it.
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Later").strData, "merged");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Plain").strData, "replaced");
    EXPECT_EQ(Subkeys(registry, HKEY_LOCAL_MACHINE, "software\\USERS"),
              (std::vector<std::string>{"zeta", "Alpha"}));
    EXPECT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Test", KEY_QUERY_VALUE), 0u);
}

TEST(RegistryFile, UnescapesStrings) {
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"C:\\\\Dir\\\\\\\"x\\\"\"\n", "t");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "A").strData, "C:\\Dir\\\"x\"");
}

TEST(RegistryFile, ReadsSingleByteExpandableStringsOfRegedit4) {
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"E\"=hex(2):25,41,25,00\r\n",
                      "t");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "E").strData, "%A%");
}

TEST(RegistryFile, LoadsAFileWrittenByTheRegistryEditorInUtf16) {
    CTempDir dir;
    dir.Write("r.reg", Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Shell Folders]\r\n"
                               "\"Favorites\"=\"C:\\\\Fav\"\r\n"));
    CFileRegistry registry;
    registry.LoadFile(dir / "r.reg");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "Software\\Shell Folders", "favorites").strData,
              "C:\\Fav");
}

TEST(RegistryFile, SkipsMalformedLinesWithAWarningAndKeepsTheRest) {
    CFileRegistry registry;
    testing::internal::CaptureStderr();
    registry.LoadText(
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"one\"\n\"B\"=nonsense\n\"C=\"x\"\n"
        "\"D\"=dword:12345678\n[HKEY_CLASSES_ROOT\\Other]\n\"E\"=\"e\"\n",
        "bad.reg");
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_NE(strErr.find("bad.reg:4:"), std::string::npos) << strErr;
    EXPECT_NE(strErr.find("bad.reg:5:"), std::string::npos) << strErr;
    EXPECT_NE(strErr.find("bad.reg:7:"), std::string::npos) << strErr;
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "A").strData, "one");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "D").nType, REG_DWORD);
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "E").nType, REG_NONE);
}

TEST(RegistryFile, AMissingFileIsAnEmptyRegistry) {
    CTempDir dir;
    CFileRegistry registry;
    registry.LoadFile(dir / "absent.reg");
    EXPECT_EQ(registry.OpenKey(HKEY_CURRENT_USER, "Software", KEY_QUERY_VALUE), 0u);
    EXPECT_NE(registry.OpenKey(HKEY_CURRENT_USER, "", KEY_QUERY_VALUE), 0u);
}

TEST(RegistryFile, IsFoundThroughTheEnvironment) {
    const CEnvironmentGuard guard({"TAVREL_REGISTRY", "XDG_CONFIG_HOME", "HOME"});
    setenv("TAVREL_REGISTRY", "/r/one.reg", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(RegistryFilePath(), "/r/one.reg");
    unsetenv("TAVREL_REGISTRY");
    EXPECT_EQ(RegistryFilePath(), "/cfg/tavrel/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryFilePath(), "/home/u/.config/tavrel/registry.reg");
    // A relative base directory is not valid: the default takes its place.
    setenv("XDG_CONFIG_HOME", "cfg", 1);
    EXPECT_EQ(RegistryFilePath(), "/home/u/.config/tavrel/registry.reg");
}

TEST(RegistryFile, ExpandsKnownEnvironmentReferencesOnly) {
    setenv("TAVREL_X", "ex", 1);
    unsetenv("TAVREL_UNSET");
    const std::pair<const char*, const char*> cases[] = {
        {"%TAVREL_X%/a", "ex/a"},
        {"a%TAVREL_UNSET%b", "a%TAVREL_UNSET%b"},
        {"%TAVREL_X%%TAVREL_X%", "exex"},
        {"50%", "50%"},
        {"%%", "%%"},
        {"%TAVREL_UNSET%TAVREL_X%", "%TAVREL_UNSET%TAVREL_X%"},
    };
    for (const auto& [pszIn, pszOut] : cases) {
        EXPECT_EQ(ExpandEnvironmentStrings(pszIn), pszOut) << pszIn;
    }
}

// The file itself: only a regular file of at most kMaxRegistryFileSize is read,
// without blocking, and a refused one is an empty registry with one warning.
namespace {

// The warnings of one LoadFile, caught in a temporary file.
std::string LoadFileWarnings(CFileRegistry& registry, const std::string& strPath) {
    std::FILE* pFile = std::tmpfile();
    if (pFile == nullptr) {
        ADD_FAILURE() << "tmpfile: " << std::strerror(errno);
        return "";
    }
    registry.m_pWarnings = pFile;
    registry.LoadFile(strPath);
    registry.m_pWarnings = nullptr;
    std::rewind(pFile);
    std::string strWarnings;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pFile)) > 0;) {
        strWarnings.append(buffer, n);
    }
    std::fclose(pFile);
    return strWarnings;
}

bool IsEmpty(CRegistry& registry) {
    std::string strName;
    return !registry.EnumKey(HKEY_CURRENT_USER, 0, strName) &&
           !registry.EnumKey(HKEY_LOCAL_MACHINE, 0, strName);
}

std::string Refusal(const std::string& strPath, const char* pszWhy) {
    return "tavrel: " + strPath + ": " + pszWhy + "; it is not read\n";
}

struct CGuardedLoad {
    bool bFinished = false;  // in time, and the child exited normally
    bool bEmpty = false;
    std::string strWarnings;
};

// LoadFile in a child process that is killed when it has not finished after
// nSeconds: a load that blocks, or dies for want of memory, fails the test
// instead of hanging or ending the test program.
CGuardedLoad LoadFileInChild(const std::string& strPath, int nSeconds = 10) {
    CGuardedLoad load;
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return load;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return load;
    }
    if (pid == 0) {
        close(fds[0]);
        CFileRegistry registry;
        const std::string strWarnings = LoadFileWarnings(registry, strPath);
        const std::string strReport = (IsEmpty(registry) ? "E" : "F") + strWarnings;
        const bool bWritten = write(fds[1], strReport.data(), strReport.size()) ==
                              static_cast<ssize_t>(strReport.size());
        _exit(bWritten ? 0 : 1);  // no destructors: the temporary folder is the parent's
    }
    close(fds[1]);
    std::string strOut;
    bool bEnd = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!bEnd) {
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                               deadline - std::chrono::steady_clock::now())
                               .count();
        pollfd poller{fds[0], POLLIN, 0};
        const int nReady = nLeft > 0 ? poll(&poller, 1, static_cast<int>(nLeft)) : 0;
        if (nReady < 0 && errno == EINTR) {
            continue;
        }
        if (nReady <= 0) {
            break;
        }
        char buffer[512];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bEnd = true;
        } else {
            strOut.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fds[0]);
    if (!bEnd) {
        kill(pid, SIGKILL);
    }
    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    load.bFinished = bEnd && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
    if (!strOut.empty()) {
        load.bEmpty = strOut[0] == 'E';
        load.strWarnings = strOut.substr(1);
    }
    return load;
}

std::string Upper(std::string str) {
    for (char& c : str) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return str;
}

}  // namespace

TEST(RegistryFileLimits, AFifoIsRefusedAtOnceWithoutWaitingForAWriter) {
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    ASSERT_EQ(mkfifo(strPath.c_str(), 0600), 0) << std::strerror(errno);
    const CGuardedLoad load = LoadFileInChild(strPath);
    ASSERT_TRUE(load.bFinished) << "LoadFile blocked on the FIFO, or died";
    EXPECT_TRUE(load.bEmpty);
    EXPECT_EQ(load.strWarnings, Refusal(strPath, "not a regular file"));
}

TEST(RegistryFileLimits, AnEndlessDeviceIsRefusedUnread) {
    if (!std::filesystem::exists("/dev/zero")) {
        GTEST_SKIP() << "no /dev/zero";
    }
    const CGuardedLoad load = LoadFileInChild("/dev/zero");
    ASSERT_TRUE(load.bFinished) << "LoadFile ran on, or died, reading /dev/zero";
    EXPECT_TRUE(load.bEmpty);
    EXPECT_EQ(load.strWarnings, Refusal("/dev/zero", "not a regular file"));
}

TEST(RegistryFileLimits, ADirectoryIsRefused) {
    CTempDir dir;
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, dir.Path().string()),
              Refusal(dir.Path().string(), "not a regular file"));
    EXPECT_TRUE(IsEmpty(registry));
}

TEST(RegistryFileLimits, ASocketIsRefused) {
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (strPath.size() >= sizeof address.sun_path) {
        GTEST_SKIP() << "the temporary folder's path is too long for a socket";
    }
    std::memcpy(address.sun_path, strPath.c_str(), strPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
        << std::strerror(errno);
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, strPath), Refusal(strPath, "not a regular file"));
    EXPECT_TRUE(IsEmpty(registry));
    close(fd);
}

TEST(RegistryFileLimits, AFileLargerThanTheLimitIsRefusedUnread) {
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    dir.Write("registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"a\"\n");
    std::filesystem::resize_file(strPath, kMaxRegistryFileSize + 1);  // sparse
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, strPath), Refusal(strPath, "larger than 64 MiB"));
    EXPECT_TRUE(IsEmpty(registry));
}

TEST(RegistryFileLimits, AFileOfExactlyTheLimitIsRead) {
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    dir.Write("registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"a\"\n");
    std::filesystem::resize_file(strPath, kMaxRegistryFileSize);  // a last line of zero bytes
    CFileRegistry registry;
    const std::string strWarnings = LoadFileWarnings(registry, strPath);
    EXPECT_EQ(strWarnings.find("it is not read"), std::string::npos) << strWarnings;
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "A").strData, "a");
}

TEST(RegistryFileLimits, AFileWithoutReadPermissionIsRefused) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads the file all the same";
    }
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    dir.Write("registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n");
    ASSERT_EQ(chmod(strPath.c_str(), 0), 0) << std::strerror(errno);
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, strPath), Refusal(strPath, "cannot be read"));
    EXPECT_TRUE(IsEmpty(registry));
}

TEST(RegistryFileLimits, ALoopOfSymbolicLinksIsRefused) {
    CTempDir dir;
    const std::string strPath = dir / "registry.reg";
    std::filesystem::create_symlink(strPath, strPath);
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, strPath), Refusal(strPath, "cannot be read"));
    EXPECT_TRUE(IsEmpty(registry));
}

// /proc/self/mem is a regular file whose first page cannot be read: a read
// error after a good open and fstat.
TEST(RegistryFileLimits, AReadErrorLeavesTheRegistryEmpty) {
    const char* pszPath = "/proc/self/mem";
    const int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    char c = 0;
    const bool bFails = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                        st.st_size <= static_cast<off_t>(kMaxRegistryFileSize) &&
                        read(fd, &c, 1) < 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!bFails) {
        GTEST_SKIP() << "no regular file here whose reading fails";
    }
    CFileRegistry registry;
    EXPECT_EQ(LoadFileWarnings(registry, pszPath), Refusal(pszPath, "cannot be read"));
    EXPECT_TRUE(IsEmpty(registry));
}

TEST(RegistryFileLimits, AMissingFileIsEmptyWithoutAWarning) {
    CTempDir dir;
    dir.Write("file", "");
    for (const std::string& strPath : {dir / "absent.reg", dir / "file/registry.reg"}) {
        CFileRegistry registry;
        EXPECT_EQ(LoadFileWarnings(registry, strPath), "") << strPath;
        EXPECT_TRUE(IsEmpty(registry)) << strPath;
    }
}

// Many sibling keys: each one is found by its name in any letter case, and they
// are listed in the order they were created, which is neither sorted nor hashed.
TEST(RegistryFileLimits, FindsEachOfManySiblingKeysInAnyLetterCase) {
    constexpr std::size_t kKeys = 200'000;
    // 7919 is prime to kKeys, so the names are those of 0 to kKeys - 1, shuffled.
    auto name = [](std::size_t i) { return "Key" + std::to_string(i * 7919 % kKeys) + "x"; };
    std::string strText = "REGEDIT4\n";
    for (std::size_t i = 0; i < kKeys; ++i) {
        strText += "[HKEY_CURRENT_USER\\Parent\\" + name(i) + "]\n";
    }
    // A later section of a key in other letter case adds no key.
    strText += "[HKEY_CURRENT_USER\\PARENT\\" + Upper(name(kKeys / 2)) + "]\n\"V\"=\"merged\"\n";
    CFileRegistry registry;
    registry.LoadText(strText, "many.reg");

    const HKEY hParent = registry.OpenKey(HKEY_CURRENT_USER, "pArEnT", KEY_ENUMERATE_SUB_KEYS);
    ASSERT_NE(hParent, 0u);
    std::string strName;
    EXPECT_TRUE(registry.EnumKey(hParent, 0, strName) && strName == "Key0x") << strName;
    EXPECT_TRUE(registry.EnumKey(hParent, kKeys / 2, strName) && strName == name(kKeys / 2))
        << strName;
    EXPECT_TRUE(registry.EnumKey(hParent, kKeys - 1, strName) && strName == name(kKeys - 1))
        << strName;
    EXPECT_FALSE(registry.EnumKey(hParent, kKeys, strName)) << strName;
    for (std::size_t i = 0; i < kKeys; ++i) {
        if (!registry.EnumKey(hParent, static_cast<std::uint32_t>(i), strName) ||
            strName != name(i)) {
            ADD_FAILURE() << "key " << i << " is listed as " << strName << ", not " << name(i);
            break;
        }
    }
    for (std::size_t i = 0; i < kKeys; ++i) {
        std::string strAsked = i % 3 == 0 ? Upper(name(i)) : name(i);
        if (i % 3 == 1) {
            strAsked[0] = 'k';
            strAsked.back() = 'X';
        }
        const HKEY hKey = registry.OpenKey(hParent, strAsked, KEY_QUERY_VALUE);
        if (hKey == 0) {
            ADD_FAILURE() << strAsked << " does not open";
            break;
        }
        registry.CloseKey(hKey);
    }
    registry.CloseKey(hParent);
    EXPECT_EQ(
        Query(registry, HKEY_CURRENT_USER, ("parent\\" + name(kKeys / 2)).c_str(), "v").strData,
        "merged");
    EXPECT_EQ(registry.OpenKey(HKEY_CURRENT_USER, "Parent\\Key200000x", KEY_QUERY_VALUE), 0u);
}

// A key deeper than the registry allows, and keys beyond the cap, are skipped
// with a warning; what came before stays, and nothing overflows the stack.
TEST(RegistryFileLimits, DeepAndManyKeysAreSkipped) {
    auto path = [](std::size_t nDepth) {
        std::string str = "HKEY_CURRENT_USER";
        for (std::size_t i = 0; i < nDepth; ++i) {
            str += "\\a";
        }
        return str;
    };
    std::string strText = "REGEDIT4\n[" + path(kMaxRegistryDepth) + "]\n\"V\"=\"deepest\"\n[" +
                          path(1'000'000) + "]\n\"V\"=\"too deep\"\n";
    for (std::size_t i = kMaxRegistryDepth; i <= kMaxRegistryKeys; ++i) {
        strText += "[HKEY_CURRENT_USER\\k" + std::to_string(i) + "]\n";
    }
    char* pszWarnings = nullptr;
    std::size_t nWarnings = 0;
    std::FILE* pWarnings = open_memstream(&pszWarnings, &nWarnings);
    CFileRegistry registry;
    registry.m_pWarnings = pWarnings;
    registry.LoadText(strText, "deep.reg");
    std::fclose(pWarnings);
    const std::string strWarnings(pszWarnings, nWarnings);
    std::free(pszWarnings);
    EXPECT_EQ(strWarnings,
              "tavrel: deep.reg:4: cannot read this line; it is skipped\n"
              "tavrel: deep.reg:" +
                  std::to_string(6 + kMaxRegistryKeys - kMaxRegistryDepth) +
                  ": cannot read this line; it is skipped\n");
    EXPECT_EQ(
        Query(registry, HKEY_CURRENT_USER, path(kMaxRegistryDepth).substr(18).c_str(), "V").strData,
        "deepest");
    auto key = [](std::size_t i) { return std::string(1, 'k').append(std::to_string(i)); };
    const HKEY hLast =
        registry.OpenKey(HKEY_CURRENT_USER, key(kMaxRegistryKeys - 1), KEY_QUERY_VALUE);
    EXPECT_NE(hLast, 0u);
    registry.CloseKey(hLast);
    EXPECT_EQ(registry.OpenKey(HKEY_CURRENT_USER, key(kMaxRegistryKeys), KEY_QUERY_VALUE), 0u);
}
