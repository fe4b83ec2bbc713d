// Finding the program that opens ".htm" files through the desktop's
// mimeapps.list files and desktop entries.
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

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_dir / "etc").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        setenv("XDG_DATA_DIRS", (m_dir / "share").c_str(), 1);
        setenv("PATH", (m_dir / "bin").c_str(), 1);
        m_dir.Write("page.HTM", "");
    }
    void Program(const std::string& strName) {
        m_dir.Write("bin/" + strName, "#!/bin/sh\n");
        chmod((m_dir / ("bin/" + strName)).c_str(), 0755);
    }
    void Entry(const std::string& strDir, const std::string& strFile, const std::string& strExec) {
        m_dir.Write(strDir + "/applications/" + strFile,
                    "[Desktop Entry]\nName=Browser\nExec=" + strExec + "\n");
    }

    CEnvironmentGuard m_env{
        {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "PATH"}};
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
    EXPECT_GT(FindExecutable(m_dir / "page.HTM", strProgram), 32);
    EXPECT_EQ(strProgram, m_dir / "bin/webby");
}

TEST_F(ShellTest, NoAssociationMissingFileOrOtherTypeFail) {
    std::string strProgram = "kept";
    EXPECT_EQ(FindExecutable(m_dir / "page.HTM", strProgram), 31);
    // An entry whose program is not installed does not count.
    Entry("data", "gone.desktop", "gone %u");
    m_dir.Write("config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop\n");
    EXPECT_EQ(FindExecutable(m_dir / "page.HTM", strProgram), 31);
    EXPECT_EQ(FindExecutable(m_dir / "absent.htm", strProgram), 2);
    m_dir.Write("notes.txt", "");
    EXPECT_EQ(FindExecutable(m_dir / "notes.txt", strProgram), 31);
    EXPECT_EQ(strProgram, "kept");
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

TEST_F(ShellTest, AStartedProgramGetsExactlyItsArguments) {
    m_dir.Write("bin/browser", "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > \"" + m_dir / "args.tmp" +
                                   "\"\n/bin/mv \"" + m_dir / "args.tmp" + "\" \"" +
                                   m_dir / "args" + "\"\n");
    chmod((m_dir / "bin/browser").c_str(), 0755);
    const std::string strProgram = m_dir / "bin/browser";
    ASSERT_TRUE(SpawnProgram(strProgram, {strProgram, "a \"quoted\" url"}));
    for (int i = 0; i < 500 && !std::filesystem::exists(m_dir / "args"); ++i) {
        usleep(10000);
    }
    EXPECT_EQ(ReadFileBytes(m_dir / "args"), strProgram + "|a \"quoted\" url|");
    EXPECT_FALSE(SpawnProgram(m_dir / "bin/none", {"none"}));
}

TEST(ExecProgram, TakesTheFirstWordOrTheQuotedProgram) {
    EXPECT_EQ(ExecProgram("firefox-esr %u"), "firefox-esr");
    EXPECT_EQ(ExecProgram("  \"/opt/my browser/run\" --x %U"), "/opt/my browser/run");
    EXPECT_EQ(ExecProgram("\"/opt/a \\\"b\\\"\""), "/opt/a \"b\"");
    EXPECT_EQ(ExecProgram(""), "");
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
