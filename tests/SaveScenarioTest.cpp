// Saves tried as a hostile or unlucky user would: taken names and links in
// the Favorites tree, a Netscape file changed meanwhile or reached through a
// link, folders whose display names are not their directory names, stores
// that hold a bookmark twice, and shapes no browser writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/SaveSupport.h"

namespace {

namespace fs = std::filesystem;

class SaveScenarioTest : public SaveTest {
protected:
    // The whole temporary directory, so that nothing outside the stores can
    // change unseen.
    std::map<std::string, std::string> Everything() const { return Snapshot(m_dir.Path()); }
    CBookmark* WithURL(const std::string& strURL) const {
        for (CBookmark* p : m_view.Bookmarks()) {
            if (p->m_strURL == strURL) {
                return p;
            }
        }
        ADD_FAILURE() << "no bookmark " << strURL;
        return nullptr;
    }
    void Netscape(const std::string& strBody) {
        m_dir.Write("profile/bookmark.htm", kHeader + "<DL><p>\r\n" + strBody + "</DL><p>\r\n");
    }
};

std::string Entry(const std::string& strName, const std::string& strURL) {
    return "<DT><A HREF=\"" + strURL + "\" ADD_DATE=\"7\">" + strName + "</A>\r\n";
}

// std::filesystem makes no symbolic links on Windows.
#ifndef _WIN32
// "Add to IExplorer" meets names that are taken: by a shortcut with another
// URL, by a link to a file outside the tree, and by the other bookmarks of one
// name. Nothing is written over or through; each bookmark gets the next free
// name, the import joins every copy, and the next save creates nothing.
TEST_F(SaveScenarioTest, ExportNeverWritesOverOrThroughAFile) {
    const std::string strNSDir = m_strFav + "/Netscape Bookmarks";
    m_dir.Write("Favorites/Netscape Bookmarks/Foo.url", Shortcut("http://other/"));
    m_dir.Write("outside.txt", "precious");
    fs::create_symlink(m_dir / "outside.txt", strNSDir + "/Bar.url");
    Netscape(Entry("Foo", "http://foo/") + Entry("Bar", "http://bar/") +
             Entry("Same", "http://s1/") + Entry("Same", "http://s2/") +
             Entry("Same", "http://s3/"));
    Import();
    auto expected = Everything();
    expected["profile/bookmark.htm." + std::to_string(kNow)] = expected.at("profile/bookmark.htm");
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    expected["Favorites/Netscape Bookmarks/Foo (2).url"] = Shortcut("http://foo/");
    expected["Favorites/Netscape Bookmarks/Bar (2).url"] = Shortcut("http://bar/");
    std::vector<std::string> files;
    for (const auto& [strPath, strBytes] : Everything()) {
        if (strPath.starts_with("Favorites/Netscape Bookmarks/Same")) {
            files.push_back(strBytes);
            expected[strPath] = strBytes;
        }
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{Shortcut("http://s1/"), Shortcut("http://s2/"),
                                               Shortcut("http://s3/")}));
    expected["profile/bookmark.htm"] = ReadFileBytes(m_strNS);
    EXPECT_EQ(Everything(), expected);
    EXPECT_EQ(Marks(),
              (std::vector<std::string>{"Bar|3", "Foo|1", "Foo|3", "Same|3", "Same|3", "Same|3"}));
    // Saved again, every file stays as it is.
    const auto favorites = Snapshot(m_strFav);
    m_view.m_messages.clear();
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav), favorites);
    EXPECT_EQ(ReadFileBytes(m_dir / "outside.txt"), "precious");
}

// A directory of the tree that is a link to one outside: nothing is created
// or deleted there, whatever Save is asked to do.
TEST_F(SaveScenarioTest, LinkedDirectoriesLeadNowhere) {
    fs::create_directories(m_dir / "elsewhere/Work");
    m_dir.Write("elsewhere/Work/w.url", Shortcut("http://w/"));
    fs::create_directory_symlink(m_dir / "elsewhere", m_strFav + "/Netscape Bookmarks");
    fs::create_directory_symlink(m_dir / "elsewhere/Work", m_strFav + "/Linked");
    Netscape("<DT><H3 ADD_DATE=\"1\">Work</H3>\r\n<DL><p>\r\n" + Entry("n", "http://n/") +
             "</DL><p>\r\n");
    Import();
    const auto outside = Snapshot(m_dir / "elsewhere");
    for (CBookmark* p : m_view.Bookmarks()) {
        if (p->m_strURL == "http://w/") {
            p->m_nFlags |= BMF_REMOVED;  // its file is reached only through a link
        }
    }
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, (std::vector<std::string>{"Cannot create the file \"" + m_strFav +
                                                               "/Netscape Bookmarks\"",
                                                           BackupMessage(kNow)}));
    EXPECT_EQ(Snapshot(m_dir / "elsewhere"), outside);
}
#endif

// The Netscape file changed on disk after it was read: before Save began, or
// while it wrote the new file. Nothing replaces it, no backup is made, the
// Favorites are left alone when Save had not begun, and the list shows what
// is on disk, the other program's bookmark included.
TEST_F(SaveScenarioTest, NothingWrittenMeanwhileIsLost) {
    m_dir.Write("Favorites/f.url", Shortcut("http://f/"));
    const std::string strOriginal = kHeader + "<DL><p>\r\n" + Entry("n", "http://n/") + "</DL>\r\n";
    const std::string strAdded = kHeader + "<DL><p>\r\n" + Entry("n", "http://n/") +
                                 Entry("new", "http://new/") + "</DL>\r\n";
    // Same size, same time: only the content tells.
    const std::string strSameSize = kHeader + "<DL><p>\r\n" + Entry("m", "http://n/") + "</DL>\r\n";
    const std::string strChanged =
        "Your Netscape bookmark file has changed since it was read, so it was not replaced: \"" +
        m_strNS + "\". The list now shows the bookmarks as they are; make your changes again.";
    const struct {
        const char* pszName;
        std::string strOther;
        bool bWhileWriting;
    } cases[] = {
        {"added before", strAdded, false},
        {"same size and time", strSameSize, false},
        {"added while writing", strAdded, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_dir.Write("profile/bookmark.htm", strOriginal);
        // Whole seconds, which every system sets again exactly.
        ASSERT_TRUE(SetFileTimes(m_strNS, 1'100'000'000, 1'200'000'000));
        Import();
        const int nImports = m_view.m_nImports;
        WithURL("http://f/")->m_nFlags |= BMF_REMOVED;
        auto write = [&] {
            m_dir.Write("profile/bookmark.htm", c.strOther);
            EXPECT_TRUE(SetFileTimes(m_strNS, 1'100'000'000, 1'200'000'000));
        };
        if (c.bWhileWriting) {
            m_fs.m_onFlush = write;
        } else {
            write();
        }
        m_view.SaveChanges();
        m_fs.m_onFlush = nullptr;
        EXPECT_EQ(m_view.m_messages, std::vector<std::string>{strChanged});
        EXPECT_EQ(Snapshot(m_dir / "profile"),
                  (std::map<std::string, std::string>{{"bookmark.htm", c.strOther}}));
        EXPECT_EQ(m_view.m_nImports, nImports + 1);
        EXPECT_EQ(fs::exists(m_strFav + "/f.url"), !c.bWhileWriting);
        EXPECT_NE(m_view.Named(c.strOther == strSameSize ? "m" : "new"), nullptr);
        fs::remove(m_strFav + "/f.url");
        m_dir.Write("Favorites/f.url", Shortcut("http://f/"));
    }
}

// The import after a Save shows the Favorites as the Save left them, walked
// while it wrote the Netscape file; when discovery then finds other
// Favorites, those are read. A Save that fails leaves the old list.
TEST_F(SaveScenarioTest, ImportAfterSaveReadsTheFavoritesItFinds) {
    m_dir.Write("Favorites/f.url", Shortcut("http://f/"));
    m_dir.Write("Favorites/g.url", Shortcut("http://g/"));
    m_dir.Write("Other/o.url", Shortcut("http://o/"));
    Netscape(Entry("n", "http://n/"));
    Import();
    WithURL("http://f/")->m_nFlags |= BMF_REMOVED;
    m_view.SaveChanges();
    const auto urls = [&] {
        std::vector<std::string> found;
        for (const CBookmark* p : m_view.Bookmarks()) {
            if ((p->m_nFlags & BMF_FOLDER) == 0) {
                found.push_back(p->m_strURL.str());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://g/", "http://n/"}));
    m_view.m_strFavDir = m_dir / "Other";
    m_view.SaveChanges();
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://n/", "http://o/"}));
    EXPECT_EQ(m_view.m_strFavorites, m_dir / "Other");
    WithURL("http://o/")->m_nFlags |= BMF_REMOVED;
    m_fs.m_nFailWriteAt = 0;
    m_view.SaveChanges();
    m_fs.m_nFailWriteAt.reset();
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://n/"}));
    EXPECT_FALSE(fs::exists(m_dir / "Other/o.url"));
    m_dir.Write("Other/p.url", Shortcut("http://p/"));
    Import();
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://n/", "http://p/"}));
}

// Favorites folders are found by their directory names, not their titles: a
// removal in "Work.2000" deletes Work.2000/x.url and never Work/x.url. The
// demo's own Work.2000 folder too: its bookmark is removed or renamed there.
TEST_F(SaveScenarioTest, RemovalInADottedFolderHitsItsOwnFile) {
    m_dir.Write("Favorites/Work.2000/x.url", Shortcut("http://a/"));
    m_dir.Write("Favorites/Work/x.url", Shortcut("http://b/"));
    m_view.m_strNSPath.clear();
    Import();
    WithURL("http://a/")->m_nFlags |= BMF_REMOVED;
    auto expected = Everything();
    expected.erase("Favorites/Work.2000/x.url");
    m_view.SaveChanges();
    EXPECT_EQ(Everything(), expected);

    fs::remove_all(m_strFav);
    fs::copy(std::string(TAVREL_SAMPLES_DIR) + "/Favorites", m_strFav, fs::copy_options::recursive);
    for (const bool bRemove : {false, true}) {
        Import();
        CBookmark* pMark = m_view.Named(bRemove ? "Times" : "Timesheets");
        ASSERT_NE(pMark, nullptr);
        ASSERT_EQ(pMark->m_pFolder->m_strName, "Work");
        expected = Everything();
        const std::string strText = expected.at(bRemove ? "Favorites/Work.2000/Times.url"
                                                        : "Favorites/Work.2000/Timesheets.url");
        if (bRemove) {
            pMark->m_nFlags |= BMF_REMOVED;
            expected.erase("Favorites/Work.2000/Times.url");
        } else {
            m_view.RenameBookmark(*pMark, "Times");
            expected.erase("Favorites/Work.2000/Timesheets.url");
            expected["Favorites/Work.2000/Times.url"] = strText;
        }
        m_view.SaveChanges();
        EXPECT_EQ(Everything(), expected);
    }
}

// A bookmark held by both stores whose names differ in letter case, and files
// whose extension is upper case: Remove and Rename reach the file on disk,
// and the next "Add to Netscape" brings nothing back.
TEST_F(SaveScenarioTest, NamesInOtherLetterCaseReachTheirFile) {
    m_dir.Write("Favorites/d1.url", Shortcut("http://d/"));
    m_dir.Write("Favorites/X.URL", Shortcut("http://x/"));
    m_dir.Write("Favorites/Sub/e1.Url", Shortcut("http://e/"));
    Netscape(Entry("D1", "http://d/") + Entry("E1", "http://e/"));
    Import();
    ASSERT_EQ(Marks(), (std::vector<std::string>{"X|1", "d1|3", "e1|3"}));
    WithURL("http://d/")->m_nFlags |= BMF_REMOVED;
    m_view.RenameBookmark(*WithURL("http://x/"), "Y");
    m_view.RenameBookmark(*WithURL("http://e/"), "E2");
    m_view.m_bAddNetscape = true;
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav),
              (std::map<std::string, std::string>{{"Y.URL", Shortcut("http://x/")},
                                                  {"Sub", "<dir>"},
                                                  {"Sub/E2.Url", Shortcut("http://e/")}}));
    EXPECT_EQ(Marks(), (std::vector<std::string>{"E2|3", "Y|3"}));
    const auto favorites = Snapshot(m_strFav);
    m_view.SaveChanges();
    const std::string strFile = ReadFileBytes(m_strNS);
    m_view.SaveChanges();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"E2|3", "Y|3"}));
    EXPECT_EQ(ReadFileBytes(m_strNS), strFile);
    EXPECT_EQ(Snapshot(m_strFav), favorites);
}

// Windows has no permission bits, and std::filesystem makes no symbolic links there.
#ifndef _WIN32
// The new Netscape file keeps the old one's permission bits, owner and group;
// a file reached through a symbolic link is replaced and backed up where it
// is, and the link stays a link.
TEST_F(SaveScenarioTest, ModeOwnerAndLinksStay) {
    const std::string strText = kHeader + "<DL><p>\r\n" + Entry("n", "http://n/") + "</DL>\r\n";
    const bool bRoot = geteuid() == 0;
    for (const mode_t nMode : {0600, 0444, 0640, 0604}) {
        SCOPED_TRACE(nMode);
        m_dir.Write("profile/bookmark.htm", strText);
        chmod(m_strNS.c_str(), nMode);
        if (bRoot) {
            ASSERT_EQ(chown(m_strNS.c_str(), 4321, 4322), 0);
        }
        Import();
        m_view.SaveChanges();
        struct stat st {};
        ASSERT_EQ(stat(m_strNS.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, nMode);
        if (bRoot) {
            EXPECT_EQ(st.st_uid, 4321u);
            EXPECT_EQ(st.st_gid, 4322u);
        }
        EXPECT_EQ(ReadFileBytes(Backup(kNow)), strText);
        fs::remove_all(m_dir / "profile");
    }

    m_dir.Write("real/bm.htm", strText);
    fs::create_directories(m_dir / "profile");
    fs::create_symlink("../real/bm.htm", m_strNS);
    Import();
    WithURL("http://n/")->m_nFlags |= BMF_REMOVED;
    m_view.SaveChanges();
    EXPECT_TRUE(fs::is_symlink(m_strNS));
    EXPECT_EQ(fs::read_symlink(m_strNS), "../real/bm.htm");
    const std::string strBackup =
        (fs::canonical(m_dir / "real") / "bm.htm").string() + "." + std::to_string(kNow);
    EXPECT_EQ(m_view.m_messages,
              std::vector<std::string>{
                  "Backup copy of your Netscape bookmark file was created: \"" + strBackup + "\""});
    EXPECT_EQ(ReadFileBytes(strBackup), strText);
    EXPECT_EQ(ReadFileBytes(m_dir / "real/bm.htm"), kHeader + "<DL><p>\r\n</DL>\r\n");
    EXPECT_EQ(Snapshot(m_dir / "profile").size(), 1u);
}
#endif

// The generated Favorites hold names that differ only in letter case, which
// Windows takes for one name, and names it cannot hold.
#ifndef _WIN32
// The rows as "name|origin" with the names in lower case: which of two copies
// that differ in letter case is shown follows the order of the file read.
std::vector<std::string> Folded(std::vector<std::string> marks) {
    for (std::string& str : marks) {
        std::transform(str.begin(), str.end(), str.begin(), [](char c) { return FoldLower(c); });
    }
    std::sort(marks.begin(), marks.end());
    return marks;
}

// Stores that hold bookmarks twice, in either store or in both, with names
// in other letter case: after one two-way save, further ones create no file
// and write the same Netscape file, and the rows stay.
TEST_F(SaveScenarioTest, TwoWaySavesSettle) {
    std::vector<CEntry> favorites = Generate(11, 30, "f", true);
    std::vector<CEntry> netscape = Generate(12, 30, "n", true);
    for (int i = 0; i < 10; ++i) {
        CEntry twice = favorites[static_cast<std::size_t>(i)];
        twice.folders = {"Again"};
        favorites.push_back(twice);
        CEntry shared = twice;
        for (char& c : shared.strName) {
            c = i % 2 == 0 ? FoldUpper(c) : c;
        }
        netscape.push_back(shared);
        netscape.push_back(netscape[static_cast<std::size_t>(i)]);
    }
    WriteFavorites(favorites);
    m_dir.Write("profile/bookmark.htm", NetscapeText(netscape));
    m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
    Import();
    m_view.SaveChanges();
    const std::vector<std::string> rows = Marks();
    std::vector<std::string> lastRows;
    std::string strLast;
    for (int nSave = 2; nSave <= 4; ++nSave) {
        SCOPED_TRACE(nSave);
        const auto favoritesBefore = Snapshot(m_strFav);
        m_fs.m_tNow += 10;
        m_view.SaveChanges();
        EXPECT_EQ(Snapshot(m_strFav), favoritesBefore);
        EXPECT_EQ(Folded(Marks()), Folded(rows));
        if (nSave > 2) {
            EXPECT_EQ(Marks(), lastRows);
            EXPECT_EQ(ReadFileBytes(m_strNS), strLast);
        }
        lastRows = Marks();
        strLast = ReadFileBytes(m_strNS);
    }
    EXPECT_EQ(strLast.find(">IExplorer "), strLast.rfind(">IExplorer "));
}
#endif

// The Favorites tree of Windows 7 and a Communicator file, both boxes ticked:
// the rows and the files stay the same from the second save on.
TEST_F(SaveScenarioTest, TwoWaySavesSettleOnRealStores) {
    const std::string strReal = RealWorldDir();
    if (strReal.empty()) {
        GTEST_SKIP() << "no real-world files";
    }
    fs::remove_all(m_strFav);
    fs::copy(strReal + "/url/favorites-win7-tree-1", m_strFav, fs::copy_options::recursive);
    fs::create_directories(m_dir / "profile");
    fs::copy_file(strReal + "/netscape/ns4-communicator-3.htm", m_strNS);
    m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
    Import();
    m_view.SaveChanges();
    // Of names that differ only in letter case, which one a joined row shows
    // follows the order the directory lists the new files in: after the
    // first save the rows stay the same but for that, after the second
    // exactly.
    const auto folded = [](std::vector<std::string> rows) {
        for (std::string& strRow : rows) {
            strRow = FoldedLower(strRow);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    std::vector<std::string> rows = Marks();
    std::string strBefore;
    for (int nSave = 2; nSave <= 3; ++nSave) {
        const auto favoritesBefore = Snapshot(m_strFav);
        m_fs.m_tNow += 10;
        m_view.SaveChanges();
        EXPECT_EQ(Snapshot(m_strFav), favoritesBefore) << nSave;
        if (nSave == 2) {
            EXPECT_EQ(folded(Marks()), folded(rows));
        } else {
            EXPECT_EQ(Marks(), rows);
            EXPECT_EQ(ReadFileBytes(m_strNS), strBefore);
        }
        rows = Marks();
        strBefore = ReadFileBytes(m_strNS);
    }
}

// A Netscape folder without a name adds no directory level: its bookmark is
// exported on the first save, and joined at the next import.
TEST_F(SaveScenarioTest, FolderWithoutANameExports) {
    Netscape("<DT><H3 ADD_DATE=\"1\"></H3>\r\n<DL><p>\r\n" + Entry("in", "http://in/") +
             "<DT><H3 ADD_DATE=\"2\">Sub</H3>\r\n<DL><p>\r\n" + Entry("deeper", "http://d/") +
             "</DL><p>\r\n</DL><p>\r\n");
    Import();
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    EXPECT_EQ(Snapshot(m_strFav + "/Netscape Bookmarks"),
              (std::map<std::string, std::string>{{"in.url", Shortcut("http://in/")},
                                                  {"Sub", "<dir>"},
                                                  {"Sub/deeper.url", Shortcut("http://d/")}}));
    EXPECT_EQ(Marks(), (std::vector<std::string>{"deeper|3", "in|3"}));
}

// A million nested folders: read as deep as the limit allows, saved without
// a crash, and the file written grows with what was read, not with its square.
TEST_F(SaveScenarioTest, MillionNestedFolders) {
    constexpr int kLevels = 1'000'000;
    std::string strBody;
    strBody.reserve(static_cast<std::size_t>(kLevels) * 48);
    for (int i = 0; i < kLevels; ++i) {
        strBody += "<DT><H3 ADD_DATE=\"1\">f</H3>\r\n<DL><p>\r\n";
    }
    strBody += Entry("bottom", "http://bottom/");
    for (int i = 0; i < kLevels; ++i) {
        strBody += "</DL><p>\r\n";
    }
    Netscape(strBody);
    strBody.clear();
    strBody.shrink_to_fit();
    const auto nRead = fs::file_size(m_strNS);
    m_view.m_strFavDir.clear();
    Import();
    const int nRecords = m_view.m_bookmarks.GetSize();
    ASSERT_EQ(nRecords, kLevels + 2);
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    EXPECT_LT(fs::file_size(m_strNS), 8 * nRead);
    EXPECT_EQ(m_view.m_bookmarks.GetSize(), nRecords);
    ASSERT_NE(m_view.Named("bottom"), nullptr);
}

// The Windows calls that the program uses take no path longer than MAX_PATH.
#ifndef _WIN32
// Paths longer than PATH_MAX below the Favorites directory: the bookmark
// there is read, exported into such a path, joined at the next import, and
// removed again.
TEST_F(SaveScenarioTest, PathsLongerThanPathMax) {
    const std::string strLong(250, 'L');
    std::string strBody;
    for (int i = 0; i < 20; ++i) {
        strBody += "<DT><H3 ADD_DATE=\"1\">" + strLong + "</H3>\r\n<DL><p>\r\n";
    }
    strBody += Entry("deep", "http://deep/");
    for (int i = 0; i < 20; ++i) {
        strBody += "</DL><p>\r\n";
    }
    Netscape(strBody);
    Import();
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    EXPECT_EQ(Marks(), std::vector<std::string>{"deep|3"});
    m_view.Named("deep")->m_nFlags |= BMF_REMOVED;
    m_view.SaveChanges();
    EXPECT_EQ(Marks(), std::vector<std::string>{});
}
#endif

}  // namespace
