#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "tests/TestSupport.h"

using namespace std::string_literals;

namespace {

// One line per record: "F|name|folder|added" or "B|name|folder|url|added/visited/modified".
// The folder is named by its name; "-" means none. A wrong flag set shows as "?".
std::vector<std::string> Describe(const CTestView& view) {
    std::vector<std::string> lines;
    for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        const bool bFolder = p->m_nFlags == (BMF_FOLDER | BMF_NETSCAPE);
        std::string s = bFolder ? "F|" : (p->m_nFlags == BMF_NETSCAPE ? "B|" : "?|");
        s += p->m_strName + "|" + (p->m_pFolder != nullptr ? p->m_pFolder->m_strName : "-") + "|";
        lines.push_back(s + (bFolder ? std::to_string(p->m_tAdded)
                                     : p->m_strURL + "|" + std::to_string(p->m_tAdded) + "/" +
                                           std::to_string(p->m_tVisited) + "/" +
                                           std::to_string(p->m_tModified)));
    }
    return lines;
}

// Reads strText as a whole Netscape file through the stream reader.
void ReadText(CTestView& view, const std::string& strText) {
    auto* pRoot = new CBookmark;
    pRoot->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
    view.m_bookmarks.Add(pRoot);
    CTextFileReader reader;
    reader.AttachMemory(strText.data(), strText.size());
    view.ReadNetscapeStream(reader, pRoot);
}

const std::string kHead = "<TITLE>T</TITLE>\r\n<H1>T</H1>\r\n\r\n<DL><p>\r\n";

struct CGrammarCase {
    const char* pszName;
    std::string strBody;  // follows kHead
    std::vector<std::string> expected;
};

const std::string kLongName(300, 'n');
const std::string kLongURL = "http://long.example/" + std::string(280, 'u');

const CGrammarCase kGrammarCases[] = {
    {"Dates",
     "<DT><A HREF=\"http://a/\" ADD_DATE=\"100\" LAST_VISIT=\"200\" LAST_MODIFIED=\"300\">A</A>\n"
     "<DT><A HREF=\"http://b/\">B</A>\n"
     "<A HREF=\"http://c/\" ADD_DATE=\"4102444800\" LAST_VISIT=\"1234567890123456\" "
     "LAST_MODIFIED=\"99999999999999999999999\">C</A>\n"
     "<A HREF=\"http://d/\" ADD_DATE=\"abc\" LAST_VISIT=\"-5\" LAST_MODIFIED=\"\">D</A>",
     {"B|A||http://a/|100/200/300", "B|B||http://b/|0/0/0",
      "B|C||http://c/|4102444800/1234567890123456/" +
          std::to_string(std::numeric_limits<CTime>::max()),
      "B|D||http://d/|0/0/0"}},
    {"FolderHoldsItsListOnly",
     "<DT><H3 ADD_DATE=\"100\">Tools</H3>\n<DL><p>\n<DT><A HREF=\"http://t/\">In</A>\n"
     "</DL><p>\n<DT><A HREF=\"http://o/\">Out</A>\n"
     "<DT><H3 FOLDED PERSONAL_TOOLBAR_FOLDER=\"true\" ADD_DATE=\"7\">Bar</H3>\n",
     {"F|Tools||100", "B|In|Tools|http://t/|0/0/0", "B|Out||http://o/|0/0/0", "F|Bar||7"}},
    {"BytesKept",
     "<DT><A HREF=\"http://e/?a=1&amp;b=2\">  Fish &amp; Chips &#39;n&#39; </A>\n"
     "<A HREF=\"http://n\0l/\">a\0b</A>\n"s,
     {"B|  Fish &amp; Chips &#39;n&#39; ||http://e/?a=1&amp;b=2|0/0/0",
      "B|a\0b||http://n\0l/|0/0/0"s}},
    {"LowerCaseNotRecognised",
     "<DT><H3 ADD_DATE=\"1\">F</H3>\n<DL><p>\n<dt><a href=\"http://l/\">low</a>\n"
     "<dt><h3 add_date=\"2\">lowf</h3>\n</dl><p>\n<DT><A HREF=\"http://u/\">Up</A>\n",
     {"F|F||1", "B|Up|F|http://u/|0/0/0"}},
    {"HeadingWithoutAddDate",
     "<DT><H3 ADD_DATE=\"1\">Outer</H3>\n<DL><p>\n<DT><H3 FOLDED>NoDate</H3>\n<DL><p>\n"
     "<DT><A HREF=\"http://1/\">one</A>\n</DL><p>\n<DT><A HREF=\"http://2/\">two</A>\n</DL><p>\n",
     {"F|Outer||1", "B|one|Outer|http://1/|0/0/0", "B|two||http://2/|0/0/0"}},
    {"BookmarkAndListEndOnOneLine",
     "<DT><H3 ADD_DATE=\"1\">F</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\">a</A></DL><p>\n"
     "<DT><A HREF=\"http://b/\">b</A>\n",
     {"F|F||1", "B|a|F|http://a/|0/0/0", "B|b|F|http://b/|0/0/0"}},
    {"EntriesAfterOutermostListGoToRoot",
     "<DT><A HREF=\"http://in/\">in</A>\n</DL><p>\n<DT><A HREF=\"http://after/\">after</A>\n"
     "</DL>\n</DL>\n<DT><H3 ADD_DATE=\"5\">Late</H3>\n<DL><p>\n"
     "<DT><A HREF=\"http://late/\">late</A>\n</DL>\n<DT><A HREF=\"http://last/\">last</A>\n",
     {"B|in||http://in/|0/0/0", "B|after||http://after/|0/0/0", "F|Late||5",
      "B|late|Late|http://late/|0/0/0", "B|last||http://last/|0/0/0"}},
    {"UnclosedValuesRunToLineEnd",
     "<DT><A HREF=\"http://open/path\r\n<DT><A HREF=\"http://x/\" ADD_DATE=\"1\">To the end\r\r\n"
     "<DT><A HREF=\"\" ADD_DATE=\"3\"></A>\n",
     {"B|||http://open/path|0/0/0", "B|To the end||http://x/|1/0/0", "B||||3/0/0"}},
    {"LongValuesKeptWhole",
     "<DT><A HREF=\"" + kLongURL + "\" ADD_DATE=\"9\" ICON=\"data:image/png;base64," +
         std::string(70000, 'Q') + "\">" + kLongName + "</A>\n",
     {"B|" + kLongName + "||" + kLongURL + "|9/0/0"}},
};

class NetscapeGrammarTest : public testing::TestWithParam<CGrammarCase> {};

TEST_P(NetscapeGrammarTest, Records) {
    CTestView view;
    ReadText(view, kHead + GetParam().strBody);
    EXPECT_EQ(Describe(view), GetParam().expected);
    EXPECT_EQ(view.m_strNSHeader, "<TITLE>T</TITLE>\n<H1>T</H1>\n\n");
}

INSTANTIATE_TEST_SUITE_P(NetscapeLines, NetscapeGrammarTest, testing::ValuesIn(kGrammarCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(NetscapeHeaderTest, HeadEndsAtFirstH1Line) {
    struct {
        std::string strText, strHeader;
        std::size_t nRecords;
    } const cases[] = {
        {"<!DOCTYPE x>\r\n<H1>A</H1><DT><A HREF=\"http://h/\">h</A>\r\n<H1>B</H1>\r\n"
         "<A HREF=\"http://i/\">i</A>\r\n",
         "<!DOCTYPE x>\n<H1>A</H1><DT><A HREF=\"http://h/\">h</A>\n\n", 2},
        // No "<H1>": the whole file is head, and nothing is read as a record.
        {"<h1>x</h1>\n<H1 CLASS=\"a\">y</H1>\n<DT><A HREF=\"http://n/\">n</A>\n</DL>",
         "<h1>x</h1>\n<H1 CLASS=\"a\">y</H1>\n<DT><A HREF=\"http://n/\">n</A>\n</DL>\n", 1},
        // Line ends of CR alone do not end a line: the file is one line.
        {"<H1>x</H1>\r<DL><p>\r<DT><A HREF=\"http://cr/\">cr</A>\r</DL>\r",
         "<H1>x</H1>\r<DL><p>\r<DT><A HREF=\"http://cr/\">cr</A>\r</DL>\r\n", 1},
        {"", "\n", 1},
    };
    for (const auto& c : cases) {
        CTestView view;
        ReadText(view, c.strText);
        EXPECT_EQ(view.m_strNSHeader, c.strHeader);
        EXPECT_EQ(static_cast<std::size_t>(view.m_bookmarks.GetSize()), c.nRecords) << c.strText;
    }
}

// Random text rich in markers, NUL bytes and lone CRs: every record must still
// hang below an earlier folder.
TEST(NetscapeGrammarTest, GarbageKeepsTheTreeSound) {
    const char* const tokens[] = {" HREF=\"", " ADD_DATE=\"", "</DL>", "<H1>", "\"", ">", "<",
                                  "\n"};
    std::mt19937 rng(20240611);
    for (int nRound = 0; nRound < 50; ++nRound) {
        std::string strText;
        while (strText.size() < 4000) {
            strText +=
                rng() % 3 == 0 ? std::string(1, static_cast<char>(rng())) : tokens[rng() % 8];
        }
        CTestView view;
        ReadText(view, strText);
        for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
            const CBookmark* p = view.BookmarkAt(i);
            const int nFolder = view.m_bookmarks.IndexOf(p->m_pFolder);
            ASSERT_TRUE(nFolder >= 0 && nFolder < i && (p->m_pFolder->m_nFlags & BMF_FOLDER))
                << "round " << nRound << " record " << i;
        }
    }
}

// The fixture files, each with the end of its head and all its records.
TEST(NetscapeFileTest, Fixtures) {
    const struct {
        const char* pszFile;
        std::string strHeadEnd;
        std::vector<std::string> records;
    } cases[] = {
        {"netscape4.htm",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file.\n"
         "It will be read and overwritten.\nDo Not Edit! -->\n"
         "<TITLE>Bookmarks for Ada Quill</TITLE>\n<H1>Bookmarks for Ada Quill</H1>\n\n",
         {"F|Tools &amp; Utilities||852076800",
          "B|Tool Shed|Tools &amp; "
          "Utilities|http://www.tools.example/|852076900/852163200/852076950",
          "F|Editors|Tools &amp; Utilities|852080000",
          "B|Editor FTP|Editors|ftp://ftp.editors.example/pub/|852080100/0/852080100",
          "B|Editor FTP|Tools &amp; Utilities|ftp://ftp.editors.example/pub/|852080100/0/852080100",
          "F|Personal Toolbar Folder||852090000",
          "B|Caf\xe9 du Monde|Personal Toolbar Folder|http://news.example/cafe|"
          "852090100/852090200/852090300",
          "B|Write to Ada||mailto:ada@example.org|852099999/852100000/852099999"}},
        {"modern.html",
         "\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n",
         {"F|Bookmarks Toolbar||1700000000",
          "B|Search &amp; Find — Ünïcödé|Bookmarks Toolbar|"
          "https://www.example.com/search?q=a&amp;b=c|1700000100/0/1700000200",
          "B|书签 Bookmarks|Bookmarks Toolbar|https://zh.example.cn/|4102444800/0/4102444801",
          "F|Разное||1700001000",
          "B|Microseconds|Разное|https://micro.example/|1234567890123456/0/1234567890123457",
          "B|Recent Tags|Разное|place:sort=8&amp;maxResults=10|1700002000/0/0"}},
    };
    for (const auto& c : cases) {
        CTestView view;
        view.m_strFavorites = "/fav";
        view.m_bNetscape = true;
        view.m_strNSFile = FixturePath(c.pszFile);
        view.ReadNetscapeFile();
        ASSERT_GE(view.m_bookmarks.GetSize(), 1);
        const CBookmark* pRoot = view.BookmarkAt(0);
        EXPECT_EQ(pRoot->m_strName + "|" + pRoot->m_strURL, "|/fav/Netscape Bookmarks");
        EXPECT_EQ(pRoot->m_nFlags, BMF_FOLDER | BMF_NETSCAPE);
        EXPECT_EQ(pRoot->m_pFolder, nullptr);
        EXPECT_TRUE(view.m_strNSHeader.ends_with(c.strHeadEnd)) << view.m_strNSHeader;
        EXPECT_EQ(Describe(view), c.records);
        EXPECT_TRUE(view.m_missingCalls.empty());
    }
}

// The file is read when either indication is set and it opens; otherwise the
// store is missing, the root stands alone and the old head is kept.
TEST(NetscapePresenceTest, ReadOnlyWhenIndicatedAndOpen) {
    struct {
        bool bNetscape, bRegistry, bExists, bRead;
    } const cases[] = {
        {false, false, true, false}, {true, false, false, false}, {false, true, false, false},
        {true, false, true, true},   {false, true, true, true},
    };
    for (const auto& c : cases) {
        CTestView view;
        view.m_strFavorites = "/fav";
        view.m_bNetscape = c.bNetscape;
        view.m_bNSRegistry = c.bRegistry;
        view.m_strNSFile = FixturePath(c.bExists ? "modern.html" : "absent.htm");
        view.m_strNSHeader = "old";
        view.ReadNetscapeFile();
        ASSERT_EQ(view.m_bookmarks.GetSize(), c.bRead ? 7 : 1);
        EXPECT_EQ(view.BookmarkAt(0)->m_strURL, "/fav/Netscape Bookmarks");
        EXPECT_EQ(view.m_strNSHeader.starts_with("<!DOCTYPE"), c.bRead);
        EXPECT_EQ(view.m_missingCalls, c.bRead ? std::vector<std::uint32_t>{}
                                               : std::vector<std::uint32_t>{STORE_NETSCAPE});
        EXPECT_EQ(view.m_nMissing, c.bRead ? 0u : STORE_NETSCAPE);
    }
}

}  // namespace
