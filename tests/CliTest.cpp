// tavrel-cli run as a separate process on stores built in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <span>

#include "tests/TestSupport.h"

namespace {

// Dates: 1000000000 is 2001-09-09, 946771200 is 2000-01-02, 900000000 is 1998-07-09 (UTC).
const char kBookmarkFile[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n"
    "<DL><p>\r\n<DT><H3 ADD_DATE=\"946684800\">Mail</H3>\r\n<DL><p>\r\n"
    "<DT><A HREF=\"http://webmail.example/\" ADD_DATE=\"946771200\">Zeta Mail</A>\r\n"
    "<DT><A HREF=\"http://alpha.example/\" ADD_DATE=\"946771200\">alpha</A>\r\n</DL><p>\r\n"
    "<DT><A HREF=\"http://news.example/\" ADD_DATE=\"1000000000\">News</A>\r\n"
    "<DT><A HREF=\"http://shared.example/\" ADD_DATE=\"900000000\">Shared</A>\r\n"
    "<DT><A HREF=\"http://zero.example/\">Beta</A>\r\n</DL><p>\r\n";

const std::vector<std::string> kNetscapeRows = {
    "News\t\t01-09-09\tNS\thttp://news.example/",
    "alpha\tMail\t00-01-02\tNS\thttp://alpha.example/",
    "Zeta Mail\tMail\t00-01-02\tNS\thttp://webmail.example/",
    "Shared\t\t98-07-09\tNS\thttp://shared.example/",
    "Beta\t\t70-01-01\tNS\thttp://zero.example/",
};

std::string DayOf(std::time_t t) {
    char sz[16];
    std::strftime(sz, sizeof sz, "%y-%m-%d", std::gmtime(&t));
    return sz;
}

class CliTest : public testing::Test {
protected:
    CTempDir m_dir;
    void SetUp() override { m_dir.Write("bookmark.htm", kBookmarkFile); }
};

// A bookmark in both stores is one row marked "**"; its link differs only by a
// trailing slash, so the Favorites record is the one kept.
TEST_F(CliTest, BothStoresMerged) {
    const std::time_t tBefore = std::time(nullptr);
    m_dir.Write("Favorites/Tools/Shared.url",
                "[InternetShortcut]\r\nURL=http://shared.example\r\n");
    m_dir.Write("Favorites/Fav Only.url", "[InternetShortcut]\r\nURL=http://favonly.example/\r\n");
    m_dir.Write("Favorites/desktop.ini", "[.ShellClassInfo]\r\n");
    const std::time_t tAfter = std::time(nullptr);
    const CRun run = RunCli(
        m_dir, {"list", "--favorites", m_dir / "Favorites/", "--netscape", m_dir / "bookmark.htm"});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.LastErrLine(), "6 shown, 6 total");
    auto lines = run.OutLines();
    ASSERT_EQ(lines.size(), 6u);
    // The two Favorites rows are the newest, dated the day their files were made;
    // their order depends on the second each was made in.
    for (std::string& strLine : std::span(lines).first(2)) {
        const std::size_t nDate = strLine.find('\t', strLine.find('\t') + 1) + 1;
        const std::string strDate = strLine.substr(nDate, 8);
        EXPECT_TRUE(strDate == DayOf(tBefore) || strDate == DayOf(tAfter)) << strLine;
        strLine.replace(nDate, 8, "today");
    }
    std::sort(lines.begin(), lines.begin() + 2);
    EXPECT_EQ(lines[0], "Fav Only\t\ttoday\tIE\thttp://favonly.example/");
    EXPECT_EQ(lines[1], "Shared\tTools\ttoday\t**\thttp://shared.example");
    std::vector<std::string> rest(lines.begin() + 2, lines.end());
    std::vector<std::string> expected = kNetscapeRows;
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(rest, expected);
}

// Newest first, then by name in any letter case; a pattern keeps the rows whose
// name, folder name or URL holds it, in any letter case.
TEST_F(CliTest, OrderAndPattern) {
    const struct {
        const char* pszPattern;
        std::vector<std::string> rows;
    } cases[] = {
        {"", kNetscapeRows},
        {"mAiL", {kNetscapeRows[1], kNetscapeRows[2]}},
        {"ZERO", {kNetscapeRows[4]}},
        {"nowhere", {}},
    };
    for (const auto& c : cases) {
        const CRun run =
            RunCli(m_dir, {"list", "--netscape", m_dir / "bookmark.htm", c.pszPattern});
        EXPECT_EQ(run.nStatus, 0);
        EXPECT_EQ(run.OutLines(), c.rows) << c.pszPattern;
        EXPECT_EQ(run.LastErrLine(), std::to_string(c.rows.size()) + " shown, 5 total");
    }
}

TEST_F(CliTest, ArgumentsAndMissingStores) {
    m_dir.Write("Plain/readme.txt", "not a shortcut\n");
    m_dir.Write("Plain/Sub/notes.ini", "[Section]\nURL=http://x/\n");
    const struct {
        std::vector<std::string> args;
        int nStatus;
    } cases[] = {
        {{}, 2},
        {{"lists"}, 2},
        {{"list", "--bogus"}, 2},
        {{"list", "a", "b"}, 2},
        {{"list", "--favorites"}, 2},
        {{"list", "--netscape"}, 2},
        {{"list"}, 0},
        {{"list", "--", "-x"}, 0},
        {{"list", "--netscape", m_dir / "absent.htm"}, 0},
        {{"list", "--netscape", m_dir / "Plain"}, 0},
        {{"list", "--favorites", m_dir / "absent"}, 0},
        {{"list", "--favorites", m_dir / "Plain"}, 0},
        {{"list", "--favorites", m_dir / "bookmark.htm"}, 0},
    };
    for (const auto& c : cases) {
        const CRun run = RunCli(m_dir, c.args);
        const std::string strArgs = testing::PrintToString(c.args);
        EXPECT_EQ(run.nStatus, c.nStatus) << strArgs;
        EXPECT_EQ(run.strOut, "") << strArgs;
        if (c.nStatus == 2) {
            EXPECT_TRUE(run.strErr.starts_with("usage: tavrel-cli list")) << strArgs;
        } else {
            EXPECT_EQ(run.strErr, "0 shown, 0 total\n") << strArgs;
        }
    }
}

// Without named stores the tool finds them through the registry file, or takes
// the Netscape file from the "NS" switch written as the window accepts it.
TEST_F(CliTest, DiscoversTheStores) {
    const CCurrentDirGuard cwd;  // for the detection log
#ifndef _WIN32
    // Windows has the system's registry instead of the registry file.
    std::filesystem::copy(TAVREL_SAMPLES_DIR, m_dir / "demo",
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy(m_dir / "demo/registry.reg", m_dir / "registry.reg");
    const CRun demo = RunCli(m_dir, {"list", "python"}, {"TAVREL_DEMO=" + m_dir / "demo"});
    EXPECT_EQ(demo.nStatus, 0);
    ASSERT_EQ(demo.OutLines().size(), 1u) << demo.strOut;
    EXPECT_NE(demo.OutLines()[0].find("\t**\thttps://docs.python.org/3/"), std::string::npos);
    EXPECT_EQ(demo.LastErrLine(), "1 shown, 12 total");
    std::filesystem::remove(m_dir / "registry.reg");
#endif
    const CRun option = RunCli(m_dir, {"list", "/ns", m_dir / "bookmark.htm", "-LOG", "zero"});
    EXPECT_EQ(option.nStatus, 0);
    EXPECT_EQ(option.OutLines(), std::vector<std::string>{kNetscapeRows[4]});
    EXPECT_NE(ReadFileBytes("TVL.LOG").find("Netscape - Using path <" + m_dir / "bookmark.htm"),
              std::string::npos);
}

}  // namespace

namespace {

// remove takes every row that list would print and saves; rename takes the
// one row, and with none or several, or an empty name, changes nothing.
TEST_F(CliTest, RemoveAndRename) {
    m_dir.Write("Favorites/Mail.box/Zeta Mail.url",
                "[InternetShortcut]\r\nURL=http://webmail.example/\r\n");
    const std::vector<std::string> stores = {"--favorites", m_dir / "Favorites", "--netscape",
                                             m_dir / "bookmark.htm"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, stores.begin(), stores.end());
        return RunCli(m_dir, args);
    };
    auto names = [&] {
        std::vector<std::string> result;
        for (const std::string& strLine : run({"list"}).OutLines()) {
            result.push_back(strLine.substr(0, strLine.find('\t')) + "|" +
                             strLine.substr(strLine.find("\t", strLine.find('\t') + 1) + 10, 2));
        }
        std::sort(result.begin(), result.end());
        return result;
    };
    const std::string strOriginal = ReadFileBytes(m_dir / "bookmark.htm");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"rename", "nothing matches", "X"},
          std::vector<std::string>{"rename", "a", "X"},
          std::vector<std::string>{"rename", "News", ""}}) {
        const CRun r = run(args);
        EXPECT_EQ(r.nStatus, 1) << args[1];
        EXPECT_TRUE(r.strErr.starts_with("tavrel-cli: ")) << r.strErr;
        EXPECT_EQ(ReadFileBytes(m_dir / "bookmark.htm"), strOriginal);
    }
    EXPECT_EQ(run({"rename", "a"}).nStatus, 2);
    EXPECT_EQ(run({"remove"}).nStatus, 2);

    CRun r = run({"rename", "zeta", "Omega Mail"});
    EXPECT_EQ(r.nStatus, 0) << r.strErr;
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Favorites/Mail.box/Omega Mail.url"));
    r = run({"remove", "--add-to-iexplorer", "mail"});  // Omega Mail, and alpha in Mail
    EXPECT_EQ(r.nStatus, 0) << r.strErr;
    EXPECT_EQ(names(), (std::vector<std::string>{"Beta|**", "News|**", "Shared|**"}));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Favorites/Mail.box/Omega Mail.url"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Favorites/Netscape Bookmarks/Beta.url"));
}

}  // namespace
