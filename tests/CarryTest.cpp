// Saves that must keep what the files carry, and text that crosses between
// the two stores.
#include "platform/Path.h"
#include "tests/SaveSupport.h"

namespace {

// Entries written as the writer writes them, so that a save gives the file back.
const std::string kOpen = kHeader + "<DL><p>\r\n";
const std::string kClose = "</DL>\r\n";

std::string Line(const std::string& strURL, const std::string& strDates, const std::string& strRest,
                 const std::string& strName) {
    return "    <DT><A HREF=\"" + strURL + "\"  " + strDates + strRest + ">" + strName + "</A>\r\n";
}

// The bookmarks of the view as "name|URL", sorted.
std::vector<std::string> Texts(const CTestView& view) {
    std::vector<std::string> texts;
    for (const CBookmark* p : view.Bookmarks()) {
        texts.push_back(p->m_strName + "|" + p->m_strURL);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

std::size_t Count(const std::string& strText, const std::string& strPart) {
    std::size_t n = 0;
    for (std::size_t p = strText.find(strPart); p != std::string::npos;
         p = strText.find(strPart, p + 1)) {
        ++n;
    }
    return n;
}

class CarryTest : public SaveTest {};

// Attributes that only other browsers read, on a heading and on bookmarks,
// and notes over one line and over two: a rename changes the name alone,
// also for a bookmark that the Favorites hold too.
TEST_F(CarryTest, AttributesAndDescriptionsSurviveARename) {
    const std::string strDates = "ADD_DATE=\"10\" LAST_VISIT=\"11\" LAST_MODIFIED=\"12\"";
    const std::string strAlpha =
        " ICON=\"data:image/png;base64,iVBORw0KGgo=\" TAGS=\"news,daily\" SHORTCUTURL=\"al\" "
        "LAST_CHARSET=\"UTF-8\" ID=\"rdf:#$a1\"";
    const std::string strBefore =
        kOpen +
        "    <DT><H3 FOLDED ADD_DATE=\"5\" LAST_MODIFIED=\"6\" "
        "PERSONAL_TOOLBAR_FOLDER=\"true\" ID=\"rdf:#$tb\">Toolbar</H3>\r\n"
        "    <DD>What I use daily\r\n      <DL><p>\r\n" +
        "  " + Line("http://a.example/", strDates, strAlpha, "Alpha") +
        "      <DD>first line\r\nsecond line\r\n" + "  " +
        Line("http://b.example/", strDates, " ICON_URI=\"http://b.example/i.ico\" ID=\"b2\"",
             "Beta") +
        "      <DD>a &lt;short&gt; note\r\n      </DL><p>\r\n" +
        Line("http://c.example/", strDates, " FEEDURL=\"http://c.example/rss\"", "Gamma") + kClose;
    m_dir.Write("profile/bookmark.htm", strBefore);
    m_dir.Write("Favorites/Beta.url", Shortcut("http://b.example/"));
    Import();
    ASSERT_EQ(Marks(), (std::vector<std::string>{"Alpha|2", "Beta|3", "Gamma|2"}));
    m_view.RenameBookmark(*m_view.Named("Alpha"), "Alpha & Omega");
    m_view.RenameBookmark(*m_view.Named("Gamma"), "Gamma Rays");
    m_view.SaveChanges();
    std::string strAfter = strBefore;
    strAfter.replace(strAfter.find(">Alpha<"), 7, ">Alpha &amp; Omega<");
    strAfter.replace(strAfter.find(">Gamma<"), 7, ">Gamma Rays<");
    EXPECT_EQ(ReadFileBytes(m_strNS), strAfter);
    m_view.SaveChanges();
    EXPECT_EQ(ReadFileBytes(m_strNS), strAfter);
}

// Headings without ADD_DATE, folded or not, nested: their bookmarks stay in
// them, and they are written back without a date.
TEST_F(CarryTest, HeadingsWithoutADateStayFolders) {
    m_dir.Write(
        "profile/bookmark.htm",
        kOpen +
            "<DT><H3>Plain</H3>\r\n<DL><p>\r\n<DT><A HREF=\"http://p/\" ADD_DATE=\"1\">p</A>\r\n"
            "<DT><H3 FOLDED>Inner</H3>\r\n<DL><p>\r\n"
            "<DT><A HREF=\"http://i/\" ADD_DATE=\"2\">i</A>\r\n</DL><p>\r\n</DL><p>\r\n"
            "<DT><A HREF=\"http://top/\" ADD_DATE=\"3\">top</A>\r\n</DL><p>\r\n");
    const std::string strSaved = SaveTwiceUnchanged("no dates");
    EXPECT_EQ(Describe(m_view),
              (std::vector<std::string>{
                  "B Plain > Inner > i|http://i/|2/0/0|2", "B Plain > p|http://p/|1/0/0|2",
                  "B top|http://top/|3/0/0|2", "F Plain > Inner||0/0/0|2", "F Plain||0/0/0|2"}));
    EXPECT_NE(strSaved.find("<DT><H3 FOLDED>Plain</H3>\r\n"), std::string::npos) << strSaved;
    EXPECT_NE(strSaved.find("<DT><H3 FOLDED>Inner</H3>\r\n"), std::string::npos) << strSaved;
    EXPECT_EQ(Count(strSaved, "ADD_DATE"), 3u) << strSaved;
}

// Tags in lower case, and a page heading with attributes as Firefox writes
// it: the bookmarks are read, and saving twice writes the same bytes with no
// list added.
TEST_F(CarryTest, LowerCaseAndHeadingAttributesAreRead) {
    const struct {
        const char* pszName;
        std::string strFile;
    } cases[] = {
        {"lower case",
         "<!doctype netscape-bookmark-file-1>\r\n<title>Bookmarks</title>\r\n<h1>Bookmarks</h1>\r\n"
         "<dl><p>\r\n<dt><h3 add_date=\"4\">tools</h3>\r\n<dl><p>\r\n"
         "<dt><a href=\"http://in/\" add_date=\"5\" last_visit=\"6\">in</a>\r\n</dl><p>\r\n"
         "<dt><a href=\"http://out/\" add_date=\"7\">out</a>\r\n</dl><p>\r\n"},
        {"heading attributes",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n"
         "<H1 LAST_MODIFIED=\"1700000000\">Bookmarks Menu</H1>\r\n\r\n<DL><p>\r\n"
         "<DT><H3 ADD_DATE=\"4\">tools</H3>\r\n<DL><p>\r\n"
         "<DT><A HREF=\"http://in/\" ADD_DATE=\"5\" LAST_VISIT=\"6\">in</A>\r\n</DL><p>\r\n"
         "<DT><A HREF=\"http://out/\" ADD_DATE=\"7\">out</A>\r\n</DL><p>\r\n"},
    };
    m_view.m_strFavDir.clear();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_dir.Write("profile/bookmark.htm", c.strFile);
        const std::string strSaved = SaveTwiceUnchanged(c.pszName);
        std::vector<std::string> rows;
        for (const CBookmark* p : m_view.Bookmarks()) {
            rows.push_back(p->m_pFolder->m_strName + "/" + p->m_strName + "|" + p->m_strURL);
        }
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (std::vector<std::string>{"/out|http://out/", "tools/in|http://in/"}));
        EXPECT_EQ(Count(strSaved, "<DL><p>"), 2u) << strSaved;
        std::filesystem::remove_all(m_dir / "profile");
    }
}

// A bookmark of both stores whose Netscape URL differs from the shortcut's in
// letter case or by a trailing slash: the Netscape file keeps its own URL and
// dates, whichever copy the list shows, whatever the shortcut's file times.
TEST_F(CarryTest, BothBrowsersKeepTheNetscapeCopy) {
    const std::string strDates = "ADD_DATE=\"100\" LAST_VISIT=\"200\" LAST_MODIFIED=\"300\"";
    const std::string strFile = kOpen + Line("http://example.com/Path", strDates, "", "CaseA") +
                                Line("HTTP://EXAMPLE.COM/b", strDates, "", "CaseB") +
                                Line("http://slash.example/", strDates, "", "SlashA") +
                                Line("http://slosh.example", strDates, "", "SlashB") + kClose;
    m_dir.Write("profile/bookmark.htm", strFile);
    m_dir.Write("Favorites/CaseA.url", Shortcut("http://EXAMPLE.com/path"));
    m_dir.Write("Favorites/CaseB.url", Shortcut("http://example.com/B"));
    m_dir.Write("Favorites/SlashA.url", Shortcut("http://slash.example"));
    m_dir.Write("Favorites/SlashB.url", Shortcut("http://slosh.example/"));
    const auto favorites = Snapshot(m_strFav);
    Import();
    ASSERT_EQ(Marks(), (std::vector<std::string>{"CaseA|3", "CaseB|3", "SlashA|3", "SlashB|3"}));
    m_view.SaveChanges();
    EXPECT_EQ(ReadFileBytes(m_strNS), strFile);
    EXPECT_EQ(Snapshot(m_strFav), favorites);
    for (const auto& [strName, strBytes] : favorites) {
        ASSERT_TRUE(SetFileTimes(m_dir / ("Favorites/" + strName), 1'100'000'000, 1'200'000'000));
    }
    m_fs.m_tNow += 10;
    m_view.SaveChanges();
    EXPECT_EQ(ReadFileBytes(m_strNS), strFile);
    EXPECT_EQ(Snapshot(m_strFav), favorites);
}

// A bookmarklet whose URL holds ">", and three bookmarks on one line: each
// name is its own, and saves change nothing.
TEST_F(CarryTest, BookmarkletNamesStayWhole) {
    m_view.m_strFavDir.clear();
    m_dir.Write("profile/bookmark.htm",
                kOpen +
                    "<DT><A HREF=\"javascript:if(1>0)alert('>')\" ADD_DATE=\"1\">Check</A>\r\n"
                    "<DT><A HREF=\"http://1/\">one</A><DT><A HREF=\"http://2/\">two</A>"
                    "<DT><A HREF=\"http://3/\" ADD_DATE=\"3\">three</A>\r\n</DL><p>\r\n");
    const std::string strSaved = SaveTwiceUnchanged("bookmarklet");
    EXPECT_EQ(Texts(m_view),
              (std::vector<std::string>{"Check|javascript:if(1>0)alert('>')", "one|http://1/",
                                        "three|http://3/", "two|http://2/"}));
    EXPECT_EQ(Count(strSaved, "<DT>"), 4u) << strSaved;
}

// Windows file names cannot hold "<", ">", quotation marks or line breaks.
#ifndef _WIN32
// References in the Netscape file reach the Favorites as the characters they
// stand for; markup characters, a line break and quotation marks from the
// Favorites reach the Netscape file as text that reads back the same, and a
// URL cannot add attributes to its tag.
TEST_F(CarryTest, TextCrossesAsWhatItIs) {
    m_dir.Write("profile/bookmark.htm",
                kOpen +
                    "<DT><A HREF=\"http://town.example/?a=1&amp;b=2\" ADD_DATE=\"9\">"
                    "Town News &amp; Weather</A>\r\n</DL><p>\r\n");
    Import();
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav + "/Netscape Bookmarks"),
              (std::map<std::string, std::string>{
                  {"Town News & Weather.url", Shortcut("http://town.example/?a=1&b=2")}}));
    EXPECT_EQ(Marks(), std::vector<std::string>{"Town News & Weather|3"});

    std::filesystem::remove_all(m_strFav);
    m_dir.Write("profile/bookmark.htm", kOpen + "</DL><p>\r\n");
    m_dir.Write("Favorites/a<b>c.url", Shortcut("http://lt.example/?x<y"));
    m_dir.Write("Favorites/Fish & Chips &amp;.url", Shortcut("http://amp.example/?a=1&b=2&amp;"));
    m_dir.Write("Favorites/two\nlines.url", Shortcut("http://nl.example/"));
    m_dir.Write("Favorites/Sub/quote.url", Shortcut("http://q.example/?x=\"y\""));
    m_dir.Write("Favorites/Sub/inject.url", Shortcut("http://i.example/\" ADD_DATE=\"1"));
    Import();
    const std::vector<std::string> texts = Texts(m_view);
    const CBookmark* pInject = m_view.Named("inject");
    ASSERT_NE(pInject, nullptr);
    ASSERT_NE(pInject->m_tAdded, 1);
    const CTime tAdded = pInject->m_tAdded;
    m_view.m_bAddExplorer = false;
    m_view.m_bAddNetscape = true;
    m_view.SaveChanges();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"Fish & Chips &amp;|3", "a<b>c|3", "inject|3",
                                                 "quote|3", "two\nlines|3"}));
    // The Netscape file alone.
    m_view.m_strFavDir.clear();
    Import();
    EXPECT_EQ(Texts(m_view), texts);
    pInject = m_view.Named("inject");
    ASSERT_NE(pInject, nullptr);
    EXPECT_EQ(pInject->m_tAdded, tAdded);
}
#endif

// References beyond ASCII in Netscape names stand for their characters: a
// bookmark is joined with the shortcut of that name and URL, and one of the
// Netscape file alone is exported under that name. Its line is written back
// as it was.
TEST_F(CarryTest, ReferencesBeyondAsciiCrossAsCharacters) {
    const std::string strDates = "ADD_DATE=\"9\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\"";
    const std::string strFile =
        kOpen + Line("http://dash.example/", strDates, "", "A &ndash; Z&nbsp;&euro;") +
        Line("http://cafe.example/", strDates, "", "Caf&#233;") + kClose;
    m_dir.Write("profile/bookmark.htm", strFile);
    m_dir.Write("Favorites/Caf\xC3\xA9.url", Shortcut("http://cafe.example/"));
    Import();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"A \xE2\x80\x93 Z\xC2\xA0\xE2\x82\xAC|2",
                                                 "Caf\xC3\xA9|3"}));
    m_view.m_bAddExplorer = true;
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav + "/Netscape Bookmarks"),
              (std::map<std::string, std::string>{
                  {"A \xE2\x80\x93 Z\xC2\xA0\xE2\x82\xAC.url", Shortcut("http://dash.example/")}}));
    EXPECT_EQ(ReadFileBytes(m_strNS), strFile);
}

// Windows file names cannot hold "<", ">", quotation marks or line breaks.
#ifndef _WIN32
// Markup characters, quotation marks, line breaks, "&amp;" as text and
// numeric references in both stores, both boxes ticked: one save makes every
// bookmark one of both stores, the next exports nothing, and each shortcut
// file is named as its row.
TEST_F(CarryTest, TwoWayExchangeSettles) {
    m_dir.Write("Favorites/Rock & Roll <live>.url", Shortcut("http://f1.example/?a=1&b=<2>"));
    m_dir.Write("Favorites/say \"hi\" it's.url", Shortcut("http://f2.example/\"q\"'s"));
    m_dir.Write("Favorites/two\nlines.url", Shortcut("http://f3.example/"));
    m_dir.Write("Favorites/Sub/&amp; as text.url", Shortcut("http://f4.example/?a&amp;b"));
    m_dir.Write("Favorites/Sub/it&#39;s.url", Shortcut("http://f5.example/&#39;"));
    m_dir.Write("profile/bookmark.htm",
                kOpen +
                    "<DT><A HREF=\"http://n1.example/?a=1&amp;b=2\">Fish &amp; Chips &lt;hot&gt;"
                    "</A>\r\n"
                    "<DT><A HREF=\"http://n2.example/&quot;q&quot;&#39;\">say &quot;bye&quot; "
                    "&#39;now&#39;</A>\r\n"
                    "<DT><H3 ADD_DATE=\"1\">Deep &amp; Down</H3>\r\n<DL><p>\r\n"
                    "<DT><A HREF=\"http://n3.example/&lt;x&gt;\">three&#10;lines</A>\r\n"
                    "<DT><A HREF=\"http://n4.example/?a&amp;amp;b\">&amp;amp; as text</A>\r\n"
                    "<DT><A HREF=\"http://n5.example/&#38;#39;\">&#38;#39; ref</A>\r\n"
                    "<DT><A HREF=\"http://n6.example/?a&b\">AT&T 1 > 0</A>\r\n"
                    // No line of a shortcut file can hold a line break.
                    "<DT><A HREF=\"http://n7.example/a&#10;b\">Split URL</A>\r\n"
                    "</DL><p>\r\n</DL><p>\r\n");
    m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
    Import();
    const std::vector<std::string> texts = Texts(m_view);
    m_view.SaveChanges();
    const std::vector<std::string> rows = Marks();
    EXPECT_EQ(rows.size(), texts.size());
    for (const std::string& strRow : rows) {
        EXPECT_TRUE(strRow.ends_with("|3")) << strRow;
    }
    EXPECT_EQ(Texts(m_view), texts);
    const auto favorites = Snapshot(m_strFav);
    m_fs.m_tNow += 10;
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav), favorites);
    EXPECT_EQ(Marks(), rows);
    EXPECT_EQ(Count(ReadFileBytes(m_strNS), ">IExplorer "), 1u);
    for (const CBookmark* p : m_view.Bookmarks()) {
        EXPECT_EQ(FileTitle(p->m_strFileName.str()), p->m_strName);
    }
}
#endif

}  // namespace
