// Finding the program that opens ".htm" files through the desktop's
// mimeapps.list files and desktop entries, reading their command lines,
// opening links and starting programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

#include "TestSupport.h"
#include "platform/Shell.h"
#include "writeback/Messages.h"

namespace {

// Points the XDG directories and PATH into dir.
void UseXdgDirs(const CTempDir& dir, const char* pszDesktop = "") {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (dir / "etc").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir / "share").c_str(), 1);
    setenv("XDG_CURRENT_DESKTOP", pszDesktop, 1);
    setenv("PATH", (dir / "bin").c_str(), 1);
    dir.Write("page.HTM", "");
}

void WriteProgram(const CTempDir& dir, const std::string& strName) {
    dir.Write("bin/" + strName, "#!/bin/sh\n");
    chmod((dir / ("bin/" + strName)).c_str(), 0755);
}

void WriteEntry(const CTempDir& dir, const std::string& strRel, const std::string& strKeys) {
    dir.Write(strRel, "[Desktop Entry]\nName=Browser\n" + strKeys);
}

class ShellTest : public testing::Test {
protected:
    void SetUp() override { UseXdgDirs(m_dir); }
    void Program(const std::string& strName) { WriteProgram(m_dir, strName); }
    void Entry(const std::string& strDir, const std::string& strFile, const std::string& strExec) {
        WriteEntry(m_dir, strDir + "/applications/" + strFile, "Exec=" + strExec + "\n");
    }

    CEnvironmentGuard m_env{{"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                             "XDG_CURRENT_DESKTOP", "PATH"}};
    CTempDir m_dir;
};

TEST_F(ShellTest, TheUsersDefaultForHtmlWinsAndItsProgramIsFoundInPath) {
    Program("webby");
    Program("other");
    Entry("share", "webby.desktop", "webby --new %u");
    Entry("share", "other.desktop", "other %U");
    m_dir.Write("etc/mimeapps.list", "[Default Applications]\ntext/html=other.desktop\n");
    m_dir.Write("config/mimeapps.list",
                "[Added Associations]\ntext/html=other.desktop\n"
                "[Default Applications]\ntext/plain=other.desktop\n"
                "text/html=missing.desktop;webby.desktop;\n");
    std::string strProgram;
    EXPECT_GT(FindAssociatedProgram(m_dir / "page.HTM", strProgram), 32);
    EXPECT_EQ(strProgram, m_dir / "bin/webby");
}

// Base directories named by relative paths are not valid: they are passed
// over, even when the working directory holds what they name.
TEST_F(ShellTest, RelativeBaseDirectoriesArePassedOver) {
    const CEnvironmentGuard home({"HOME"});
    setenv("HOME", (m_dir / "home").c_str(), 1);
    const CCurrentDirGuard cwd;
    Program("webby");
    Program("other");
    Entry("share", "webby.desktop", "webby %u");
    Entry("share", "other.desktop", "other %u");
    const std::string strOther = "[Default Applications]\ntext/html=other.desktop\n";
    cwd.Dir().Write("rel/mimeapps.list", strOther);
    cwd.Dir().Write("relhome/mimeapps.list", strOther);
    m_dir.Write("etc/mimeapps.list", "[Default Applications]\ntext/html=webby.desktop\n");
    setenv("XDG_CONFIG_HOME", "relhome", 1);
    setenv("XDG_CONFIG_DIRS", ("rel:" + m_dir / "etc").c_str(), 1);
    std::string strProgram;
    EXPECT_GT(FindAssociatedProgram(m_dir / "page.HTM", strProgram), 32);
    EXPECT_EQ(strProgram, m_dir / "bin/webby");
    // Only relative ones: as if the list were not set.
    setenv("XDG_CONFIG_DIRS", "rel", 1);
    EXPECT_EQ(FindAssociatedProgram(m_dir / "page.HTM", strProgram), 31);
}

TEST_F(ShellTest, NoAssociationMissingFileOrOtherTypeFail) {
    std::string strProgram = "kept";
    EXPECT_EQ(FindAssociatedProgram(m_dir / "page.HTM", strProgram), 31);
    // An entry whose program is not installed does not count.
    Entry("data", "gone.desktop", "gone %u");
    m_dir.Write("config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop\n");
    EXPECT_EQ(FindAssociatedProgram(m_dir / "page.HTM", strProgram), 31);
    EXPECT_EQ(FindAssociatedProgram(m_dir / "absent.htm", strProgram), 2);
    m_dir.Write("notes.txt", "");
    EXPECT_EQ(FindAssociatedProgram(m_dir / "notes.txt", strProgram), 31);
    EXPECT_EQ(strProgram, "kept");
}

TEST_F(ShellTest, TheHandlerIsLookedUpInTheXdgOrder) {
    struct {
        const char* pszWhat;
        std::vector<std::pair<std::string, std::string>> files;
        const char* pszDesktop;
        std::string strExpected;  // the program found; empty for none
    } const cases[] = {
        {"the first desktop's own list wins",
         {{"config/mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n"},
          {"config/xfce-mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"},
          {"config/gnome-mimeapps.list", "[Default Applications]\ntext/html=c.desktop\n"}},
         "GNOME:XFCE",
         "c"},
        {"a desktop's list counts only for that desktop",
         {{"config/mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n"},
          {"config/kde-mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"}},
         "XFCE",
         "a"},
        {"the user's list beats the system's desktop list",
         {{"etc/xfce-mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"},
          {"config/mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n"}},
         "XFCE",
         "a"},
        {"the system's configuration beats the data directories",
         {{"data/applications/mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n"},
          {"etc/mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"}},
         "",
         "b"},
        {"unusable defaults fall through, an id with a dash finds a subdirectory",
         {{"config/mimeapps.list",
           "[Default Applications]\ntext/html=noexec.desktop;gone.desktop;broken.desktop;"
           "missing.desktop;hidden.desktop;kde-d.desktop\n"}},
         "",
         "d"},
        {"a default anywhere beats added associations",
         {{"config/mimeapps.list", "[Added Associations]\ntext/html=a.desktop\n"},
          {"share/applications/mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"}},
         "",
         "b"},
        {"added associations, in order",
         {{"etc/mimeapps.list",
           "[Added Associations]\ntext/html=gone.desktop;c.desktop;a.desktop\n"}},
         "",
         "c"},
        {"added associations of a desktop's list do not count",
         {{"config/xfce-mimeapps.list", "[Added Associations]\ntext/html=a.desktop\n"}},
         "XFCE",
         ""},
        {"removed associations hide the added ones and the cache's",
         {{"config/mimeapps.list", "[Removed Associations]\ntext/html=a.desktop;b.desktop\n"},
          {"etc/mimeapps.list", "[Added Associations]\ntext/html=a.desktop\n"},
          {"share/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=b.desktop;c.desktop;\n"}},
         "",
         "c"},
        {"the cache alone",
         {{"share/applications/mimeinfo.cache",
           "[MIME Cache]\ntext/plain=b.desktop\n"
           "text/html=a.desktop;\n"}},
         "",
         "a"},
        {"a mimeapps.list that is a directory is passed over",
         {{"config/mimeapps.list/x", ""},
          {"etc/mimeapps.list", "[Default Applications]\ntext/html=b.desktop\n"}},
         "",
         "b"},
    };
    for (const auto& c : cases) {
        CTempDir dir;
        UseXdgDirs(dir, c.pszDesktop);
        for (const char* pszName : {"a", "b", "c", "d"}) {
            WriteProgram(dir, pszName);
        }
        for (const char* pszName : {"a", "b", "c"}) {
            WriteEntry(dir, "share/applications/" + std::string(pszName) + ".desktop",
                       "Exec=" + std::string(pszName) + " %u\n");
        }
        WriteEntry(dir, "share/applications/kde/d.desktop", "Exec=d\n");
        WriteEntry(dir, "share/applications/noexec.desktop", "Icon=x\n");
        WriteEntry(dir, "share/applications/gone.desktop", "Exec=gone %u\n");
        WriteEntry(dir, "share/applications/broken.desktop", "Exec=a \"%u\n");
        WriteEntry(dir, "share/applications/hidden.desktop", "Exec=a %u\nHidden=true\n");
        // An entry found earlier hides the one of the same id further on.
        WriteEntry(dir, "data/applications/c.desktop", "Exec=c --first %u\n");
        for (const auto& [strRel, strText] : c.files) {
            dir.Write(strRel, strText);
        }
        std::string strProgram;
        CExecCommand command;
        const int nCode = FindAssociatedProgram(dir / "page.HTM", strProgram, command);
        if (c.strExpected.empty()) {
            EXPECT_EQ(nCode, 31) << c.pszWhat;
            continue;
        }
        EXPECT_GT(nCode, 32) << c.pszWhat;
        EXPECT_EQ(strProgram, dir / ("bin/" + c.strExpected)) << c.pszWhat;
        const std::vector<std::string> argv = ExecArgv(command, "u");
        EXPECT_EQ(argv.front(), c.strExpected) << c.pszWhat;
        EXPECT_EQ(argv.size() == 3, c.strExpected == "c") << c.pszWhat;  // "--first"
    }
}

TEST(ExecCommand, QuotingFieldCodesAndEnvAreReadAsDesktopEntriesMean) {
    const std::string strURL = "https://a.example/x y?%u=%%";
    using Args = std::vector<std::string>;
    struct {
        std::string strExec;
        Args env;
        Args argv;  // for strURL
    } const cases[] = {
        {"webby --new %u", {}, {"webby", "--new", strURL}},
        {"  \"/opt/my browser/run\"\t--x %U", {}, {"/opt/my browser/run", "--x", strURL}},
        // The string escapes come first: "\\" leaves a backslash for the quoting.
        {R"(p "a \\"q\\" \\`b\\` \\$c \\\\ d \"e\" \x")",
         {},
         {"p", R"(a "q" `b` $c \ d "e" \x)", strURL}},
        {R"(p\s--a "x\sy"\t%f)", {}, {"p", "--a", "x y", strURL}},
        {R"(p --name="a b"c "" 'sh $1' x\ y)",
         {},
         {"p", "--name=a bc", "", "sh $1", "x y", strURL}},
        {"p --url=%u --pct=100%% %c %k %i",
         {},
         {"p", "--url=" + strURL, "--pct=100%", "Web", "/apps/web.desktop", "--icon", "web-icon"}},
        {"p %d %D %n %N %v %m x%dy %F %u", {}, {"p", "xy", strURL}},
        {"p --flag", {}, {"p", "--flag", strURL}},
        {"env MOZ_ENABLE_WAYLAND=1 A=\"b c\" firefox %u",
         {"MOZ_ENABLE_WAYLAND=1", "A=b c"},
         {"firefox", strURL}},
        {"env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/firefox_firefox.desktop "
         "/snap/bin/firefox %u",
         {"BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/firefox_firefox.desktop"},
         {"/snap/bin/firefox", strURL}},
        // env with options of its own does the work itself.
        {"env -u X p %u", {}, {"env", "-u", "X", "p", strURL}},
        // flatpak reads its own markers.
        {"/usr/bin/flatpak run --branch=stable --arch=x86_64 --command=firefox --file-forwarding "
         "org.mozilla.firefox @@u %u @@",
         {},
         {"/usr/bin/flatpak", "run", "--branch=stable", "--arch=x86_64", "--command=firefox",
          "--file-forwarding", "org.mozilla.firefox", "@@u", strURL, "@@"}},
    };
    for (const auto& c : cases) {
        CExecCommand command;
        ASSERT_TRUE(ParseExec(c.strExec, command)) << c.strExec;
        command.strName = "Web";
        command.strIcon = "web-icon";
        command.strEntryPath = "/apps/web.desktop";
        EXPECT_EQ(command.env, c.env) << c.strExec;
        EXPECT_EQ(ExecArgv(command, strURL), c.argv) << c.strExec;
    }
    // Without an icon %i is no argument at all.
    CExecCommand command;
    ASSERT_TRUE(ParseExec("p %i %u", command));
    EXPECT_EQ(ExecArgv(command, strURL), (Args{"p", strURL}));

    for (const char* pszBroken : {"p \"unterminated %u", "p 'x", "p %x", "p --a=%U", "p x%i", "",
                                  "   ", "\"\" %u", "env A=1", "p \\"}) {
        CExecCommand kept;
        kept.argv = {"kept"};
        EXPECT_FALSE(ParseExec(pszBroken, kept)) << pszBroken;
        EXPECT_EQ(kept.argv, Args{"kept"}) << pszBroken;
    }
}

// A stand-in xdg-open that writes its arguments, one per line, and ends with
// the given status.
void StandInOpener(const CTempDir& dir, int nStatus) {
    dir.Write("bin/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                  dir / "args" + "\"\nexit " + std::to_string(nStatus) + "\n");
    chmod((dir / "bin/xdg-open").c_str(), 0755);
}

// Opens and waits for the answer, which must come from another thread.
int OpenAndWait(const std::string& strURL) {
    const auto pAnswer = std::make_shared<std::promise<int>>();
    const std::thread::id caller = std::this_thread::get_id();
    ShellOpenAsync(strURL, [pAnswer, caller](int nCode) {
        pAnswer->set_value(std::this_thread::get_id() != caller ? nCode : -1);
    });
    std::future<int> future = pAnswer->get_future();
    return future.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? future.get()
                                                                                  : -2;
}

TEST_F(ShellTest, OpeningPassesTheLinkAsOneArgumentAndMapsFailures) {
    EXPECT_EQ(OpenAndWait("https://example.com/"), 31);  // no xdg-open at all
    const std::string strURL = "https://example.com/a b?q='x'&r=\"$(y)\";";
    StandInOpener(m_dir, 0);
    EXPECT_GT(OpenAndWait(strURL), 32);
    EXPECT_EQ(ReadFileBytes(m_dir / "args"), strURL + "\n");
    for (const auto& [nStatus, nCode] : {std::pair{1, 2}, {2, 2}, {3, 31}, {4, 1}, {9, 1}}) {
        StandInOpener(m_dir, nStatus);
        EXPECT_EQ(OpenAndWait(strURL), nCode) << nStatus;
    }
}

TEST_F(ShellTest, AStartedProgramGetsExactlyItsArgumentsAndEnvironment) {
    m_dir.Write("bin/browser",
                "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" \"$TAVREL_X\" \"$PATH\" > \"" +
                    m_dir / "args.tmp" + "\"\n/bin/mv \"" + m_dir / "args.tmp" + "\" \"" +
                    m_dir / "args" + "\"\n");
    chmod((m_dir / "bin/browser").c_str(), 0755);
    const std::string strProgram = m_dir / "bin/browser";
    ASSERT_TRUE(
        SpawnProgram(strProgram, {strProgram, "a \"quoted\" url"}, {"TAVREL_X=x y", "PATH=/p"}));
    for (int i = 0; i < 500 && !std::filesystem::exists(m_dir / "args"); ++i) {
        usleep(10000);
    }
    EXPECT_EQ(ReadFileBytes(m_dir / "args"), strProgram + "|a \"quoted\" url|x y|/p|");
    EXPECT_FALSE(SpawnProgram(m_dir / "bin/none", {"none"}));
}

}  // namespace

namespace {

TEST(OpenFailureMessage, NamesTheLinkTheCodeAndItsReason) {
    EXPECT_EQ(OpenFailureMessage("http://a/", 2),
              "The link 'http://a/' cannot be shown, error code = 2. The specified file was not "
              "found.");
    // Its reason ends in a full stop already.
    const std::string strTimeout = OpenFailureMessage("x", 28);
    EXPECT_EQ(strTimeout.substr(strTimeout.size() - 11), "timed out..");
    for (unsigned nCode : {1u, 11u, 32u}) {
        EXPECT_EQ(OpenFailureMessage("x", nCode),
                  "The link 'x' cannot be shown, error code = " + std::to_string(nCode) +
                      ". Without explanation.");
    }
    const std::string strLong(10000, 'u');
    EXPECT_NE(OpenFailureMessage(strLong, 31).find(strLong), std::string::npos);
}

TEST(MenuLabel, IsThePromptBeforeTheFirstLineFeed) {
    EXPECT_EQ(MenuLabel("Remove bookmarks\nRemove"), "Remove bookmarks");
    EXPECT_EQ(MenuLabel("Open"), "Open");
    EXPECT_EQ(MenuLabel(std::string(300, 'a').c_str()), std::string(256, 'a'));
}

}  // namespace
