// Save on stores in a temporary directory: what reaches the Favorites tree and
// the Netscape file, the backup, the failures, and the command-line tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif
#include <sstream>

#include "platform/Path.h"
#include "tests/SaveSupport.h"

namespace {

// The main tree as the Netscape file held it, written back with no change.
TEST_F(SaveTest, WritesTheMainTree) {
    m_dir.Write(
        "profile/bookmark.htm",
        kHeader + "<DL><p>\r\n<DT><H3 ADD_DATE=\"100\">F</H3>\r\n<DL><p>\r\n" +
            "<DT><A HREF=\"U1\" ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\">y</A>\r\n" +
            "</DL><p>\r\n<DT><A HREF=\"U2\" ADD_DATE=\"4\" LAST_VISIT=\"5\" " +
            "LAST_MODIFIED=\"6\">x</A>\r\n</DL><p>\r\n");
    EXPECT_EQ(SaveTwiceUnchanged("example"),
              kHeader +
                  "<DL><p>\r\n    <DT><H3 FOLDED ADD_DATE=\"100\">F</H3>\r\n      <DL><p>\r\n" +
                  "      <DT><A HREF=\"U1\"  ADD_DATE=\"1\" LAST_VISIT=\"2\" "
                  "LAST_MODIFIED=\"3\">y</A>\r\n" +
                  "      </DL><p>\r\n    <DT><A HREF=\"U2\"  ADD_DATE=\"4\" LAST_VISIT=\"5\" " +
                  "LAST_MODIFIED=\"6\">x</A>\r\n</DL>\r\n");
    EXPECT_EQ(m_view.m_nImports, 3);
}

// What a save exports follows the selection, or takes every distinct bookmark
// when no row is selected. The export folder holds the Favorites root as a
// folder without a name and the folders down to each exported bookmark; empty
// folders are left out.
TEST_F(SaveTest, ExportsFollowTheSelection) {
    const CUtcGuard utc;
    m_fs.m_bDropTimes = true;  // every Favorites date is the fixed time
    m_dir.Write("Favorites/A/b.url", Shortcut("http://b/"));
    m_dir.Write("Favorites/c.url", Shortcut("http://c/"));
    std::filesystem::create_directories(m_strFav + "/Empty/Deeper");
    const std::string strDates =
        "  ADD_DATE=\"1000000000\" LAST_VISIT=\"1000000000\" LAST_MODIFIED=\"1000000000\">";
    const std::string strOpen =
        kHeader + "<DL><p>\r\n" +
        "    <DT><A HREF=\"http://n1/\"  ADD_DATE=\"0\" LAST_VISIT=\"0\" "
        "LAST_MODIFIED=\"0\">n1</A>\r\n"
        "    <DT><A HREF=\"http://n2/\"  ADD_DATE=\"0\" LAST_VISIT=\"0\" "
        "LAST_MODIFIED=\"0\">n2</A>\r\n"
        "  <DT><H3 FOLDED ADD_DATE=\"1000000000\">IExplorer 010909 01:46:40</H3>\r\n"
        "  <DL><p>\r\n    <DT><H3 FOLDED ADD_DATE=\"0\"></H3>\r\n      <DL><p>\r\n"
        "      <DT><H3 FOLDED ADD_DATE=\"1000000000\">A</H3>\r\n        <DL><p>\r\n"
        "        <DT><A HREF=\"http://b/\"" +
        strDates + "b</A>\r\n        </DL><p>\r\n";
    const std::string strC = "      <DT><A HREF=\"http://c/\"" + strDates + "c</A>\r\n";
    const std::string strClose = "      </DL><p>\r\n  </DL><p>\r\n</DL>\r\n";
    for (const bool bSelect : {true, false}) {
        m_dir.Write("profile/bookmark.htm",
                    kHeader +
                        "<DL><p>\r\n<DT><A HREF=\"http://n1/\">n1</A>\r\n"
                        "<DT><A HREF=\"http://n2/\">n2</A>\r\n</DL><p>\r\n");
        Import();
        m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
        m_view.m_selected.clear();
        if (bSelect) {
            m_view.m_selected = {m_view.Named("b"), m_view.Named("n1")};
        }
        m_view.SaveChanges();
        EXPECT_EQ(ReadFileBytes(m_strNS), strOpen + (bSelect ? "" : strC) + strClose);
        EXPECT_EQ(Marks(), (std::vector<std::string>{"b|3", bSelect ? "c|1" : "c|3", "n1|3",
                                                     bSelect ? "n2|2" : "n2|3"}));
        std::filesystem::remove_all(m_strFav + "/Netscape Bookmarks");
    }
}

// Generated Netscape files with colliding folders, and real browsers' files.
TEST_F(SaveTest, UnchangedSaveReadsBackTheSame) {
    m_view.m_strFavDir.clear();
    for (unsigned nSeed = 1; nSeed <= 20; ++nSeed) {
        m_dir.Write("profile/bookmark.htm", NetscapeText(Generate(nSeed, 40, "n", false)));
        SaveTwiceUnchanged("seed " + std::to_string(nSeed));
        std::filesystem::remove_all(m_dir / "profile");
    }
}

// The generated Favorites hold names that differ only in letter case, which
// Windows takes for one name, and names it cannot hold.
#ifndef _WIN32
// Both boxes ticked: afterwards both browsers hold every bookmark, and a further
// save has nothing left to export.
TEST_F(SaveTest, ExportBothWaysThenNothingMore) {
    const std::vector<CEntry> favorites = Generate(7, 30, "f", true);
    std::vector<CEntry> netscape = Generate(8, 30, "n", true);
    netscape.insert(netscape.end(), favorites.begin(), favorites.begin() + 10);
    WriteFavorites(favorites);
    m_dir.Write("profile/bookmark.htm", NetscapeText(netscape));
    Import();
    std::vector<std::string> expected;
    for (std::string strMark : Marks()) {
        ASSERT_TRUE(strMark.back() != '3' || strMark.find(" f") != std::string::npos);
        strMark.back() = '3';
        expected.push_back(strMark);
    }
    ASSERT_EQ(expected.size(), 60u);
    m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    EXPECT_EQ(Marks(), expected);

    const auto favoritesBefore = Snapshot(m_strFav);
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav), favoritesBefore);
    const std::string strAfter = ReadFileBytes(m_strNS);
    const std::size_t nFolder = strAfter.find(">IExplorer ");
    EXPECT_NE(nFolder, std::string::npos);
    EXPECT_EQ(strAfter.find(">IExplorer ", nFolder + 1), std::string::npos);
    EXPECT_EQ(Marks(), expected);
}
#endif

// Removals and renames reach both stores, a shortcut file being found in the
// Favorites folder of its record; nothing else on disk changes. A renamed
// Netscape-only bookmark is exported under its new name, so that the two
// copies are joined at the next import.
TEST_F(SaveTest, RemovalsAndRenamesReachBothStores) {
    const std::vector<std::pair<std::string, std::string>> shortcuts = {
        {"a.url", "http://a/"}, {"Sub/b.url", "http://b/"}, {"Sub/keep.url", "http://k/"},
        {"c.url", "http://c/"}, {"Sub/e.url", "http://e/"}, {"Sub/notes.txt", "text"},
        {"Empty", ""},
    };
    for (const auto& [strRel, strURL] : shortcuts) {
        if (strURL.empty()) {
            std::filesystem::create_directories(m_strFav + "/" + strRel);
        } else {
            m_dir.Write("Favorites/" + strRel,
                        strURL.starts_with("http") ? Shortcut(strURL) : strURL);
        }
    }
    m_dir.Write("profile/bookmark.htm",
                kHeader +
                    "<DL><p>\r\n<DT><A HREF=\"http://c/\">c</A>\r\n"
                    "<DT><A HREF=\"http://e/\">e</A>\r\n<DT><A HREF=\"http://d/\">d</A>\r\n"
                    "<DT><A HREF=\"http://f/\">f</A>\r\n<DT><A HREF=\"http://g/\">g</A>\r\n"
                    "</DL><p>\r\n");
    Import();
    auto expected = Snapshot(m_strFav);
    for (const char* pszName : {"a", "c", "f"}) {
        m_view.Named(pszName)->m_nFlags |= BMF_REMOVED;
    }
    const std::pair<const char*, const char*> renames[] = {{"b", "b2"}, {"e", "e2"}, {"d", "d2"}};
    for (const auto& [pszOld, pszNew] : renames) {
        m_view.RenameBookmark(*m_view.Named(pszOld), pszNew);
    }
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    expected.erase("a.url");
    expected.erase("c.url");
    expected["Sub/b2.url"] = expected.extract("Sub/b.url").mapped();
    expected["Sub/e2.url"] = expected.extract("Sub/e.url").mapped();
    expected["Netscape Bookmarks"] = "<dir>";
    expected["Netscape Bookmarks/d2.url"] = Shortcut("http://d/");
    expected["Netscape Bookmarks/g.url"] = Shortcut("http://g/");
    EXPECT_EQ(Snapshot(m_strFav), expected);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"b2|1", "d2|3", "e2|3", "g|3", "keep|1"}));
}

// A name with a separator, and a folder named "." or "..", never becomes a
// path: export and rename fail and nothing appears outside the Favorites
// tree. A bookmark named ".." is the file "...url", an ordinary name.
// However many files a Save cannot write, it shows one message: the first
// twenty failures and how many more there were; the backup has its own.
TEST_F(SaveTest, OneSaveShowsItsFailuresInOneMessage) {
    std::string strList = kHeader + "<DL><p>\r\n";
    for (int i = 0; i < 23; ++i) {
        strList += "<DT><A HREF=\"http://" + std::to_string(i) + "/\">Index of /" +
                   std::to_string(i) + "</A>\r\n";
    }
    m_dir.Write("profile/bookmark.htm", strList + "</DL><p>\r\n");
    Import();
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    ASSERT_EQ(m_view.m_messages.size(), 2u);
    const std::string& strFailures = m_view.m_messages[0];
    EXPECT_EQ(std::count(strFailures.begin(), strFailures.end(), '\n'), 20);
    EXPECT_EQ(strFailures.rfind("Cannot create the file \"" + m_strFav, 0), 0u);
    EXPECT_EQ(strFailures.substr(strFailures.rfind('\n') + 1), "(3 more)");
    // The export reported where it was, from the start to its end.
    ASSERT_FALSE(m_view.m_progress.empty());
    EXPECT_EQ(m_view.m_progress.front(), std::make_pair(std::size_t{0}, std::size_t{23}));
    EXPECT_EQ(m_view.m_progress.back(), std::make_pair(std::size_t{23}, std::size_t{23}));
    EXPECT_EQ(m_view.m_messages[1],
              "Backup copy of your Netscape bookmark file was created: \"" + Backup(kNow) + "\"");
}

TEST_F(SaveTest, NamesThatAreNoFileNames) {
    const char* const kNewNames[] = {"x/y", "..", ".", "a\\b"};
    for (int i = 0; i < 4; ++i) {
        m_dir.Write("Favorites/b" + std::to_string(i) + ".url", Shortcut("http://b/"));
    }
    m_dir.Write("Favorites/...url", Shortcut("http://dotdot/"));  // named ".."
    m_dir.Write("profile/bookmark.htm",
                kHeader +
                    "<DL><p>\r\n<DT><A HREF=\"http://1/\">a/b</A>\r\n"
                    "<DT><A HREF=\"http://2/\">a\\b</A>\r\n<DT><A HREF=\"http://3/\">..</A>\r\n"
                    "<DT><H3 ADD_DATE=\"1\">..</H3>\r\n<DL><p>\r\n"
                    "<DT><A HREF=\"http://4/\">x</A>\r\n</DL><p>\r\n"
                    "<DT><H3 ADD_DATE=\"1\">.</H3>\r\n<DL><p>\r\n"
                    "<DT><A HREF=\"http://5/\">y</A>\r\n</DL><p>\r\n"
                    "<DT><A HREF=\"http://6/\">ok</A>\r\n</DL><p>\r\n");
    Import();
    std::filesystem::remove(m_strNS);  // no backup to compare
    auto expected = Snapshot(m_dir.Path());
    for (int i = 0; i < 4; ++i) {
        m_view.RenameBookmark(*m_view.Named("b" + std::to_string(i)), kNewNames[i]);
    }
    for (CBookmark* p : m_view.Bookmarks()) {
        p->m_nFlags |= p->m_strURL == "http://dotdot/" ? BMF_REMOVED : 0;
    }
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    const std::string strNSDir = m_dir / "Favorites/Netscape Bookmarks/";
    std::vector<std::string> messages;
    // The folders ".." and "." hold x and y; "a/b" and "a\\b" are names of bookmarks.
    for (const std::string& strPath : {JoinPath("..", "x.url"), JoinPath(".", "y.url"),
                                       std::string("a/b.url"), std::string("a\\b.url")}) {
        messages.push_back("Cannot create the file \"" + strNSDir + strPath + "\"");
    }
    // One message lists them all, a line each.
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    std::vector<std::string> lines;
    std::istringstream text(m_view.m_messages[0]);
    for (std::string strLine; std::getline(text, strLine);) {
        lines.push_back(strLine);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, messages);
    // b1 comes to "..", whose file is taken until the removal that follows.
    expected.erase("Favorites/...url");
    expected["Favorites/.. (2).url"] = expected.extract("Favorites/b1.url").mapped();
    expected["Favorites/..url"] = expected.extract("Favorites/b2.url").mapped();
    expected["Favorites/Netscape Bookmarks"] = "<dir>";
    expected["Favorites/Netscape Bookmarks/...url"] = Shortcut("http://3/");
    expected["Favorites/Netscape Bookmarks/ok.url"] = Shortcut("http://6/");
    expected["profile/bookmark.htm"] = ReadFileBytes(m_strNS);
    EXPECT_EQ(Snapshot(m_dir.Path()), expected);
}

enum class EFault {
    DirectoryGone,
    NoFileHandle,
    FileSizeLimit,
    FlushFails,
    BackupFails,
    InstallFails,
};

#ifndef _WIN32
// While it lives, the limit that makes the fault happen: on the files the
// process may open, or on the size of a file it writes.
class CFaultLimit {
public:
    explicit CFaultLimit(EFault fault)
        : m_nResource(fault == EFault::NoFileHandle ? RLIMIT_NOFILE : RLIMIT_FSIZE) {
        getrlimit(m_nResource, &m_saved);
        rlimit limit = m_saved;
        if (fault == EFault::NoFileHandle) {
            const int nFree = open("/dev/null", O_RDONLY);  // the lowest free descriptor
            close(nFree);
            limit.rlim_cur = static_cast<rlim_t>(nFree);
        } else if (fault == EFault::FileSizeLimit) {
            limit.rlim_cur = 100;
        }
        // Beyond the limit write fails: the process must not be ended by SIGXFSZ.
        setrlimit(m_nResource, &limit);
    }
    ~CFaultLimit() { setrlimit(m_nResource, &m_saved); }
    CFaultLimit(const CFaultLimit&) = delete;
    CFaultLimit& operator=(const CFaultLimit&) = delete;

private:
    int m_nResource;
    rlimit m_saved{};
};
#endif

// The new Netscape file cannot be created, written, put on disk, backed up
// or put in place: the user is told, no backup is claimed or left, the old
// file is there byte for byte with nothing beside it, and no import follows.
TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    const std::string strOriginal = NetscapeText(Generate(3, 20, "n", false));
    const std::string strCreate = "Cannot create the file \"" + m_strNS + "\"";
    const std::string strWrite = "Cannot write the file \"" + m_strNS + "\"";
    const struct {
        EFault fault;
        std::string strMessage;
    } cases[] = {
        {EFault::DirectoryGone, strCreate},
#ifndef _WIN32
        // Windows has no limits on the files of a process and on their size.
        {EFault::NoFileHandle, "Cannot open the file \"" + m_strNS + "\""},
        {EFault::FileSizeLimit, strWrite},
#endif
        {EFault::FlushFails, strWrite},
        {EFault::BackupFails, "Cannot create the file \"" + Backup(kNow) + "\""},
        {EFault::InstallFails, strWrite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        m_dir.Write("profile/bookmark.htm", strOriginal);
        Import();
        const int nImports = m_view.m_nImports;
        if (c.fault == EFault::DirectoryGone) {
            std::filesystem::remove_all(m_dir / "profile");
        }
        m_fs.m_bFailFlush = c.fault == EFault::FlushFails;
        m_fs.m_bFailKeepCopy = c.fault == EFault::BackupFails;
        m_fs.m_bFailInstall = c.fault == EFault::InstallFails;
        {
#ifndef _WIN32
            const CFaultLimit limit(c.fault);
#endif
            m_view.SaveChanges();
        }
        m_fs.m_bFailFlush = m_fs.m_bFailKeepCopy = m_fs.m_bFailInstall = false;
        EXPECT_EQ(m_view.m_messages, std::vector<std::string>{c.strMessage});
        EXPECT_EQ(m_view.m_nImports, nImports);
        if (c.fault == EFault::DirectoryGone) {
            EXPECT_FALSE(std::filesystem::exists(m_dir / "profile"));
        } else {
            EXPECT_EQ(Snapshot(m_dir / "profile"),
                      (std::map<std::string, std::string>{{"bookmark.htm", strOriginal}}));
        }
    }
}

// The generated Favorites hold names that differ only in letter case, which
// Windows takes for one name, and names it cannot hold.
#ifndef _WIN32
// A failed Save does not read the stores again, yet it has deleted the removed
// Favorites records: the list's rows must not hold them.
TEST_F(SaveTest, FailedSaveLeavesNoDeletedRecordInTheRows) {
    WriteFavorites(Generate(5, 6, "f", true));
    m_dir.Write("profile/bookmark.htm", NetscapeText(Generate(6, 4, "n", true)));
    Import();
    std::vector<CBookmark*> rows;
    ASSERT_EQ(m_view.SortedRows(rows), 10);
    int nRemoved = 0;
    for (CBookmark* p : rows) {
        if (p->Origin() == 1 && nRemoved < 2) {
            p->m_nFlags |= BMF_REMOVED;
            ++nRemoved;
        }
    }
    m_fs.m_bFailInstall = true;
    m_view.SaveChanges();
    m_fs.m_bFailInstall = false;
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.SortedRows(rows), 8);
    for (CBookmark* p : rows) {
        EXPECT_GE(m_view.m_bookmarks.IndexOf(p), 0);
    }
}
#endif

// A full disk at every offset of the new file.
TEST_F(SaveTest, FullDiskAtEveryOffset) {
    const std::string strOriginal = NetscapeText(Generate(5, 8, "n", false));
    m_dir.Write("profile/bookmark.htm", strOriginal);
    Import();
    m_view.SaveChanges();  // what a whole save writes
    const std::size_t nSize = ReadFileBytes(m_strNS).size();
    ASSERT_GT(nSize, 500u);
    for (std::uint64_t nAt = 0; nAt < nSize; ++nAt) {
        ExpectFullDiskKeeps(strOriginal, nAt);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// The same in a file of megabytes, whose bytes go to disk on a second thread
// after the first megabyte: before that, just after it, and near the end.
TEST_F(SaveTest, FullDiskInALargeFile) {
    const std::string strOriginal = NetscapeText(Generate(7, 30000, "n", false));
    m_dir.Write("profile/bookmark.htm", strOriginal);
    Import();
    m_view.SaveChanges();
    const std::size_t nSize = ReadFileBytes(m_strNS).size();
    ASSERT_GT(nSize, 3u << 20);
    for (const std::uint64_t nAt : {std::uint64_t{700000}, std::uint64_t{(1u << 20) + 70000},
                                    std::uint64_t{nSize / 2}, std::uint64_t{nSize - 1}}) {
        ExpectFullDiskKeeps(strOriginal, nAt);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// A file of more than 16 MB is hashed in two parts: a byte changed in either
// half since the import, with size and times as they were, keeps the Save
// from replacing it; unchanged, it is saved.
TEST_F(SaveTest, LargeFileChangedInEitherHalf) {
    // Few bookmarks, each with a long description.
    std::string strOriginal = kHeader + "<DL><p>\r\n";
    for (int i = 0; i < 20000; ++i) {
        strOriginal += "<DT><A HREF=\"http://site" + std::to_string(i) +
                       "/\" ADD_DATE=\"7\">page " + std::to_string(i) + "</A>\r\n<DD>" +
                       std::string(880, 'a' + i % 26) + "\r\n";
    }
    strOriginal += "</DL><p>\r\n";
    ASSERT_GT(strOriginal.size(), std::size_t{17} << 20);
    for (const std::size_t nAt :
         {strOriginal.size() / 4, strOriginal.size() - 30, std::size_t{0}}) {
        SCOPED_TRACE(nAt);
        m_dir.Write("profile/bookmark.htm", strOriginal);
        ASSERT_TRUE(SetFileTimes(m_strNS, 1'100'000'000, 1'200'000'000));
        Import();
        std::string strOther = strOriginal;
        if (nAt > 0) {
            // A letter of a name or a URL, in other case.
            const std::size_t nLetter = strOther.find_first_of("abcdefghijklmnopqrstuvwxyz", nAt);
            ASSERT_NE(nLetter, std::string::npos);
            strOther[nLetter] = FoldUpper(strOther[nLetter]);
            m_dir.Write("profile/bookmark.htm", strOther);
            ASSERT_TRUE(SetFileTimes(m_strNS, 1'100'000'000, 1'200'000'000));
        }
        m_view.SaveChanges();
        if (nAt > 0) {
            EXPECT_EQ(m_view.m_messages.size(), 1u);
            EXPECT_EQ(ReadFileBytes(m_strNS), strOther);
        } else {
            EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
            EXPECT_EQ(ReadFileBytes(Backup(kNow)), strOriginal);
        }
        m_view.m_messages.clear();
    }
}

// A store that is not there: Save does what it can with the other one. A
// Netscape file gone since the import is written anew, with no backup claimed.
TEST_F(SaveTest, MissingStores) {
    m_dir.Write("Favorites/a.url", Shortcut("http://a/"));
    m_view.m_strNSPath.clear();
    Import();
    m_view.Named("a")->m_nFlags |= BMF_REMOVED;
    m_view.SaveChanges();
    EXPECT_FALSE(std::filesystem::exists(m_strFav + "/a.url"));
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{});
    EXPECT_EQ(m_view.m_nImports, 2);

    m_view.m_strNSPath = m_strNS;
    m_dir.Write("profile/bookmark.htm", kHeader + "<DL><p>\r\n<DT><A HREF=\"http://n/\">n</A>\r\n");
    Import();
    std::filesystem::remove(m_strNS);
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{});
    EXPECT_EQ(Snapshot(m_dir / "profile"),
              (std::map<std::string, std::string>{
                  {"bookmark.htm",
                   kHeader + "<DL><p>\r\n    <DT><A HREF=\"http://n/\"  ADD_DATE=\"0\" "
                             "LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">n</A>\r\n</DL>\r\n"}}));
    EXPECT_EQ(m_view.m_nImports, 4);
}

TEST_F(SaveTest, CommandLineTool) {
    m_dir.Write("Favorites/Tools/t.url", Shortcut("http://t/"));
    const std::string strOriginal =
        kHeader + "<DL><p>\r\n<DT><H3 ADD_DATE=\"1\">News</H3>\r\n<DL><p>\r\n" +
        "<DT><A HREF=\"http://n/\" ADD_DATE=\"9\">n</A>\r\n</DL><p>\r\n" +
        "<DT><A HREF=\"http://m/\" ADD_DATE=\"5\">m & co</A>\r\n</DL><p>\r\n";
    m_dir.Write("profile/bookmark.htm", strOriginal);
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--netscape", m_strNS, "--favorites", m_strFav});
        return RunCli(m_dir, args);
    };
    auto html = [](const std::string& strBody) {
        return "<!DOCTYPE Bookmark-file>\r\n<HTML>\r\n<BODY>\r\n<TITLE>Bookmarks</TITLE>\r\n"
               "<H1>Bookmarks</H1>\r\n<DL><p>\r\n" +
               strBody + "</DL>\r\n</BODY>\r\n</HTML>\r\n";
    };
    const std::string strT = "  <DT><A HREF=\"http://t/\">t</A>\r\n",
                      strN = "  <DT><A HREF=\"http://n/\">n</A>\r\n",
                      strM = "  <DT><A HREF=\"http://m/\">m &amp; co</A>\r\n";
    const std::string strOut = m_dir / "out.htm";
    const struct {
        std::vector<std::string> args;
        int nStatus;
        std::string strFile;  // the file afterwards
    } cases[] = {
        {{"export-html", strOut}, 0, html(strT + strN + strM)},  // newest first
        {{"export-html", "--by-folder", strOut}, 1, html(strT + strN + strM)},
        {{"export-html", "--by-folder", "--force", strOut},
         0,
         html("  <DT><H3></H3>\r\n    <DL><p>\r\n" + strM +
              "    </DL><p>\r\n  <DT><H3>News</H3>\r\n" + "    <DL><p>\r\n" + strN +
              "    </DL><p>\r\n  <DT><H3>Tools</H3>\r\n    <DL><p>\r\n" + strT +
              "    </DL><p>\r\n")},
    };
    for (const auto& c : cases) {
        const CRun r = run(c.args);
        EXPECT_EQ(r.nStatus, c.nStatus) << r.strErr;
        EXPECT_EQ(ReadFileBytes(strOut), c.strFile);
    }
    const CRun missing = run({"export-html", m_dir / "missing/out.htm"});
    EXPECT_EQ(missing.nStatus, 1);
    EXPECT_EQ(missing.strErr, "Cannot open the file \"" + m_dir / "missing/out.htm" + "\"\n");

    const CRun plain = run({"save"});
    EXPECT_EQ(plain.nStatus, 0);
    const std::string strLead = "Backup copy of your Netscape bookmark file was created: \"";
    ASSERT_TRUE(plain.strErr.starts_with(strLead + m_strNS + ".") && plain.strErr.ends_with("\"\n"))
        << plain.strErr;
    EXPECT_EQ(ReadFileBytes(
                  plain.strErr.substr(strLead.size(), plain.strErr.size() - strLead.size() - 2)),
              strOriginal);
    EXPECT_EQ(run({"save", "--add-to-iexplorer", "--add-to-netscape"}).nStatus, 0);
    const CRun list = run({"list"});
    EXPECT_EQ(list.strErr, "3 shown, 3 total\n");
    int nBoth = 0;
    for (std::size_t i = 0; (i = list.strOut.find("\t**\t", i)) != std::string::npos; ++i) {
        ++nBoth;
    }
    EXPECT_EQ(nBoth, 3) << list.strOut;
}

}  // namespace
