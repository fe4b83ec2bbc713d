// Stores in a temporary directory for the tests of Save: a view that finds
// them there, generated stores, and snapshots of what is on disk.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <random>

#include "tests/TestSupport.h"

// Finds the stores where the test put them, records messages and import runs,
// and answers the selection and the two boxes as the test chooses.
class CSaveView : public CTestView {
public:
    std::string m_strFavDir, m_strNSPath;  // empty: the store is not there
    bool m_bAddExplorer = false, m_bAddNetscape = false;
    int m_nImports = 0;
    std::vector<std::pair<std::size_t, std::size_t>> m_progress;  // done, total
    void SaveProgress(std::size_t nDone, std::size_t nTotal) override {
        m_progress.emplace_back(nDone, nTotal);
    }
    void DetectStores() override {
        ++m_nImports;
        m_bMSIE = !m_strFavDir.empty();
        m_strFavorites = m_strFavDir;
        m_bNetscape = !m_strNSPath.empty();
        m_strNSFile = m_strNSPath;
    }
    CExportChoice GetExportChoice() const override { return {m_bAddExplorer, m_bAddNetscape}; }
};

// Local time is UTC while it lives.
class CUtcGuard {
public:
    CUtcGuard() {
        SetEnv("TZ", "UTC");
        tzset();
    }
    ~CUtcGuard() { tzset(); }

private:
    CEnvironmentGuard m_env{{"TZ"}};
};

inline const std::string kHeader =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n\r\n";
constexpr CTime kNow = 1'000'000'000;  // 2001-09-09 01:46:40 UTC

inline std::string Shortcut(const std::string& strURL) {
    return "[InternetShortcut]\r\nURL=" + strURL + "\r\n";
}

// Every file and directory below a directory, named with "/" on every
// system, with the bytes of the files.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        entries[std::filesystem::relative(entry.path(), dir).generic_string()] =
            entry.is_directory() ? "<dir>" : ReadFileBytes(entry.path().string());
    }
    return entries;
}

// One line per record below a root: kind, folder names, name, URL, dates, origin.
inline std::vector<std::string> Describe(const CTestView& view) {
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
inline std::vector<CEntry> Generate(unsigned nSeed, int nCount, const std::string& strTag,
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
inline std::string NetscapeText(const std::vector<CEntry>& entries) {
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
    // Saves with the disk full at byte nAt of the new file: the old file stays
    // byte for byte, alone, and no backup is claimed.
    void ExpectFullDiskKeeps(const std::string& strOriginal, std::uint64_t nAt) {
        m_dir.Write("profile/bookmark.htm", strOriginal);
        std::filesystem::remove(Backup(kNow));
        Import();
        m_fs.m_nFailWriteAt = nAt;
        m_view.SaveChanges();
        m_fs.m_nFailWriteAt.reset();
        ASSERT_EQ(m_view.m_messages,
                  std::vector<std::string>{"Cannot write the file \"" + m_strNS + "\""})
            << nAt;
        ASSERT_EQ(Snapshot(m_dir / "profile"),
                  (std::map<std::string, std::string>{{"bookmark.htm", strOriginal}}))
            << nAt;
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
