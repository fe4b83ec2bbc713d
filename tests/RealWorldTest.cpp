// The readers on bookmark files written by real browsers. The expectations are
// worked out here from the raw bytes, or are facts recorded about the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>

#include "catalogue/HtmlText.h"
#include "tests/SaveSupport.h"

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

// Whether a tag of this name (given in lower case) starts at p, in any case:
// "<name" and then a blank or ">".
bool TagAt(const std::string& s, std::size_t p, std::string_view strName) {
    if (p + strName.size() + 1 >= s.size() || s[p] != '<') {
        return false;
    }
    for (std::size_t i = 0; i < strName.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[p + 1 + i])) != strName[i]) {
            return false;
        }
    }
    const char c = s[p + 1 + strName.size()];
    return c == '>' || std::isspace(static_cast<unsigned char>(c));
}

// Where the body starts: after the first line holding an <H1> tag; 0 for none.
std::size_t BodyStart(const std::string& strBytes) {
    for (std::size_t p = strBytes.find('<'); p != std::string::npos;
         p = strBytes.find('<', p + 1)) {
        if (TagAt(strBytes, p, "h1")) {
            return strBytes.find('\n', p) + 1;
        }
    }
    return 0;
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
    int nLongNames = 0;
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

        // The head runs to the end of the first line holding an <H1> tag; lines
        // are read with one CR less before each LF.
        const std::size_t nBody = BodyStart(strBytes);
        ASSERT_NE(nBody, 0u);
        EXPECT_TRUE(view.m_bNSHeading);
        std::string strHead;
        for (std::size_t i = 0; i < nBody; ++i) {
            if (!(strBytes[i] == '\r' && strBytes[i + 1] == '\n')) {
                strHead += strBytes[i];
            }
        }
        EXPECT_EQ(view.m_strNSHeader, strHead + "\n");

        // After it, every <A> tag in any case is a bookmark, every <H3> a folder.
        std::vector<std::size_t> anchors;
        int nExpectedFolders = 0;
        for (std::size_t p = strBytes.find('<', nBody); p != std::string::npos;
             p = strBytes.find('<', p + 1)) {
            if (TagAt(strBytes, p, "a")) {
                anchors.push_back(p);
            } else if (TagAt(strBytes, p, "h3")) {
                ++nExpectedFolders;
            }
        }
        ASSERT_EQ(marks.size(), anchors.size());
        EXPECT_EQ(nFolders, nExpectedFolders);
        counts[path.filename().string()] = {static_cast<int>(marks.size()), nFolders};

        // Names come whole from lines of any length: where the anchor's tag
        // holds no quoted ">", its text runs from the tag's ">" to "</A>", and
        // the file gets those bytes back.
        int nChecked = 0;
        for (std::size_t i = 0; i < anchors.size(); ++i) {
            const std::size_t nClose = strBytes.find('>', anchors[i]);
            const std::size_t nNext = strBytes.find('<', anchors[i] + 1);
            const std::string strTag = strBytes.substr(anchors[i], nClose - anchors[i]);
            if (nClose == std::string::npos || nNext < nClose || !TagAt(strBytes, nNext, "/a") ||
                std::count(strTag.begin(), strTag.end(), '"') % 2 != 0 ||
                strTag.find_first_of("'\n") != std::string::npos) {
                continue;
            }
            const CNetscapeExtra* pExtra = marks[i]->NSExtra();
            EXPECT_EQ(pExtra != nullptr && !pExtra->strHtmlName.empty()
                          ? pExtra->strHtmlName.str()
                          : EscapeHtmlName(marks[i]->m_strName),
                      strBytes.substr(nClose + 1, nNext - nClose - 1))
                << strTag.size();
            ++nChecked;
            const std::size_t nLineStart = strBytes.rfind('\n', anchors[i]) + 1;
            const std::size_t nLineEnd = std::min(strBytes.find('\n', nClose), strBytes.size());
            nLongNames += nLineEnd - nLineStart > 1023 ? 1 : 0;
        }
        EXPECT_TRUE(anchors.empty() || nChecked > 0);
    }
    EXPECT_GT(nLongNames, 1000);

    // Facts recorded about the files: bookmarks, folders.
    const std::pair<const char*, std::pair<int, int>> facts[] = {
        {"ns3-navigator-1.htm", {6, 0}},         {"ns4-communicator-1.htm", {1304, 13}},
        {"ns4-communicator-3.htm", {1231, 188}}, {"ie4-mac-export-1.html", {149, 32}},
        {"scuttle-export-1.htm", {4, 0}},        {"firefox-default-bookmarks-1.html", {4, 1}},
        {"icab-hotlist-1.html", {151, 32}},      {"safari-export-1.htm", {3, 5}},
        {"firefox-1x-1.html", {15, 3}},
    };
    for (const auto& [pszFile, count] : facts) {
        EXPECT_EQ(counts[pszFile], count) << pszFile;
    }
}

#ifndef _WIN32
// Each file with a megabyte of bookmarks put before its body, read in two
// parts that meet at lines spread over the body: the records, their folders
// and what only the file carries are those of one reader.
TEST_F(RealWorldTest, NetscapeFilesReadInTwoParts) {
    const CTempDir dir;
    int nSplit = 0;
    for (const auto& entry : fs::directory_iterator(m_strDir + "/netscape")) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string strBytes = ReadFileBytes(entry.path().string());
        const std::size_t nBody = BodyStart(strBytes);
        ASSERT_NE(nBody, 0u);
        std::string strText = strBytes.substr(0, nBody);
        for (int i = 0; strText.size() < nBody + (1200u << 10); ++i) {
            strText += "<DT><A HREF=\"http://filler/" + std::to_string(i) + "\">f</A>\r\n";
        }
        const std::size_t nFirst = strText.size();
        strText += strBytes.substr(nBody);
        dir.Write("bookmark.htm", strText);
        const auto read = [&dir](CTestView& view, std::uint64_t nFrom) {
            view.m_bNetscape = true;
            view.m_strNSFile = dir / "bookmark.htm";
            view.m_nNSSplitFrom = nFrom;
            view.ReadNetscapeFile();
        };
        CTestView one;
        read(one, std::uint64_t{1} << 62);
        ASSERT_EQ(one.m_nNSParts, 1);
        for (int k = 0; k < 5; ++k) {
            const std::uint64_t nFrom = nFirst + (strText.size() - nFirst) * k / 5;
            CTestView split;
            read(split, nFrom);
            nSplit += split.m_nNSParts == 2 ? 1 : 0;
            ASSERT_EQ(DescribeRecords(split), DescribeRecords(one)) << nFrom;
            EXPECT_EQ(split.CheckNetscapeFile(split.m_strNSFile), CTVLDlgBase::SAVE_DONE);
        }
    }
    EXPECT_GT(nSplit, 100);
}
#endif

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

// The attributes and <DD> text that the file carries for a record, after the
// record's folders, name and URL; records without any are left out.
std::vector<std::string> Extras(const CTestView& view) {
    std::vector<std::string> lines;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        const CNetscapeExtra* pExtra = p->NSExtra();
        if (pExtra == nullptr || (pExtra->strAttributes.empty() && !pExtra->bDescription)) {
            continue;
        }
        std::string s = p->m_strName + "|" + p->m_strURL + "|" + pExtra->strAttributes.str();
        for (const CBookmark* f = p->NSFolder(); f != nullptr; f = f->m_pFolder) {
            s.insert(0, f->m_strName + " > ");
        }
        lines.push_back(s + (pExtra->bDescription ? "|<DD>" + pExtra->strDescription.str() : ""));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class RealWorldSaveTest : public SaveTest {
protected:
    void SetUp() override {
        if (RealWorldDir().empty()) {
            GTEST_SKIP() << "no real-world sample files beside the checkout";
        }
        SaveTest::SetUp();
        m_view.m_strFavDir.clear();
    }
};

// Each file saved unchanged as the Netscape store: rows, folders, attributes
// and descriptions read back the same, and a second save writes the same
// bytes. Every attribute and <DD> of the files is written back.
TEST_F(RealWorldSaveTest, UnchangedSaveKeepsAttributesAndDescriptions) {
    auto count = [](std::string s, std::string_view strMark) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        int n = 0;
        for (std::size_t p = s.find(strMark); p != std::string::npos; p = s.find(strMark, p + 1)) {
            ++n;
        }
        return n;
    };
    const char* const kMarks[] = {
        " tags=",    " shortcuturl=", " icon=\"", " personal_toolbar_folder=",
        " feedurl=", " subscribe ",   "<dd>"};
    std::map<std::string, int> totals;
    for (const auto& entry : fs::directory_iterator(RealWorldDir() + "/netscape")) {
        const std::string strFile = entry.path().filename().string();
        SCOPED_TRACE(strFile);
        fs::create_directories(m_dir / "profile");
        fs::copy_file(entry.path(), m_strNS);
        // The samples are read-only, and Windows removes no read-only file.
        fs::permissions(m_strNS, fs::perms::owner_write, fs::perm_options::add);
        Import();
        const std::vector<std::string> extras = Extras(m_view);
        const std::string strSaved = SaveTwiceUnchanged(strFile);
        ASSERT_FALSE(strSaved.empty());
        EXPECT_EQ(Extras(m_view), extras);
        const std::string strOriginal = ReadFileBytes(entry.path().string());
        for (const char* pszMark : kMarks) {
            const int n = count(strOriginal, pszMark);
            EXPECT_EQ(count(strSaved, pszMark), n) << pszMark;
            totals[pszMark] += n;
        }
        fs::remove_all(m_dir / "profile");
    }
    for (const char* pszMark : kMarks) {
        EXPECT_GT(totals[pszMark], 0) << pszMark;
    }
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
            ASSERT_TRUE(GetFileSystem().OpenTextFile(entry.path().string(), reader));
            std::string strURL;
            EXPECT_EQ(CTVLDlgBase::ReadShortcut(reader, strURL), expected.has_value()) << strName;
            EXPECT_EQ(strURL, expected.value_or("")) << strName;
        }
    }
    EXPECT_EQ(nFiles, 9);
}

}  // namespace
