#include <gtest/gtest.h>

#include <regex>

#include "discovery/CommandLine.h"
#include "discovery/Profiles.h"
#include "tests/TestSupport.h"

TEST(CommandLine, FindsSwitchesAsTheWindowsProgramDid) {
    struct {
        std::vector<const char*> args;
        const char* pszName;
        bool bFound;
        const char* pszValue;
    } const cases[] = {
        {{"p", "-NS", "a.htm"}, "NS", true, "a.htm"},
        {{"p", "/ns", "a.htm"}, "NS", true, "a.htm"},
        {{"p", "-Log"}, "log", true, "kept"},  // last argument: value unchanged
        {{"p", "--log", "x"}, "log", false, ""},
        {{"p", "-NS", "first", "-NS", "second"}, "NS", true, "first"},
        {{"p", "-NS", "-log"}, "NS", true, "-log"},
        {{"p"}, "NS", false, ""},
        {{"p", "NS", "x"}, "NS", false, ""},
    };
    for (const auto& c : cases) {
        SetProcessArguments(static_cast<int>(c.args.size()), c.args.data());
        std::string strValue = "kept";
        EXPECT_EQ(GetCommandLineOption(c.pszName, strValue, nullptr), c.bFound)
            << c.args[1 % c.args.size()];
        EXPECT_EQ(strValue, c.pszValue);
    }
    SetProcessArguments(0, nullptr);
}

// The store discovery tests read their registry from text, through the
// registry file that stands in for the system's registry on Linux.
#ifndef _WIN32

namespace {

// A view whose profile choice answers as a scripted user would.
class CDiscoveryView : public CTestView {
public:
    int m_nAnswer = 0;  // -1 cancels
    std::vector<std::vector<std::string>> m_asked;
    bool ChooseProfile(const std::vector<std::string>& users, int& nChosen) override {
        m_asked.push_back(users);
        nChosen = m_nAnswer;
        return m_nAnswer >= 0;
    }
};

// The registry text is version 5; every "\" in a key is written once and
// doubled here for the string values.
class DiscoveryTest : public testing::Test {
protected:
    CCurrentDirGuard m_cwd;
    CTempDir m_dir;
    CFileRegistry m_registry;
    CDiscoveryView m_view;
    // No bookmark file of this machine's user is found.
    CEnvironmentGuard m_env{{"HOME"}};
    void SetUp() override { setenv("HOME", (m_dir / "home").c_str(), 1); }

    void Load(const std::string& strBody) {
        m_registry.LoadText("Windows Registry Editor Version 5.00\n\n" + strBody, "test.reg");
    }
    static std::string Quoted(const std::string& str) {
        std::string strOut = "\"";
        for (char c : str) {
            strOut += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
        }
        return strOut + "\"";
    }
    // A Communicator profile with a bookmark file.
    std::string Profile(const std::string& strUser, bool bWithFile = true) {
        const std::string strDir = m_dir / ("profiles/" + strUser);
        std::filesystem::create_directories(strDir);
        if (bWithFile) {
            m_dir.Write("profiles/" + strUser + "/BOOKMARK.HTM", "<H1>x</H1>\n");
        }
        return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\" + strUser +
               "]\n\"DirRoot\"=" + Quoted(strDir) + "\n";
    }
    std::string Log() const { return ReadFileBytes("TVL.LOG"); }
};

constexpr const char* kShellFolders =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n";
constexpr const char* kUserShellFolders =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
    "User Shell Folders]\n";
constexpr const char* kBookmarkList =
    "[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Bookmark List]\n";

}  // namespace

TEST_F(DiscoveryTest, FindsTheFavoritesAndLogsEveryProbe) {
    setenv("TAVREL_FAV_DIR", m_dir.Path().c_str(), 1);
    std::filesystem::create_directories(m_dir / "Fav");
    // The expandable entry is written as UTF-16LE hex: "%TAVREL_FAV_DIR%/Fav/".
    std::string strHex;
    for (char c : std::string("%TAVREL_FAV_DIR%/Fav/")) {
        strHex += (strHex.empty() ? "" : ",") + std::string(1, "0123456789abcdef"[c >> 4]) +
                  "0123456789abcdef"[c & 15] + ",00";
    }
    Load(std::string(kUserShellFolders) + "\"Favorites\"=hex(2):" + strHex + ",00,00\n");
    m_view.m_bLog = true;
    m_view.DetectStores(m_registry);

    EXPECT_TRUE(m_view.m_bMSIE);
    EXPECT_EQ(m_view.m_strFavorites, m_dir / "Fav");
    EXPECT_FALSE(m_view.m_bNetscape);
    EXPECT_FALSE(m_view.m_bNSRegistry);
    const std::string strLog = Log();
    ASSERT_GT(strLog.size(), 49u);
    EXPECT_TRUE(std::regex_match(strLog.substr(0, 49),
                                 std::regex("-{29} \\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n")))
        << strLog;
    EXPECT_EQ(
        strLog.substr(49),
        "MSIE 1. <Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders> "
        "<Favorites> <%TAVREL_FAV_DIR%/Fav/>\r\n"
        "MSIE Path <" +
            (m_dir / "Fav") +
            ">\r\n"
            "Detecting Netscape bookmarks\r\n"
            "Maybe it is NSC 4.5+ \r\n"
            "Netscape - Using path <>\r\n");

    // Every run appends a block of its own.
    m_view.DetectStores(m_registry);
    EXPECT_EQ(Log().size(), 2 * strLog.size());
}

TEST_F(DiscoveryTest, FallsBackToShellFoldersAndRejectsWhatIsNoDirectory) {
    m_dir.Write("file", "");
    Load(std::string(kUserShellFolders) + "\"Other\"=\"x\"\n" + kShellFolders +
         "\"Favorites\"=" + Quoted(m_dir / "file") + "\n");
    m_view.m_bLog = true;
    m_view.m_bMSIE = true;
    m_view.m_strFavorites = "old";
    m_view.DetectStores(m_registry);
    EXPECT_FALSE(m_view.m_bMSIE);
    EXPECT_EQ(m_view.m_strFavorites, "");
    const std::string strLog = Log();
    EXPECT_NE(strLog.find("> <Favorites> <>\r\nMSIE 2. <Software\\Microsoft\\Windows\\"
                          "CurrentVersion\\Explorer\\Shell Folders> <Favorites> <" +
                          (m_dir / "file") + ">\r\nMSIE Path <>\r\n"),
              std::string::npos)
        << strLog;
}

TEST_F(DiscoveryTest, TheNSOptionWinsAndNoNetscapeKeyIsRead) {
    Load(std::string(kBookmarkList) + "\"File Location\"=\"/reg/bookmark.htm\"\n" +
         Profile("alice"));
    m_view.m_strNSOption = "/opt/my.htm";
    m_view.m_bLog = true;
    m_view.DetectStores(m_registry);
    EXPECT_TRUE(m_view.m_bNetscape);
    EXPECT_FALSE(m_view.m_bNSRegistry);
    EXPECT_EQ(m_view.m_strNSFile, "/opt/my.htm");
    EXPECT_TRUE(m_view.m_asked.empty());
    const std::string strLog = Log();
    EXPECT_NE(
        strLog.find("Detecting Netscape bookmarks\r\nNetscape - Using path </opt/my.htm>\r\n"),
        std::string::npos)
        << strLog;
}

TEST_F(DiscoveryTest, AChosenProfileWinsOverTheFileLocation) {
    Load(std::string(kBookmarkList) + "\"File Location\"=\"/reg/bookmark.htm\"\n" + Profile("zoe") +
         Profile("Bob") + Profile("nobody", false));
    m_view.m_nAnswer = 1;
    m_view.m_bLog = true;
    m_view.DetectStores(m_registry);
    ASSERT_EQ(m_view.m_asked.size(), 1u);
    EXPECT_EQ(m_view.m_asked[0], (std::vector<std::string>{"Bob", "zoe"}));
    EXPECT_TRUE(m_view.m_bNSRegistry);
    EXPECT_TRUE(m_view.m_bNetscape);
    EXPECT_EQ(m_view.m_strNSFile, m_dir / "profiles/zoe/BOOKMARK.HTM");
    EXPECT_EQ(m_view.m_strNSProfileFile, m_view.m_strNSFile);
    EXPECT_NE(Log().find("Netscape 1. <Software\\Netscape\\Netscape Navigator\\Bookmark List> "
                         "<File Location> </reg/bookmark.htm>\r\nCommunicator present \r\n"),
              std::string::npos);
}

TEST_F(DiscoveryTest, CancellingTheChoiceKeepsTheEarlierProfileFile) {
    Load(Profile("a") + Profile("b"));
    m_view.m_nAnswer = -1;
    m_view.DetectStores(m_registry);
    EXPECT_TRUE(m_view.m_bNetscape);
    EXPECT_EQ(m_view.m_strNSFile, "");

    m_view.m_strNSProfileFile = "/earlier/BOOKMARK.HTM";
    m_view.DetectStores(m_registry);
    EXPECT_EQ(m_view.m_strNSFile, "/earlier/BOOKMARK.HTM");
}

TEST_F(DiscoveryTest, OneUsableProfileIsTakenWithoutAsking) {
    CFailingFileSystem fileSystem;
    fileSystem.m_failPaths.insert(m_dir / "profiles/locked/BOOKMARK.HTM");
    m_view.m_pFileSystem = &fileSystem;
    Load(Profile("locked") + Profile("only") + Profile("nofile", false));
    m_view.DetectStores(m_registry);
    EXPECT_TRUE(m_view.m_asked.empty());
    EXPECT_EQ(m_view.m_strNSFile, m_dir / "profiles/only/BOOKMARK.HTM");

    CDiscoveryView none;
    none.m_pFileSystem = &fileSystem;
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\n" + Profile("locked"), "t");
    none.m_strNSFile = "/kept.htm";
    none.DetectStores(registry);
    EXPECT_FALSE(none.m_bNetscape);
    EXPECT_EQ(none.m_strNSFile, "/kept.htm");
}

TEST_F(DiscoveryTest, ProfileDirectoriesAreExpandedAndJoinedOnce) {
    setenv("TAVREL_PROFILES", (m_dir / "profiles").c_str(), 1);
    Profile("exp");
    Load(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\exp]\n"
        "\"DirRoot\"=hex(2):25,00,54,00,41,00,56,00,52,00,45,00,4c,00,5f,00,50,00,52,00,4f,00,"
        "46,00,49,00,4c,00,45,00,53,00,25,00,2f,00,65,00,78,00,70,00,2f,00,00,00\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\num]\n"
        "\"DirRoot\"=dword:00000001\n");
    std::string strDir = "unchanged";
    EXPECT_FALSE(GetProfileDirRoot(m_registry, "num", strDir));
    EXPECT_EQ(strDir, "unchanged");
    ASSERT_TRUE(GetProfileDirRoot(m_registry, "exp", strDir));
    EXPECT_EQ(strDir, m_dir / "profiles/exp/");
    EXPECT_EQ(ProfileBookmarkFile(strDir), m_dir / "profiles/exp/BOOKMARK.HTM");
    EXPECT_EQ(FillUserList(m_registry, GetFileSystem()), std::vector<std::string>{"exp"});
}

TEST_F(DiscoveryTest, ProbesCommunicator45WhenNothingElseIsFound) {
    const std::string strMain =
        "[HKEY_CURRENT_USER\\SOFTWARE\\Netscape\\Netscape Navigator\\Main]\n";
    const std::string strBiff =
        "[HKEY_CURRENT_USER\\SOFTWARE\\Netscape\\Netscape Navigator\\biff]\n"
        "\"CurrentUser\"=\"carol\"\n";
    Load(strMain + "\"Install Directory\"=\"/apps/Netscape/Communicator/Program\"\n" + strBiff);
    m_view.m_bLog = true;
    m_view.DetectStores(m_registry);
    EXPECT_TRUE(m_view.m_bNSRegistry);
    EXPECT_TRUE(m_view.m_bNetscape);
    EXPECT_EQ(m_view.m_strNSFile, "/apps/Netscape/Users/Program/carol/BOOKMARK.HTM");
    EXPECT_NE(Log().find("Maybe it is NSC 4.5+ \r\n"
                         "Netscape 2. <SOFTWARE\\Netscape\\Netscape Navigator\\Main> "
                         "<Install Directory> </apps/Netscape/Communicator/Program>\r\n"
                         "Netscape 3. <SOFTWARE\\Netscape\\Netscape Navigator\\biff> "
                         "<CurrentUser> <carol>\r\n"
                         "Netscape - found path </apps/Netscape/Users/Program/carol/BOOKMARK.HTM>"
                         "\r\n"),
              std::string::npos)
        << Log();

    CDiscoveryView noInstall;
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\n" + strMain + strBiff, "t");
    noInstall.DetectStores(registry);
    EXPECT_EQ(noInstall.m_strNSFile, "/carol/BOOKMARK.HTM");

    CDiscoveryView noBiff;
    CFileRegistry onlyMain;
    onlyMain.LoadText("REGEDIT4\n" + strMain + "\"Install Directory\"=\"/apps\"\n", "t");
    noBiff.m_strNSFile = "/before.htm";
    noBiff.DetectStores(onlyMain);
    EXPECT_TRUE(noBiff.m_bNSRegistry);
    EXPECT_FALSE(noBiff.m_bNetscape);
    EXPECT_EQ(noBiff.m_strNSFile, "/before.htm");
}

TEST_F(DiscoveryTest, AnUnopenableLogDisablesLoggingOnly) {
    std::filesystem::create_directory("TVL.LOG");
    Load(Profile("solo"));
    m_view.m_bLog = true;
    m_view.DetectStores(m_registry);
    EXPECT_EQ(g_pLogFile, nullptr);
    EXPECT_EQ(m_view.m_strNSFile, m_dir / "profiles/solo/BOOKMARK.HTM");
}

// After the switch and the registry: the store chosen from the menu, then the
// places where Netscape-format files live on Linux, each logged when used.
TEST_F(DiscoveryTest, ChosenStoresAndHomeFilesComeAfterTheRegistry) {
    std::filesystem::create_directories(m_dir / "Fav");
    std::filesystem::create_directories(m_dir / "Chosen");
    m_dir.Write("chosen.htm", "<H1>x</H1>\n");
    m_dir.Write("registry.htm", "<H1>x</H1>\n");
    m_view.m_bLog = true;
    const struct {
        bool bRegistry, bWins, bChosenThere;
        const char* pszHomeFile;  // below home/, or null
        std::string strFavorites, strNSFile, strLog;
    } cases[] = {
        // The registry wins over what was chosen at an earlier start.
        {true, false, true, nullptr, m_dir / "Fav", m_dir / "registry.htm", ""},
        // Chosen in this run: it wins over the registry.
        {true, true, true, nullptr, m_dir / "Chosen", m_dir / "chosen.htm",
         "MSIE chosen <" + m_dir / "Chosen" + ">\r\n"},
        {false, false, true, ".netscape/bookmarks.html", m_dir / "Chosen", m_dir / "chosen.htm",
         "MSIE chosen <" + m_dir / "Chosen" + ">\r\n"},
        // A chosen store that has vanished is logged and passed over.
        {false, false, false, ".netscape/bookmarks.html", "",
         m_dir / "home/.netscape/bookmarks.html",
         "MSIE chosen <" + m_dir / "Gone" + "> is gone\r\n"},
        {false, false, false, ".mozilla/default/ab12.slt/bookmarks.html", "",
         m_dir / "home/.mozilla/default/ab12.slt/bookmarks.html", ""},
        {false, false, false, ".mozilla/seamonkey/x.default/bookmarks.html", "",
         m_dir / "home/.mozilla/seamonkey/x.default/bookmarks.html", ""},
        {false, false, false, nullptr, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strNSFile + (c.bWins ? " wins" : ""));
        std::filesystem::remove_all(m_dir / "home");
        std::filesystem::remove("TVL.LOG");
        if (c.pszHomeFile != nullptr) {
            m_dir.Write(std::string("home/") + c.pszHomeFile, "<H1>x</H1>\n");
        }
        // A registry of its own: loading adds to what a registry holds.
        CFileRegistry registry;
        registry.LoadText(
            "Windows Registry Editor Version 5.00\n\n" +
                (c.bRegistry ? std::string(kShellFolders) +
                                   "\"Favorites\"=" + Quoted(m_dir / "Fav") + "\n" + kBookmarkList +
                                   "\"File Location\"=" + Quoted(m_dir / "registry.htm") + "\n"
                             : std::string()),
            "test.reg");
        m_view.m_strChosenFavorites = c.bChosenThere ? m_dir / "Chosen" : m_dir / "Gone";
        m_view.m_strChosenNSFile = c.bChosenThere ? m_dir / "chosen.htm" : m_dir / "gone.htm";
        m_view.m_bChosenFavoritesWin = m_view.m_bChosenNSWins = c.bWins;
        m_view.m_strNSFile.clear();
        m_view.DetectStores(registry);
        EXPECT_EQ(m_view.m_bMSIE, !c.strFavorites.empty());
        EXPECT_EQ(m_view.m_strFavorites, c.strFavorites);
        EXPECT_EQ(m_view.m_strNSFile, c.strNSFile);
        const std::string strLog = Log();
        if (!c.strLog.empty()) {
            EXPECT_NE(strLog.find(c.strLog), std::string::npos) << strLog;
        }
        const bool bChosenNS = c.strNSFile == m_dir / "chosen.htm";
        EXPECT_EQ(
            strLog.find("Netscape chosen <" + m_dir / "chosen.htm" + ">\r\n") != std::string::npos,
            bChosenNS)
            << strLog;
        if (c.pszHomeFile != nullptr && !bChosenNS) {
            EXPECT_NE(strLog.find("Netscape found <" + c.strNSFile + ">\r\n"), std::string::npos)
                << strLog;
        }
        EXPECT_NE(strLog.find("Netscape - Using path <" + c.strNSFile + ">\r\n"), std::string::npos)
            << strLog;
    }
}

#endif
