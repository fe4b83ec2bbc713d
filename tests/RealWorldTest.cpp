// The readers on bookmark files written by real browsers. The expectations are
// worked out here from the raw bytes, or are facts recorded about the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "tests/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// The file's lines as a Windows text reader sees them: split at LF, without it.
std::vector<std::string> Lines(const std::string& strBytes) {
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    while (nStart < strBytes.size()) {
        std::size_t nEnd = strBytes.find('\n', nStart);
        nEnd = nEnd == std::string::npos ? strBytes.size() : nEnd;
        lines.push_back(strBytes.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return lines;
}

std::string TrimLineEnd(std::string s) {
    while (!s.empty() && s.back() == '\r') {
        s.pop_back();
    }
    return s;
}

// The URL of the first "[InternetShortcut]" line directly followed by "URL=".
std::optional<std::string> ShortcutURL(const std::string& strBytes) {
    const auto lines = Lines(strBytes);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].find("[InternetShortcut]") != std::string::npos &&
            lines[i + 1].starts_with("URL=")) {
            return TrimLineEnd(lines[i + 1].substr(4));
        }
    }
    return std::nullopt;
}

class RealWorldTest : public testing::Test {
protected:
    std::string m_strDir;
    void SetUp() override {
        m_strDir = RealWorldDir();
        if (m_strDir.empty()) {
            GTEST_SKIP() << "no real-world sample files beside the checkout";
        }
    }
};

TEST_F(RealWorldTest, NetscapeFiles) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(m_strDir + "/netscape")) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 29u);
    std::map<std::string, std::pair<int, int>> counts;  // bookmarks, folders
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string strBytes = ReadFileBytes(path.string());
        CTestView view;
        view.m_bNetscape = true;
        view.m_strNSFile = path.string();
        view.ReadNetscapeFile();
        EXPECT_TRUE(view.m_missingCalls.empty());
        ASSERT_GE(view.m_bookmarks.GetSize(), 1);
        EXPECT_EQ(view.BookmarkAt(0)->m_nFlags, BMF_FOLDER | BMF_NETSCAPE);
        std::vector<const CBookmark*> marks;
        int nFolders = 0;
        for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
            const CBookmark* p = view.BookmarkAt(i);
            ASSERT_NE(p->m_pFolder, nullptr);
            ASSERT_LT(view.m_bookmarks.IndexOf(p->m_pFolder), i);
            if (p->m_nFlags & BMF_FOLDER) {
                ++nFolders;
            } else {
                marks.push_back(p);
            }
        }

        // After the "<H1>" line, a line with " HREF=" is a bookmark, else one
        // with " ADD_DATE=" a folder.
        const auto lines = Lines(strBytes);
        const auto itH1 = std::find_if(lines.begin(), lines.end(), [](const std::string& s) {
            return s.find("<H1>") != std::string::npos;
        });
        std::vector<std::string> hrefLines;
        int nExpectedFolders = 0;
        for (auto it = itH1 == lines.end() ? itH1 : itH1 + 1; it < lines.end(); ++it) {
            if (it->find(" HREF=") != std::string::npos) {
                hrefLines.push_back(TrimLineEnd(*it));
            } else if (it->find(" ADD_DATE=") != std::string::npos) {
                ++nExpectedFolders;
            }
        }
        ASSERT_EQ(marks.size(), hrefLines.size());
        EXPECT_EQ(nFolders, nExpectedFolders);
        counts[path.filename().string()] = {static_cast<int>(marks.size()), nFolders};
        // Names come whole from lines of any length: where the anchor's tag holds
        // no other "<" or ">", its text runs from the tag's ">" to "</A>".
        int nChecked = 0;
        for (std::size_t i = 0; i < hrefLines.size(); ++i) {
            const std::string& t = hrefLines[i];
            const std::size_t p = t.find(" HREF=");
            if (!t.ends_with("</A>")) {
                continue;
            }
            const std::string strTag = t.substr(p, t.size() - 4 - p);
            if (std::count(strTag.begin(), strTag.end(), '>') != 1 ||
                strTag.find('<') != std::string::npos) {
                continue;
            }
            ++nChecked;
            EXPECT_EQ(marks[i]->m_strName, strTag.substr(strTag.find('>') + 1)) << t.size();
        }
        EXPECT_TRUE(hrefLines.empty() || nChecked > 0);
    }

    // Facts recorded about the files.
    EXPECT_EQ(counts["ns3-navigator-1.htm"].first, 6);
    EXPECT_EQ(counts["ns4-communicator-1.htm"].first, 1304);
    EXPECT_EQ(counts["ns4-communicator-3.htm"], std::make_pair(1231, 188));
    for (const char* pszNoH1 :
         {"ie4-mac-export-1.html", "scuttle-export-1.htm", "firefox-default-bookmarks-1.html"}) {
        EXPECT_EQ(counts[pszNoH1], std::make_pair(0, 0)) << pszNoH1;
    }
}

TEST_F(RealWorldTest, NetscapeNamesAndDates) {
    // The number of records of the file that pass the test.
    auto count = [&](const char* pszFile, auto pred) {
        CTestView view;
        view.m_bNetscape = true;
        view.m_strNSFile = m_strDir + "/netscape/" + pszFile;
        view.ReadNetscapeFile();
        int n = 0;
        for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
            n += pred(*view.BookmarkAt(i)) ? 1 : 0;
        }
        return n;
    };
    auto emptyName = [](const CBookmark& m) {
        return !(m.m_nFlags & BMF_FOLDER) && m.m_strName.empty();
    };
    // A raw "<" in the anchor text ends the name.
    EXPECT_EQ(count("ns4-communicator-1.htm",
                    [](const CBookmark& m) { return m.m_strName.ends_with("Retail."); }),
              1);
    EXPECT_EQ(count("ns4-communicator-1.htm", emptyName), 3);
    EXPECT_EQ(count("ns4-communicator-3.htm", emptyName), 62);
    // Microseconds, on a folder heading and on a bookmark.
    EXPECT_EQ(count("google-bookmarks-export-1.htm",
                    [](const CBookmark& m) { return m.m_tAdded == 1523996194943160; }),
              2);
    EXPECT_EQ(count("firefox-export-4-large.html",
                    [](const CBookmark& m) { return m.m_tAdded == 2147483647; }),
              6);
}

// Every shortcut whose section line is directly followed by "URL=" is a bookmark
// in its directory; nothing else is: not the two Bing.url with IDList= first, the
// one without URL=, nor the two empty files of the IE11 tree.
TEST_F(RealWorldTest, FavoritesTrees) {
    const std::pair<const char*, int> trees[] = {{"favorites-win7-tree-1/Favorites", 43},
                                                 {"favorites-ie11-tree-2", 526},
                                                 {"favorites-win10-tree-3/Favorites", 0}};
    for (const auto& [pszTree, nBookmarks] : trees) {
        SCOPED_TRACE(pszTree);
        const std::string strRoot = m_strDir + "/url/" + pszTree;
        std::vector<std::string> expected = {"F|" + strRoot};
        for (const auto& entry : fs::recursive_directory_iterator(strRoot)) {
            const std::string strParent = entry.path().parent_path().string();
            if (entry.is_directory()) {
                expected.push_back("F|" + entry.path().string());
            } else if (const auto url = ShortcutURL(ReadFileBytes(entry.path().string()))) {
                expected.push_back("B|" + strParent + "|" + entry.path().stem().string() + "|" +
                                   *url);
            }
        }
        CTestView view;
        view.m_bMSIE = true;
        view.m_strFavorites = strRoot;
        view.ReadFavorites();
        EXPECT_TRUE(view.m_missingCalls.empty());
        std::vector<std::string> actual;
        for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
            const CBookmark* p = view.BookmarkAt(i);
            actual.push_back((p->m_nFlags & BMF_FOLDER) ? "F|" + p->m_strURL
                                                        : "B|" + p->m_pFolder->m_strURL + "|" +
                                                              p->m_strName + "|" + p->m_strURL);
        }
        EXPECT_EQ(static_cast<int>(view.Bookmarks().size()), nBookmarks);
        std::sort(actual.begin(), actual.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(actual, expected);
    }
}

// The single files: all but the CR-only one and the one with IDList= first hold
// a usable URL line.
TEST_F(RealWorldTest, SingleShortcutFiles) {
    int nFiles = 0;
    for (const auto& entry : fs::directory_iterator(m_strDir + "/url")) {
        const std::string strName = entry.path().filename().string();
        if (entry.is_regular_file()) {
            ++nFiles;
            const auto expected = ShortcutURL(ReadFileBytes(entry.path().string()));
            EXPECT_EQ(expected.has_value(),
                      strName != "mac-cr-only-1.url" && strName != "win10-idlist-first-1.url");
            CTextFileReader reader;
            ASSERT_TRUE(GetPosixFileSystem().OpenTextFile(entry.path().string(), reader));
            std::string strURL;
            EXPECT_EQ(CTVLDlgBase::ReadShortcut(reader, strURL), expected.has_value()) << strName;
            EXPECT_EQ(strURL, expected.value_or("")) << strName;
        }
    }
    EXPECT_EQ(nFiles, 9);
}

}  // namespace
