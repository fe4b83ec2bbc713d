#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <unordered_map>

#include "platform/ContentHash.h"
#include "platform/Heap.h"
#include "platform/Path.h"
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
bool ReadText(CTestView& view, const std::string& strText) {
    auto* pRoot = new CBookmark;
    pRoot->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
    view.m_bookmarks.Add(pRoot);
    CTextFileReader reader;
    reader.AttachMemory(strText.data(), strText.size());
    return view.ReadNetscapeStream(reader, pRoot);
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
    {"ReferencesDecodedOtherBytesKept",
     "<DT><A HREF=\"http://e/?a=1&amp;b=2&eacute;&#233;\">  Fish &amp; Chips &#39;n&#39; "
     "&eacute;&#233;</A>\n<A HREF=\"http://n\0l/\">a\0b</A>\n"s,
     {"B|  Fish & Chips 'n' \xC3\xA9\xC3\xA9||http://e/?a=1&b=2&eacute;&#233;|0/0/0",
      "B|a\0b||http://n\0l/|0/0/0"s}},
    {"LowerCaseRead",
     "<DT><H3 ADD_DATE=\"1\">F</H3>\n<DL><p>\n<dt><a href=\"http://l/\">low</a>\n"
     "<dt><h3 add_date=\"2\">lowf</h3>\n</dl><p>\n<DT><A HREF=\"http://u/\">Up</A>\n",
     {"F|F||1", "B|low|F|http://l/|0/0/0", "F|lowf|F|2", "B|Up|F|http://u/|0/0/0"}},
    {"HeadingWithoutAddDate",
     "<DT><H3 ADD_DATE=\"1\">Outer</H3>\n<DL><p>\n<DT><H3 FOLDED>NoDate</H3>\n<DL><p>\n"
     "<DT><A HREF=\"http://1/\">one</A>\n</DL><p>\n<DT><A HREF=\"http://2/\">two</A>\n</DL><p>\n",
     {"F|Outer||1", "F|NoDate|Outer|0", "B|one|NoDate|http://1/|0/0/0",
      "B|two|Outer|http://2/|0/0/0"}},
    {"BookmarkAndListEndOnOneLine",
     "<DT><H3 ADD_DATE=\"1\">F</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\">a</A></DL><p>\n"
     "<DT><A HREF=\"http://b/\">b</A>\n",
     {"F|F||1", "B|a|F|http://a/|0/0/0", "B|b||http://b/|0/0/0"}},
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
    EXPECT_TRUE(ReadText(view, kHead + GetParam().strBody));
    EXPECT_EQ(Describe(view), GetParam().expected);
    EXPECT_EQ(view.m_strNSHeader, "<TITLE>T</TITLE>\n<H1>T</H1>\n\n");
}

INSTANTIATE_TEST_SUITE_P(NetscapeLines, NetscapeGrammarTest, testing::ValuesIn(kGrammarCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

// References beyond ASCII in a name become characters in the name's own
// encoding: UTF-8 when it is valid UTF-8, else Windows-1252.
TEST(NetscapeGrammarTest, NameReferencesKeepTheNamesEncoding) {
    const struct {
        std::string strIn, strOut;
    } cases[] = {
        {"Caf&#233; &#xE9;&#XE9;&#0000233;", "Caf\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9"},
        {"&eacute;&Eacute; &nbsp;&yuml;&copy;", "\xC3\xA9\xC3\x89 \xC2\xA0\xC3\xBF\xC2\xA9"},
        {"&ndash;&mdash;&rsquo;&hellip;&euro;&trade;&Yuml;&tilde;",
         "\xE2\x80\x93\xE2\x80\x94\xE2\x80\x99\xE2\x80\xA6\xE2\x82\xAC\xE2\x84\xA2\xC5\xB8"
         "\xCB\x9C"},
        {"&#150;&#x80;&#159; &#129;&#x9D;", "\xE2\x80\x93\xE2\x82\xAC\xC5\xB8 &#129;&#x9D;"},
        {"&#128512;&#x10FFFF; &#x110000;&#1114112;",
         "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF &#x110000;&#1114112;"},
        {"&#xD800;&#57343; &#00000233;", "&#xD800;&#57343; &#00000233;"},
        {"&EACUTE; &eacute &foo; &nbsp x; &Nbsp; &eacute",
         "&EACUTE; &eacute &foo; &nbsp x; &Nbsp; &eacute"},
        {"&amp;eacute; &lt;&#233;&gt;", "&eacute; <\xC3\xA9>"},
        {"\xC3\x9Cn\xC3\xAF &eacute;", "\xC3\x9Cn\xC3\xAF \xC3\xA9"},
        // Windows-1252
        {"Caf\xE9 &#150; &ndash; &#233;&eacute;&nbsp;", "Caf\xE9 \x96 \x96 \xE9\xE9\xA0"},
        {"\xE9 &euro;&#8364;&#x80; &amp;", "\xE9 \x80\x80\x80 &"},
        {"\xE9 &#x4E66; &#128512; &#8212; &#129;", "\xE9 &#x4E66; &#128512; \x97 &#129;"},
        // Bytes that would form UTF-8 with the decoded ones keep the references.
        {"\xC3&#169; &amp;", "\xC3&#169; &"},
    };
    for (const auto& c : cases) {
        CTestView view;
        ReadText(view, kHead + "<DT><A HREF=\"http://n/\">" + c.strIn + "</A>\n");
        ASSERT_EQ(view.m_bookmarks.GetSize(), 2) << c.strIn;
        EXPECT_EQ(view.BookmarkAt(1)->m_strName, c.strOut) << c.strIn;
    }
}

TEST(NetscapeHeaderTest, HeadEndsAtFirstH1Line) {
    struct {
        std::string strText, strHeader;
        std::size_t nRecords;
    } const cases[] = {
        {"<!DOCTYPE x>\r\n<H1>A</H1><DT><A HREF=\"http://h/\">h</A>\r\n<H1>B</H1>\r\n"
         "<A HREF=\"http://i/\">i</A>\r\n",
         "<!DOCTYPE x>\n<H1>A</H1><DT><A HREF=\"http://h/\">h</A>\n\n", 2},
        // The heading in any case and with attributes; a later one is no heading.
        {"<h1>x</h1>\n<H1 CLASS=\"a\">y</H1>\n<DT><A HREF=\"http://n/\">n</A>\n</DL>",
         "<h1>x</h1>\n\n", 2},
        {"<TITLE>t</TITLE>\n <H1\tCLASS=\"a\">y</H1>\n<DT><A HREF=\"http://n/\">n</A>\n",
         "<TITLE>t</TITLE>\n <H1\tCLASS=\"a\">y</H1>\n\n", 2},
        // No heading: the whole file is head, as it is, and nothing is read as a record.
        {"<H10>x</H10>\n<H2>y</H2>\n<DT><A HREF=\"http://n/\">n</A>\n</DL>",
         "<H10>x</H10>\n<H2>y</H2>\n<DT><A HREF=\"http://n/\">n</A>\n</DL>", 1},
        // Line ends of CR alone do not end a line: the file is one line.
        {"<H1>x</H1>\r<DL><p>\r<DT><A HREF=\"http://cr/\">cr</A>\r</DL>\r",
         "<H1>x</H1>\r<DL><p>\r<DT><A HREF=\"http://cr/\">cr</A>\r</DL>\r\n\n", 1},
        {"", "", 1},
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
         {"F|Tools & Utilities||852076800",
          "B|Tool Shed|Tools & "
          "Utilities|http://www.tools.example/|852076900/852163200/852076950",
          "F|Editors|Tools & Utilities|852080000",
          "B|Editor FTP|Editors|ftp://ftp.editors.example/pub/|852080100/0/852080100",
          "B|Editor FTP|Tools & Utilities|ftp://ftp.editors.example/pub/|852080100/0/852080100",
          "F|Personal Toolbar Folder||852090000",
          "B|Caf\xe9 du Monde|Personal Toolbar Folder|http://news.example/cafe|"
          "852090100/852090200/852090300",
          "B|Write to Ada||mailto:ada@example.org|852099999/852100000/852099999"}},
        {"modern.html",
         "\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n",
         {"F|Bookmarks Toolbar||1700000000",
          "B|Search & Find — Ünïcödé|Bookmarks Toolbar|"
          "https://www.example.com/search?q=a&b=c|1700000100/0/1700000200",
          "B|书签 Bookmarks|Bookmarks Toolbar|https://zh.example.cn/|4102444800/0/4102444801",
          "F|Разное||1700001000",
          "B|Microseconds|Разное|https://micro.example/|1234567890123456/0/1234567890123457",
          "B|Recent Tags|Разное|place:sort=8&maxResults=10|1700002000/0/0"}},
    };
    for (const auto& c : cases) {
        CTestView view;
        view.m_strFavorites = "/fav";
        view.m_bNetscape = true;
        view.m_strNSFile = FixturePath(c.pszFile);
        view.ReadNetscapeFile();
        ASSERT_GE(view.m_bookmarks.GetSize(), 1);
        const CBookmark* pRoot = view.BookmarkAt(0);
        EXPECT_EQ(pRoot->m_strName + "|" + pRoot->m_strURL,
                  "|" + JoinPath("/fav", "Netscape Bookmarks"));
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
        EXPECT_EQ(view.BookmarkAt(0)->m_strURL, JoinPath("/fav", "Netscape Bookmarks"));
        EXPECT_EQ(view.m_strNSHeader.starts_with("<!DOCTYPE"), c.bRead);
        EXPECT_EQ(view.m_missingCalls, c.bRead ? std::vector<std::uint32_t>{}
                                               : std::vector<std::uint32_t>{STORE_NETSCAPE});
        EXPECT_EQ(view.m_nMissing, c.bRead ? 0u : STORE_NETSCAPE);
    }
}

// The text reader's line limit, on which the Netscape reader relies, from
// memory and from a file. The file is read in chunks of 64 KiB, so the long
// cases put a CR LF across two chunks.
TEST(NetscapeLineLimitTest, LinesOverTheLimitEndTheReading) {
    const std::string strChunk(65535, 'a');
    const struct {
        std::string strText;
        std::size_t nLimit;
        std::vector<std::string> lines;
        bool bTooLong;
    } cases[] = {
        {"abcde\r\nxy\n", 5, {"abcde\n", "xy\n"}, false},
        {"ab\nabcdef\nxy\n", 5, {"ab\n"}, true},
        {"ab\nabcde", 5, {"ab\n", "abcde"}, false},
        {"ab\nabcdef", 5, {"ab\n"}, true},
        {"abcd\r\r\n", 5, {"abcd\r\n"}, false},
        {"abcde\rx\n", 5, {}, true},
        {"abcde\r", 5, {}, true},
        {"\n\r\n", 0, {"\n", "\n"}, false},
        {"\nx\n", 0, {"\n"}, true},
        {strChunk + "\r\nb\n", 65535, {strChunk + "\n", "b\n"}, false},
        {strChunk + "\r\nb\n", 65534, {}, true},
        {"b\n" + strChunk + strChunk,
         CTextFileReader::kNoLineLimit,
         {"b\n", strChunk + strChunk},
         false},
    };
    const CTempDir dir;
    // From memory, a stream, and a descriptor whose buffer of three bytes
    // makes every line cross chunks.
    enum ESource { MEMORY, STREAM, DESCRIPTOR };
#ifdef _WIN32
    const ESource sources[] = {MEMORY, STREAM};
#else
    const ESource sources[] = {MEMORY, STREAM, DESCRIPTOR};
#endif
    for (const auto& c : cases) {
        dir.Write("t.txt", c.strText);
        for (const ESource source : sources) {
            const bool bFile = source != MEMORY;
            CTextFileReader reader;
            if (source == STREAM) {
                reader.AttachFile(std::fopen((dir / "t.txt").c_str(), "rb"));
            } else if (source == MEMORY) {
                reader.AttachMemory(c.strText.data(), c.strText.size());
            }
#ifndef _WIN32
            if (source == DESCRIPTOR) {
                reader.AttachDescriptor(open((dir / "t.txt").c_str(), O_RDONLY | O_CLOEXEC), 2);
            }
#endif
            reader.SetLineLimit(c.nLimit);
            std::vector<std::string> lines;
            std::string strLine;
            while (reader.ReadLine(strLine)) {
                lines.push_back(strLine);
            }
            const std::string strWhere = c.strText.substr(0, 12) + (bFile ? " (file)" : "");
            EXPECT_EQ(lines, c.lines) << strWhere;
            EXPECT_EQ(reader.LineTooLong(), c.bTooLong) << strWhere;
            // Nothing after a line that was given up on is read as a line.
            EXPECT_FALSE(reader.ReadLine(strLine)) << strWhere;
        }
    }
}

// A long line in memory is not copied beyond the limit before it is given up on.
TEST(NetscapeLineLimitTest, LongLineIsNotHeld) {
    const std::string strText(8 << 20, '\0');
    CTextFileReader reader;
    reader.AttachMemory(strText.data(), strText.size());
    reader.SetLineLimit(1000);
    std::string strLine;
    EXPECT_FALSE(reader.ReadLine(strLine));
    EXPECT_TRUE(reader.LineTooLong());
    EXPECT_LT(strLine.capacity(), std::size_t{1} << 20);
    reader.AttachMemory("x\n", 2);
    EXPECT_FALSE(reader.LineTooLong());
    EXPECT_TRUE(reader.ReadLine(strLine));
}

// Reads the file at strPath as the Netscape store.
void ReadStore(CTestView& view, const std::string& strPath) {
    view.m_strFavorites = "/fav";
    view.m_bNetscape = true;
    view.m_strNSFile = strPath;
    view.m_strNSHeader = "old";
    view.ReadNetscapeFile();
}

// The store counts as missing as when the file cannot be opened, and nothing
// of what was read is kept.
void ExpectMissing(const CTestView& view, const std::string& strWhat) {
    EXPECT_EQ(view.m_nMissing, STORE_NETSCAPE) << strWhat;
    EXPECT_EQ(view.m_missingCalls, std::vector<std::uint32_t>{STORE_NETSCAPE}) << strWhat;
    ASSERT_EQ(view.m_bookmarks.GetSize(), 1) << strWhat;
    EXPECT_EQ(view.BookmarkAt(0)->m_strURL, JoinPath("/fav", "Netscape Bookmarks")) << strWhat;
    EXPECT_EQ(view.m_strNSHeader, "") << strWhat;
}

void ExpectPresent(const CTestView& view, const std::string& strWhat) {
    EXPECT_EQ(view.m_nMissing, 0u) << strWhat;
    EXPECT_TRUE(view.m_missingCalls.empty()) << strWhat;
}

// A bookmark line of exactly nLength bytes, without its line end.
std::string BookmarkLine(std::size_t nLength) {
    const std::string strStart = "<DT><A HREF=\"http://long/\" ICON=\"";
    const std::string strEnd = "\">Long</A>";
    return strStart + std::string(nLength - strStart.size() - strEnd.size(), 'Q') + strEnd;
}

TEST(NetscapeLimitsTest, LongLine) {
    const std::string strBefore = kHead +
                                  "<DT><H3 ADD_DATE=\"1\">F</H3>\r\n<DL><p>\r\n"
                                  "<DT><A HREF=\"http://a/\">a</A>\r\n</DL><p>\r\n";
    const std::vector<std::string> before = {"F|F||1", "B|a|F|http://a/|0/0/0"};
    const std::string strAfter = "<DT><A HREF=\"http://b/\">b</A>\r\n</DL><p>\r\n";
    const struct {
        std::size_t nLength;
        bool bLast;  // the long line ends the file, without a line end
        bool bRead;
    } cases[] = {
        {kMaxNetscapeLine, false, true},
        {kMaxNetscapeLine + 1, false, false},
        {kMaxNetscapeLine, true, true},
        {kMaxNetscapeLine + 1, true, false},
    };
    const CTempDir dir;
    for (const auto& c : cases) {
        const std::string strText =
            strBefore + BookmarkLine(c.nLength) + (c.bLast ? "" : "\r\n" + strAfter);
        const std::string strWhat =
            std::to_string(c.nLength) + (c.bLast ? " at the end" : " in the list");

        // The stream keeps what it read before the long line.
        CTestView stream;
        EXPECT_EQ(ReadText(stream, strText), c.bRead) << strWhat;
        std::vector<std::string> expected = before;
        if (c.bRead) {
            expected.push_back("B|Long||http://long/|0/0/0");
            if (!c.bLast) {
                expected.push_back("B|b||http://b/|0/0/0");
            }
        }
        EXPECT_EQ(Describe(stream), expected) << strWhat;

        dir.Write("bookmark.htm", strText);
        CTestView view;
        ReadStore(view, dir / "bookmark.htm");
        if (c.bRead) {
            ExpectPresent(view, strWhat);
            EXPECT_EQ(Describe(view), expected) << strWhat;
        } else {
            ExpectMissing(view, strWhat);
        }
    }
}

TEST(NetscapeLimitsTest, HeadSize) {
    // Filler lines of 100 bytes, then the rest up to nSize, ending in strLast.
    auto head = [](std::size_t nSize, const std::string& strLast) {
        std::string str;
        while (str.size() + 100 + strLast.size() <= nSize) {
            str += std::string(99, 'x') + "\n";
        }
        return str + std::string(nSize - str.size() - strLast.size(), 'y') + strLast;
    };
    const std::string strBody = "<DL><p>\n<DT><A HREF=\"http://a/\">a</A>\n</DL><p>\n";
    const struct {
        const char* pszName;
        std::string strHead;  // followed by strBody
        bool bRead;
        std::size_t nRecords;
    } cases[] = {
        {"H1AtTheLimit", head(kMaxNetscapeHead, "<H1>T</H1>\n"), true, 2},
        {"H1PastTheLimit", head(kMaxNetscapeHead + 1, "<H1>T</H1>\n"), false, 1},
        {"NoH1OverTheLimit", head(kMaxNetscapeHead + 1, "\n"), false, 1},
        {"NoH1WithinTheLimit", head(kMaxNetscapeHead - strBody.size(), "\n"), true, 1},
        {"SmallWithoutH1", "<TITLE>T</TITLE>\n", true, 1},
    };
    const CTempDir dir;
    for (const auto& c : cases) {
        dir.Write("bookmark.htm", c.strHead + strBody);
        CTestView view;
        ReadStore(view, dir / "bookmark.htm");
        if (!c.bRead) {
            ExpectMissing(view, c.pszName);
            continue;
        }
        ExpectPresent(view, c.pszName);
        EXPECT_EQ(static_cast<std::size_t>(view.m_bookmarks.GetSize()), c.nRecords) << c.pszName;
        // Without "<H1>" the whole file is head.
        EXPECT_EQ(view.m_strNSHeader, c.nRecords == 1 ? c.strHead + strBody : c.strHead + "\n")
            << c.pszName;
    }
}

// The peak memory of a process is read through getrusage, which Windows lacks.
#ifndef _WIN32
// Peak resident memory of the process so far, in KiB.
long PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A file of 2 GiB zeros, one line without any "<H1>". The peak resident memory
// of the process can only show growth past the earlier peak; reading the whole
// file into memory would raise it to more than 2 GiB, far beyond what the other
// tests of this program reach, so the growth would then exceed the bound.
TEST(NetscapeLimitsTest, HugeLineIsNotReadWhole) {
    const CTempDir dir;
    dir.Write("bookmark.htm", "");
    std::filesystem::resize_file(dir / "bookmark.htm", std::uintmax_t{2} << 30);
    const long nBefore = PeakMemoryKiB();
    CTestView view;
    ReadStore(view, dir / "bookmark.htm");
    ExpectMissing(view, "zeros");
    EXPECT_LT(PeakMemoryKiB() - nBefore, 200 * 1024);
}
#endif

// A bookmark line as Save writes it, with the attributes, name and end given.
std::string SavedMark(const std::string& strIndent, const std::string& strURL, CTime tAdded,
                      const std::string& strRest) {
    return strIndent + "<DT><A HREF=\"" + strURL + "\"  ADD_DATE=\"" + std::to_string(tAdded) +
           "\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\"" + strRest + "\n";
}

// Odd input, what is read of it, and the file that Save writes for it: what
// the records do not hold themselves comes back as the file had it.
struct CWriteBackCase {
    const char* pszName;
    std::string strBody;  // follows kHead
    std::vector<std::string> records;
    std::string strSaved;  // follows the head; LF for CR LF
};

const std::string kIn = "    ";
const CWriteBackCase kWriteBackCases[] = {
    {"OddQuoting",
     "<DT><A HREF=http://u/?a=1 tags='a b' ICON=\"x>y\" ADD_DATE=5>Odd</A>\n"
     "<DT><A SUBSCRIBE HREF=\"http://s/\" LASTUPDATE=\"1\" CHECKED>Valueless</A>\n"
     "<DT><A HREF='javascript:alert(\"x\")'>Quoted</A>\n"
     "<DT><A HREF=\"http://c/\" ICON=\"open>Cut</A>\n",
     {"B|Odd||http://u/?a=1|5/0/0", "B|Valueless||http://s/|0/0/0",
      "B|Quoted||javascript:alert(\"x\")|0/0/0", "B|||http://c/|0/0/0"},
     "<DL><p>\n" + SavedMark(kIn, "http://c/", 0, " ICON=\"open>Cut</A>\"></A>") +
         SavedMark(kIn, "http://u/?a=1", 5, " tags='a b' ICON=\"x>y\">Odd</A>") +
         SavedMark(kIn, "javascript:alert(&quot;x&quot;)", 0, ">Quoted</A>") +
         SavedMark(kIn, "http://s/", 0, " SUBSCRIBE LASTUPDATE=\"1\" CHECKED>Valueless</A>") +
         "</DL>\n"},
    {"ReferencesUnknownOrCutShort",
     "<DT><A HREF=\"http://r/?a&amp&#0;&#x41;\">Fish &amp Chips &#99999999; &#0; &#x41; &#38</A>\n",
     {"B|Fish &amp Chips &#99999999; &#0; A &#38||http://r/?a&amp&#0;A|0/0/0"},
     "<DL><p>\n" +
         SavedMark(kIn, "http://r/?a&amp&#0;&#x41;", 0,
                   ">Fish &amp Chips &#99999999; &#0; &#x41; &#38</A>") +
         "</DL>\n"},
    {"ReferencesBeyondAscii",
     "<DT><A HREF=\"http://u/\">Caf&#233; &eacute;&ndash;</A>\n"
     "<DT><A HREF=\"http://w/\">Caf\xE9 &#150;&euro; &#x4E66;</A>\n",
     {"B|Caf\xC3\xA9 \xC3\xA9\xE2\x80\x93||http://u/|0/0/0",
      "B|Caf\xE9 \x96\x80 &#x4E66;||http://w/|0/0/0"},
     "<DL><p>\n" + SavedMark(kIn, "http://u/", 0, ">Caf&#233; &eacute;&ndash;</A>") +
         SavedMark(kIn, "http://w/", 0, ">Caf\xE9 &#150;&euro; &#x4E66;</A>") + "</DL>\n"},
    {"Descriptions",
     "<DD>about the file\n<DT><A HREF=\"http://e/\">Empty</A>\n<DD>\n"
     "<DT><A HREF=\"http://m/\">Multi</A>\n<DD>first line\r\n  second > third\r\n\r\n"
     "    <DT><H3 ADD_DATE=\"2\">F</H3>\n<DD>folder text\n<DL><p>\n"
     "<DT><A HREF=\"http://i/\">In</A>\n</DL><p>\n<DD>after the list\n"
     "<DT><A HREF=\"http://o/\">Out</A><DD>same line\n",
     {"B|Empty||http://e/|0/0/0", "B|Multi||http://m/|0/0/0", "F|F||2", "B|In|F|http://i/|0/0/0",
      "B|Out||http://o/|0/0/0"},
     "<DD>about the file\n<DL><p>\n    <DT><H3 FOLDED ADD_DATE=\"2\">F</H3>\n    <DD>folder text\n"
     "      <DL><p>\n" +
         SavedMark("      ", "http://i/", 0, ">In</A>") + "      </DL><p>\n" +
         SavedMark(kIn, "http://e/", 0, ">Empty</A>") + "    <DD>\n" +
         SavedMark(kIn, "http://m/", 0, ">Multi</A>") + "    <DD>first line\n  second > third\n\n" +
         SavedMark(kIn, "http://o/", 0, ">Out</A>") + "    <DD>same line\n</DL>\n"},
    {"HeadingsNestedWithoutLists",
     "<DT><H3>A</H3>\n<DT><H3 ADD_DATE=\"3\">B</H3>\n<DT><A HREF=\"http://x/\">X</A>\n"
     "</DL><p>\n<DT><A HREF=\"http://y/\">Y</A>\n</DL><p>\n<DT><A HREF=\"http://z/\">Z</A>\n",
     {"F|A||0", "F|B|A|3", "B|X|B|http://x/|0/0/0", "B|Y|A|http://y/|0/0/0",
      "B|Z||http://z/|0/0/0"},
     "<DL><p>\n    <DT><H3 FOLDED>A</H3>\n      <DL><p>\n"
     "      <DT><H3 FOLDED ADD_DATE=\"3\">B</H3>\n        <DL><p>\n" +
         SavedMark("        ", "http://x/", 0, ">X</A>") + "        </DL><p>\n" +
         SavedMark("      ", "http://y/", 0, ">Y</A>") + "      </DL><p>\n" +
         SavedMark(kIn, "http://z/", 0, ">Z</A>") + "</DL>\n"},
    {"ThreeOnOneLineAndABookmarklet",
     "<DT><A HREF=\"http://1/\">one</A><DT><A HREF=\"http://2/\">two</A> "
     "<dt><a href=\"http://3/\">three</a>\n"
     "<DT><A HREF=\"javascript:if(1>0)alert(1)\" ADD_DATE=\"1\">JS</A>\n",
     {"B|one||http://1/|0/0/0", "B|two||http://2/|0/0/0", "B|three||http://3/|0/0/0",
      "B|JS||javascript:if(1>0)alert(1)|1/0/0"},
     "<DL><p>\n" + SavedMark(kIn, "javascript:if(1>0)alert(1)", 1, ">JS</A>") +
         SavedMark(kIn, "http://1/", 0, ">one</A>") + SavedMark(kIn, "http://3/", 0, ">three</A>") +
         SavedMark(kIn, "http://2/", 0, ">two</A>") + "</DL>\n"},
};

void PrintTo(const CWriteBackCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class NetscapeWriteBackTest : public testing::TestWithParam<CWriteBackCase> {};

// Read, saved, read and saved again: the same records and the same file.
TEST_P(NetscapeWriteBackTest, SavedAsRead) {
    std::string strSaved = "<TITLE>T</TITLE>\r\n<H1>T</H1>\r\n\r\n";
    for (const char c : GetParam().strSaved) {
        strSaved += c == '\n' ? "\r\n" : std::string(1, c);
    }
    const CTempDir dir;
    dir.Write("bookmark.htm", kHead + GetParam().strBody);
    for (int nSave = 1; nSave <= 2; ++nSave) {
        CTestView view;
        ReadStore(view, dir / "bookmark.htm");
        EXPECT_EQ(Sorted(Describe(view)), Sorted(GetParam().records)) << nSave;
        ASSERT_EQ(view.SaveNetscapeFile({}), CTVLDlgBase::SAVE_DONE);
        EXPECT_EQ(ReadFileBytes(dir / "bookmark.htm"), strSaved) << nSave;
    }
}

INSTANTIATE_TEST_SUITE_P(NetscapeLines, NetscapeWriteBackTest, testing::ValuesIn(kWriteBackCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

// Depth of a record's folder below the root, which is record 0.
int FolderDepth(const CTestView& view, const CBookmark* p) {
    int nDepth = 0;
    for (p = p->m_pFolder; p != view.BookmarkAt(0); p = p->m_pFolder) {
        ++nDepth;
    }
    return nDepth;
}

// Headings F1 to F1003 nested, each holding B<n> and followed by A<n> after its
// "</DL>": the headings past the deepest level are siblings of F1000, and each
// "</DL>" goes back to the folder that was current before the heading.
TEST(NetscapeDepthTest, HeadingsPastTheLimitBecomeSiblings) {
    constexpr int kLevels = kMaxFolderDepth + 3;
    std::string strText = kHead;
    for (int i = 1; i <= kLevels; ++i) {
        const std::string n = std::to_string(i);
        strText += "<DT><H3 ADD_DATE=\"" + n + "\">F" + n +
                   "</H3>\n<DL><p>\n<DT><A HREF=\"http://b/" + n + "\">B" + n + "</A>\n";
    }
    for (int i = kLevels; i >= 1; --i) {
        strText += "</DL><p>\n<DT><A HREF=\"http://a/\">A" + std::to_string(i) + "</A>\n";
    }
    CTestView view;
    ASSERT_TRUE(ReadText(view, strText));
    ASSERT_EQ(view.m_bookmarks.GetSize(), 1 + 3 * kLevels);

    const struct {
        const char* pszName;
        const char* pszFolder;  // empty for the root
        int nDepth;             // of the folder
    } cases[] = {
        {"F999", "F998", 998},    {"F1000", "F999", 999},   {"F1001", "F999", 999},
        {"F1002", "F999", 999},   {"F1003", "F999", 999},   {"B1000", "F1000", 1000},
        {"B1001", "F1001", 1000}, {"B1003", "F1003", 1000}, {"A1003", "F1002", 1000},
        {"A1002", "F1001", 1000}, {"A1001", "F1000", 1000}, {"A1000", "F999", 999},
        {"A999", "F998", 998},    {"A2", "F1", 1},          {"A1", "", 0},
    };
    for (const auto& c : cases) {
        const CBookmark* p = view.Named(c.pszName);
        ASSERT_NE(p, nullptr) << c.pszName;
        const CBookmark* pFolder =
            *c.pszFolder != '\0' ? view.Named(c.pszFolder) : view.BookmarkAt(0);
        EXPECT_EQ(p->m_pFolder, pFolder) << c.pszName;
        EXPECT_EQ(FolderDepth(view, p), c.nDepth) << c.pszName;
    }
}

// A million nested headings, each with a bookmark: all are read, none deeper
// than the limit, and a bookmark after all the "</DL>"s is in the root again.
TEST(NetscapeDepthTest, MillionNestedHeadings) {
    constexpr int kLevels = 1'000'000;
    const std::string strLevel = "<H3 ADD_DATE=\"1\">F</H3>\n<DL>\n<A HREF=\"u\">B</A>\n";
    std::string strText = kHead;
    strText.reserve(strText.size() + kLevels * (strLevel.size() + 6) + 32);
    for (int i = 0; i < kLevels; ++i) {
        strText += strLevel;
    }
    for (int i = 0; i < kLevels; ++i) {
        strText += "</DL>\n";
    }
    strText += "<A HREF=\"root\">R</A>\n";

    CTestView view;
    ASSERT_TRUE(ReadText(view, strText));
    ASSERT_EQ(view.m_bookmarks.GetSize(), 2 + 2 * kLevels);
    // Records come in reading order, so each folder's depth is known before its contents.
    std::unordered_map<const CBookmark*, int> depths{{view.BookmarkAt(0), 0}};
    depths.reserve(kLevels + 1);
    for (int i = 1; i <= kLevels; ++i) {
        const CBookmark* pFolder = view.BookmarkAt(2 * i - 1);
        const CBookmark* pMark = view.BookmarkAt(2 * i);
        ASSERT_EQ(pFolder->m_nFlags, BMF_FOLDER | BMF_NETSCAPE) << i;
        ASSERT_EQ(pMark->m_nFlags, BMF_NETSCAPE) << i;
        ASSERT_EQ(pMark->m_pFolder, pFolder) << i;
        const auto it = depths.find(pFolder->m_pFolder);
        ASSERT_NE(it, depths.end()) << i;
        ASSERT_EQ(it->second + 1, std::min(i, kMaxFolderDepth)) << i;
        depths.emplace(pFolder, it->second + 1);
    }
    const CBookmark* pLast = view.BookmarkAt(2 * kLevels + 1);
    EXPECT_EQ(pLast->m_strURL, "root");
    EXPECT_EQ(pLast->m_pFolder, view.BookmarkAt(0));
}

// A file is read in chunks of 64 KiB. Wherever the end of the first chunk
// falls, in a reference of a name, in a CR LF or inside a <DD> text that runs
// over several lines, the file gives the records that the same text in
// memory gives, with the name's own bytes and the whole description.
TEST(NetscapeFileTest, ChunkEndsAnywhere) {
    const std::string strEntry =
        "<DT><A HREF=\"http://e/?a=1&amp;b=2\" ICON=\"i\">Fish &amp; Chips &#233;</A>\r\n"
        "<DD>one\r\ntwo &amp; three\r\n  four\r\n";
    const CTempDir dir;
    for (std::size_t nShift = 0; nShift < strEntry.size(); ++nShift) {
        // The filler puts the chunk's end nShift bytes into the entry.
        const std::string strFiller = "<DT><A HREF=\"http://f/\">" +
                                      std::string(65536 - kHead.size() - 30 - nShift, 'f') +
                                      "</A>\r\n";
        const std::string strText = kHead + strFiller + strEntry + "</DL><p>\r\n";
        ASSERT_EQ(kHead.size() + strFiller.size() + nShift, 65536u);
        CTestView memory;
        ASSERT_TRUE(ReadText(memory, strText));
        dir.Write("bookmark.htm", strText);
        CTestView file;
        ReadStore(file, dir / "bookmark.htm");
        ASSERT_EQ(file.m_bookmarks.GetSize(), 3) << nShift;
        EXPECT_EQ(Describe(file), Describe(memory)) << nShift;
        const CBookmark* pEntry = file.BookmarkAt(2);
        EXPECT_EQ(pEntry->m_strName, "Fish & Chips \xC3\xA9") << nShift;
        EXPECT_EQ(pEntry->m_strURL, "http://e/?a=1&b=2") << nShift;
        ASSERT_NE(pEntry->NSExtra(), nullptr) << nShift;
        EXPECT_EQ(pEntry->NSExtra()->strHtmlName, "Fish &amp; Chips &#233;") << nShift;
        EXPECT_EQ(pEntry->NSExtra()->strAttributes, " ICON=\"i\"") << nShift;
        EXPECT_EQ(pEntry->NSExtra()->strDescription, "one\ntwo &amp; three\n  four") << nShift;
    }
}

#ifndef _WIN32
// A file past its first megabyte is read in two parts at once. Wherever the
// second part starts, among open folders, lists closed past the outermost,
// a <DD> text that runs over lines and tags in either case, the records, their
// folders and what only the file carries are those of one reader, and so is
// the file's hash that Save compares. Where the parts' depths together reach
// the deepest level, or the second part closes more lists than it can stand
// in for, one reader goes on alone.
TEST(NetscapeSplitTest, TwoPartsReadAsOne) {
    std::string strFiller = "<DT><H3 ADD_DATE=\"1\">L1</H3>\n<DL><p>\n<DT><H3>L2</H3>\n<DL><p>\n";
    for (int i = 0; strFiller.size() < (1200u << 10); ++i) {
        strFiller += "    <DT><A HREF=\"http://f/" + std::to_string(i) + "\" ADD_DATE=\"" +
                     std::to_string(i) + "\">filler " + std::to_string(i) + "</A>\n";
    }
    const std::string strTricky =
        "<DT><H3 ADD_DATE=\"2\" ID=\"x\">Outer</H3>\n<DL><p>\n"
        "  <DT><A HREF=\"http://a/?x=1&amp;y\" ADD_DATE=\"3\" ICON=\"i\">A &amp; B</A>\n"
        "<DD>text that\nruns over lines\n"
        "  <DT><H3>NoDate</H3>\n  <DL><p>\n"
        "\t<DT><A HREF=\"http://b/\">B</A>\n    <DD>one line\n  </DL><p>\n"
        "  <DT><A HREF=\"http://c/\" LAST_VISIT=\"9\">C</A>\n</DL><p>\n"
        "<DT><A HREF=\"http://d/\">D in L2</A>\n</DL><p>\n"
        "<dt><a href=\"http://e/\">e in L1</a>\n</DL><p>\n"
        "<DT><A HREF=\"http://g/\">G in the root</A>\n</DL><p>\n"
        "<DT><A HREF=\"http://h/\">H after the end</A>\n</DL><p>\n</DL><p>\n"
        "<DT><H3 ADD_DATE=\"4\">Late</H3>\n<DL><p>\n<DT><A HREF=\"http://i/\">I in Late</A>\n"
        "</DL><p>\n<DT><A HREF=\"http://j/\">J last</A>\n<DD>to the end\n";
    const CTempDir dir;
    const auto readFile = [&dir](const std::string& strText, std::uint64_t nSplitFrom,
                                 CTestView& view) {
        dir.Write("bookmark.htm", strText);
        view.m_nNSSplitFrom = nSplitFrom;
        ReadStore(view, dir / "bookmark.htm");
    };
    const auto expectOne = [&](const std::string& strText, std::uint64_t nFrom, int nParts) {
        // Looked for past the end, the second part is never found.
        CTestView one;
        readFile(strText, std::uint64_t{1} << 62, one);
        ASSERT_EQ(one.m_nNSParts, 1);
        CTestView split;
        readFile(strText, nFrom, split);
        ASSERT_EQ(split.m_nMissing, 0u) << nFrom;
        EXPECT_EQ(split.m_nNSParts, nParts) << nFrom;
        EXPECT_EQ(DescribeRecords(split), DescribeRecords(one)) << nFrom;
        EXPECT_EQ(split.m_strNSHeader, one.m_strNSHeader);
        EXPECT_EQ(split.CheckNetscapeFile(split.m_strNSFile), CTVLDlgBase::SAVE_DONE) << nFrom;
    };

    // From every line on, the second part starts at the next line that starts
    // an entry; after "J last", none does.
    const std::string strText = kHead + strFiller + strTricky;
    const std::size_t nLast = strText.find("<DT><A HREF=\"http://j/");
    for (std::size_t nAt = strText.size() - strTricky.size(); nAt < strText.size();
         nAt = strText.find('\n', nAt) + 1) {
        expectOne(strText, nAt, nAt <= nLast ? 2 : 1);
    }
    // No line after the middle starts an entry: one reader.
    expectOne(strText, strText.size() - 20, 1);

    // With L1 and L2, 997 headings are open where the second part starts;
    // when it opens three more, one reader reads it.
    std::string strDeep = kHead;
    for (int i = 0; i < kMaxFolderDepth - 5; ++i) {
        strDeep += "<DT><H3>D" + std::to_string(i) + "</H3>\n<DL><p>\n";
    }
    strDeep += strFiller;
    const std::size_t nDeepSplit = strDeep.size();
    for (int i = 0; i < 3; ++i) {
        strDeep += "<DT><H3>E" + std::to_string(i) + "</H3>\n<DL><p>\n<DT><A HREF=\"u\">e</A>\n";
        expectOne(strDeep, nDeepSplit, i < 2 ? 2 : 1);
    }

    std::string strClosing = kHead + strFiller + "<DT><A HREF=\"http://k/\">K</A>\n";
    for (int i = 0; i < 5000; ++i) {
        strClosing += "</DL><p>\n";
    }
    strClosing += "<DT><H3>Root folder</H3>\n<DL><p>\n<DT><A HREF=\"http://l/\">L</A>\n";
    expectOne(strClosing, strClosing.find("<DT><A HREF=\"http://k/"), 1);
}
#endif

// A stream hashed in two parts that meet at a block's end, each fed in pieces
// of any size, hashes as the whole; moving, changing or dropping a byte, or
// swapping two blocks, changes the hash.
TEST(ContentHashTest, PartsJoinToTheWhole) {
    constexpr std::size_t kBlock = CContentHash::kBlock;
    std::string strBytes(3 * kBlock + 777, '\0');
    std::mt19937 rng(5);
    for (char& c : strBytes) {
        c = static_cast<char>(rng() % 7);
    }
    const auto hash = [](std::string_view str, std::uint64_t nOffset, std::size_t nPiece) {
        CContentHash h(nOffset);
        for (std::size_t i = 0; i < str.size(); i += nPiece) {
            h.Update(str.data() + i, std::min(nPiece, str.size() - i));
        }
        return h;
    };
    const std::uint64_t nWhole = hash(strBytes, 0, strBytes.size()).Value();
    for (const std::size_t nPiece : {std::size_t{1} << 16, std::size_t{4093}, std::size_t{13}}) {
        EXPECT_EQ(hash(strBytes, 0, nPiece).Value(), nWhole);
        for (const std::size_t nSplit : {kBlock, 2 * kBlock, 3 * kBlock}) {
            CContentHash first = hash(std::string_view(strBytes).substr(0, nSplit), 0, nPiece);
            first.Join(hash(std::string_view(strBytes).substr(nSplit), nSplit, nPiece));
            EXPECT_EQ(first.Value(), nWhole) << nSplit;
            EXPECT_EQ(first.Length(), strBytes.size());
        }
    }
    std::string strChanged = strBytes;
    strChanged[kBlock + 5] ^= 1;
    EXPECT_NE(hash(strChanged, 0, 1 << 16).Value(), nWhole);
    EXPECT_NE(hash(std::string_view(strBytes).substr(1), 0, 1 << 16).Value(), nWhole);
    strChanged =
        strBytes.substr(kBlock, kBlock) + strBytes.substr(0, kBlock) + strBytes.substr(2 * kBlock);
    EXPECT_NE(hash(strChanged, 0, 1 << 16).Value(), nWhole);
    // Two words of one block swapped: next to each other, and four apart.
    for (const std::size_t nOther : {8, 32}) {
        strChanged = strBytes;
        std::swap_ranges(strChanged.begin() + 64, strChanged.begin() + 72,
                         strChanged.begin() + 64 + static_cast<std::ptrdiff_t>(nOther));
        ASSERT_NE(strChanged, strBytes);
        EXPECT_NE(hash(strChanged, 0, 1 << 16).Value(), nWhole) << nOther;
    }
}

#if defined(__GLIBC__)
// The memory made ready for the records stays in the heap for them when it
// is freed, a step beyond what they take; what was free is counted. In a
// process of its own: the heap's counts take in the memory pools of the
// threads that earlier tests ran on.
TEST(HeapTest, ReservedMemoryStaysAStepAhead) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            constexpr std::size_t kStep = CHeapReserve::kStep;
            CHeapReserve heap;
            heap.Reach(4 * kStep);
            const struct mallinfo2 first = mallinfo2();
            bool bHeld = first.fordblks >= 5 * kStep && first.fordblks < 7 * kStep;
            heap.Reach(4 * kStep - 1024);
            bHeld = bHeld && mallinfo2().arena == first.arena;
            // A second reader finds that memory free and takes it as it is.
            CHeapReserve second;
            second.Reach(3 * kStep);
            bHeld = bHeld && mallinfo2().arena == first.arena;
            std::fprintf(stderr, "%s", bHeld ? "held" : "not held");
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "^held$");
}
#endif

}  // namespace
