// Save on stores in a temporary directory: what reaches the Favorites tree and
// the Netscape file, the backup, the failures, and the command-line tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <map>
#include <random>

#include "tests/TestSupport.h"

namespace {

// Finds the stores where the test put them, records messages and import runs,
// and answers the selection and the two boxes as the test chooses.
class CSaveView : public CTestView {
public:
    std::string m_strFavDir, m_strNSPath;  // empty: the store is not there
    bool m_bAddExplorer = false, m_bAddNetscape = false;
    int m_nImports = 0;
    void DetectStores() override {
        ++m_nImports;
        m_bMSIE = !m_strFavDir.empty();
        m_strFavorites = m_strFavDir;
        m_bNetscape = !m_strNSPath.empty();
        m_strNSFile = m_strNSPath;
    }
    bool IsChecked(int nBox) const override {
        return nBox == IDC_ADD_EXPLORER ? m_bAddExplorer : m_bAddNetscape;
    }
};

// Local time is UTC while it lives.
class CUtcGuard {
public:
    CUtcGuard() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~CUtcGuard() { tzset(); }

private:
    CEnvironmentGuard m_env{{"TZ"}};
};

const std::string kHeader =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n\r\n";
constexpr CTime kNow = 1'000'000'000;  // 2001-09-09 01:46:40 UTC

std::string Shortcut(const std::string& strURL) {
    return "[InternetShortcut]\r\nURL=" + strURL + "\r\n";
}

// Every file and directory below a directory, with the bytes of the files.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        entries[std::filesystem::relative(entry.path(), dir).string()] =
            entry.is_directory() ? "<dir>" : ReadFileBytes(entry.path().string());
    }
    return entries;
}

// One line per record below a root: kind, folder names, name, URL, dates, origin.
std::vector<std::string> Describe(const CTestView& view) {
    std::vector<std::string> lines;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        if (p->m_pFolder == nullptr) {
            continue;
        }
        std::string s = (p->m_nFlags & BMF_FOLDER) ? "F " : "B ";
        for (const CBookmark* f = p->NSFolder(); f->m_pFolder != nullptr; f = f->m_pFolder) {
            s.insert(2, f->m_strName + " > ");
        }
        lines.push_back(s + p->m_strName + "|" + p->m_strURL + "|" + std::to_string(p->m_tAdded) +
                        "/" + std::to_string(p->m_tVisited) + "/" + std::to_string(p->m_tModified) +
                        "|" + std::to_string(p->Origin()));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

struct CEntry {
    std::vector<std::string> folders;
    std::string strName, strURL;
    CTime tDates[3];
};

// Bookmarks in a random folder tree; names are unique, folder names repeat.
// With bFileNames every name can be a file name; otherwise folder names also
// hold backslashes, and sibling folders may be equal.
std::vector<CEntry> Generate(unsigned nSeed, int nCount, const std::string& strTag,
                             bool bFileNames) {
    static const char* const kNames[] = {
        "News",  "NEWS", "news", "Fish & Chips", "say \"hi\"", "\xC3\xA9t\xC3\xA9",
        "\x80x", "A",    "B",    "A\\B",         "",
    };
    std::mt19937 rng(nSeed);
    const std::size_t nNames = bFileNames ? 9 : std::size(kNames);
    std::vector<CEntry> entries;
    for (int i = 0; i < nCount; ++i) {
        CEntry e;
        for (unsigned nDepth = rng() % 4; nDepth > 0; --nDepth) {
            e.folders.push_back(kNames[rng() % nNames]);
        }
        e.strName = kNames[rng() % 9] + std::string(" ") + strTag + std::to_string(i);
        e.strURL = "http://" + strTag + std::to_string(i) + ".example/?a=1&b=" + kNames[rng() % 3];
        for (CTime& t : e.tDates) {
            t = rng() % 4 == 0 ? 0 : static_cast<CTime>(rng()) << (rng() % 9);
        }
        entries.push_back(e);
    }
    return entries;
}

// The entries as a Netscape file; a folder left and entered again is a new sibling.
std::string NetscapeText(const std::vector<CEntry>& entries) {
    std::string s = kHeader + "<DL><p>\r\n";
    std::vector<std::string> open;
    for (const CEntry& e : entries) {
        std::size_t nSame = 0;
        while (nSame < open.size() && nSame < e.folders.size() && open[nSame] == e.folders[nSame]) {
            ++nSame;
        }
        for (; open.size() > nSame; open.pop_back()) {
            s += "</DL><p>\r\n";
        }
        for (; open.size() < e.folders.size(); open.push_back(e.folders[open.size()])) {
            s += "<DT><H3 ADD_DATE=\"" + std::to_string(s.size()) + "\">" + e.folders[open.size()] +
                 "</H3>\r\n<DL><p>\r\n";
        }
        s += "<DT><A HREF=\"" + e.strURL + "\" ADD_DATE=\"" + std::to_string(e.tDates[0]) +
             "\" LAST_VISIT=\"" + std::to_string(e.tDates[1]) + "\" LAST_MODIFIED=\"" +
             std::to_string(e.tDates[2]) + "\">" + e.strName + "</A>\r\n";
    }
    for (; !open.empty(); open.pop_back()) {
        s += "</DL><p>\r\n";
    }
    return s + "</DL><p>\r\n";
}

class SaveTest : public testing::Test {
protected:
    CTempDir m_dir;
    CFailingFileSystem m_fs;
    CSaveView m_view;
    std::string m_strFav = m_dir / "Favorites";
    std::string m_strNS = m_dir / "profile/bookmark.htm";

    void SetUp() override {
        m_fs.m_tNow = kNow;
        m_view.m_pFileSystem = &m_fs;
        m_view.m_strFavDir = m_strFav;
        m_view.m_strNSPath = m_strNS;
        std::filesystem::create_directories(m_strFav);
    }
    // An import as at start-up, which forgets the stores found missing before.
    void Import() {
        m_view.m_nMissing = 0;
        m_view.ImportBookmarks();
        m_view.m_messages.clear();
    }
    void WriteFavorites(const std::vector<CEntry>& entries) {
        for (const CEntry& e : entries) {
            std::string strRel = "Favorites/";
            for (const std::string& strFolder : e.folders) {
                strRel += strFolder + "/";
            }
            m_dir.Write(strRel + e.strName + ".url", Shortcut(e.strURL));
        }
    }
    std::string Backup(CTime t) const { return m_strNS + "." + std::to_string(t); }
    std::string BackupMessage(CTime t) const {
        return "Backup copy of your Netscape bookmark file was created: \"" + Backup(t) + "\"";
    }
    // Imports and saves twice in the same second without change: the catalogue
    // reads back the same, the second save writes what the first wrote, and
    // each backup holds what its save replaced. Returns what the saves wrote.
    std::string SaveTwiceUnchanged(const std::string& strLabel) {
        const std::string strOriginal = ReadFileBytes(m_strNS);
        Import();
        if (m_view.Bookmarks().empty()) {  // no "<H1>" line: the whole file is header
            return {};
        }
        const std::vector<std::string> before = Describe(m_view);
        m_view.SaveChanges();
        const std::string strFirst = ReadFileBytes(m_strNS);
        EXPECT_EQ(Describe(m_view), before) << strLabel;
        m_view.SaveChanges();
        EXPECT_EQ(ReadFileBytes(m_strNS), strFirst) << strLabel;
        EXPECT_EQ(m_view.m_messages,
                  (std::vector<std::string>{BackupMessage(kNow), BackupMessage(kNow + 1)}));
        EXPECT_EQ(ReadFileBytes(Backup(kNow)), strOriginal);
        EXPECT_EQ(ReadFileBytes(Backup(kNow + 1)), strFirst);
        return strFirst;
    }
    // The bookmarks of the view as "name|origin", sorted.
    std::vector<std::string> Marks() const {
        std::vector<std::string> marks;
        for (const CBookmark* p : m_view.Bookmarks()) {
            marks.push_back(p->m_strName + "|" + std::to_string(p->Origin()));
        }
        std::sort(marks.begin(), marks.end());
        return marks;
    }
};

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

TEST_F(SaveTest, UnchangedSaveOfRealFiles) {
    if (RealWorldDir().empty()) {
        GTEST_SKIP() << "no real-world files";
    }
    m_view.m_strFavDir.clear();
    for (const auto& entry : std::filesystem::directory_iterator(RealWorldDir() + "/netscape")) {
        std::filesystem::create_directories(m_dir / "profile");
        std::filesystem::copy_file(entry.path(), m_strNS);
        SaveTwiceUnchanged(entry.path().filename());
        std::filesystem::remove_all(m_dir / "profile");
    }
}

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

// Removals and renames reach both stores, a shortcut file being found in the
// Favorites folder of its record; nothing else on disk changes. A renamed
// Netscape-only bookmark is exported under the name it had before.
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
        m_view.Named(pszOld)->m_strOrigName = pszOld;
        m_view.Named(pszOld)->m_strName = pszNew;
    }
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    expected.erase("a.url");
    expected.erase("c.url");
    expected["Sub/b2.url"] = expected.extract("Sub/b.url").mapped();
    expected["Sub/e2.url"] = expected.extract("Sub/e.url").mapped();
    expected["Netscape Bookmarks"] = "<dir>";
    expected["Netscape Bookmarks/d.url"] = Shortcut("http://d/");
    expected["Netscape Bookmarks/g.url"] = Shortcut("http://g/");
    EXPECT_EQ(Snapshot(m_strFav), expected);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"b2|1", "d2|2", "d|1", "e2|3", "g|3", "keep|1"}));
}

// A name with a separator, "." or ".." never becomes a path: export and rename
// fail, removal leaves the file, and nothing appears outside the Favorites tree.
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
        CBookmark* pMark = m_view.Named("b" + std::to_string(i));
        pMark->m_strOrigName = pMark->m_strName;
        pMark->m_strName = kNewNames[i];
    }
    for (CBookmark* p : m_view.Bookmarks()) {
        p->m_nFlags |= p->m_strURL == "http://dotdot/" ? BMF_REMOVED : 0;
    }
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    const std::string strNSDir = m_strFav + "/Netscape Bookmarks/";
    std::vector<std::string> messages;
    for (const char* pszPath : {"...url", "../x.url", "./y.url", "a/b.url", "a\\b.url"}) {
        messages.push_back("Cannot create the file \"" + strNSDir + pszPath + "\"");
    }
    std::sort(m_view.m_messages.begin(), m_view.m_messages.end());
    EXPECT_EQ(m_view.m_messages, messages);
    expected["Favorites/Netscape Bookmarks"] = "<dir>";
    expected["Favorites/Netscape Bookmarks/ok.url"] = Shortcut("http://6/");
    expected["profile/bookmark.htm"] = ReadFileBytes(m_strNS);
    EXPECT_EQ(Snapshot(m_dir.Path()), expected);
}

enum class EFault { DirectoryGone, NoFileHandle, FileSizeLimit, NoBackupFileSizeLimit };

// The new Netscape file cannot be created or fully written: the user is told,
// the old file is back byte for byte, and no import follows. That holds too
// when no backup could be made and the file is written over in place.
TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    const std::string strOriginal = NetscapeText(Generate(3, 20, "n", false));
    const struct {
        EFault fault;
        std::vector<std::string> messages;
    } cases[] = {
        {EFault::DirectoryGone, {"Cannot create the file \"" + m_strNS + "\""}},
        {EFault::NoFileHandle, {"Cannot create the file \"" + m_strNS + "\""}},
        {EFault::FileSizeLimit, {"Cannot write the file \"" + m_strNS + "\""}},
        // Without a backup the old file is not written over at all.
        {EFault::NoBackupFileSizeLimit,
         {"Cannot create the file \"" + m_strNS + "." + std::to_string(kNow) + "\""}},
    };
    for (const auto& c : cases) {
        m_dir.Write("profile/bookmark.htm", strOriginal);
        Import();
        const int nImports = m_view.m_nImports;
        rlimit saved{};
        const int nResource = c.fault == EFault::NoFileHandle ? RLIMIT_NOFILE : RLIMIT_FSIZE;
        getrlimit(nResource, &saved);
        rlimit limit = saved;
        if (c.fault == EFault::DirectoryGone) {
            std::filesystem::remove_all(m_dir / "profile");
        } else if (c.fault == EFault::NoFileHandle) {
            const int nFree = open("/dev/null", O_RDONLY);  // the lowest free descriptor
            close(nFree);
            limit.rlim_cur = static_cast<rlim_t>(nFree);
        } else {
            limit.rlim_cur = 100;
        }
        if (c.fault == EFault::NoBackupFileSizeLimit) {
            m_fs.m_failPaths = {m_strNS};  // the rename to the backup fails
        }
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(nResource, &limit);
        m_view.SaveChanges();
        setrlimit(nResource, &saved);
        std::signal(SIGXFSZ, oldHandler);
        m_fs.m_failPaths.clear();
        EXPECT_EQ(m_view.m_messages, c.messages);
        EXPECT_EQ(m_view.m_nImports, nImports);
        if (c.fault == EFault::DirectoryGone) {
            EXPECT_FALSE(std::filesystem::exists(m_dir / "profile"));
        } else {
            EXPECT_EQ(Snapshot(m_dir / "profile"),
                      (std::map<std::string, std::string>{{"bookmark.htm", strOriginal}}));
        }
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
                      strM = "  <DT><A HREF=\"http://m/\">m & co</A>\r\n";
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
