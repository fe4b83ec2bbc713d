// A bookmark file in Windows-1252, as Netscape 4 wrote it in the system's code
// page, meets Favorites whose file names are UTF-8: the same bookmark in both
// is one row, an export names its file in UTF-8, and two-way saves settle.
#include <gtest/gtest.h>

#include "catalogue/TextCase.h"
#include "tests/SaveSupport.h"

namespace {

std::vector<std::string> RowsOf(CSaveView& view) {
    std::vector<std::string> rows;
    for (CBookmark* pMark : view.Bookmarks()) {
        rows.push_back(pMark->m_strName + "|" + CTVLDlgBase::BrowserText(*pMark));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST_F(SaveTest, Windows1252NamesJoinTheirUtf8Files) {
    m_dir.Write("Favorites/Caf\xC3\xA9.url", Shortcut("http://cafe.test/"));
    m_dir.Write("profile/bookmark.htm",
                kHeader + "<DL><p>\r\n<DT><A HREF=\"http://cafe.test/\">Caf\xE9</A>\r\n" +
                    "<DT><H3 ADD_DATE=\"1\">M\xFCnchen</H3>\r\n<DL><p>\r\n" +
                    "<DT><A HREF=\"http://strasse.test/\">Stra\xDF"
                    "e</A>\r\n</DL><p>\r\n" +
                    "</DL><p>\r\n");
    Import();
    EXPECT_EQ(RowsOf(m_view), (std::vector<std::string>{"Caf\xC3\xA9|**",
                                                        "Stra\xDF"
                                                        "e|NS"}));

    m_view.m_bAddExplorer = m_view.m_bAddNetscape = true;
    m_view.SaveChanges();
    const std::string strExported = m_strFav +
                                    "/Netscape Bookmarks/M\xC3\xBCnchen/Stra\xC3\x9F"
                                    "e.url";
    EXPECT_EQ(ReadFileBytes(strExported), Shortcut("http://strasse.test/"));
    // The file joins the bookmark it came from; the file's name is shown.
    const std::vector<std::string> joined{"Caf\xC3\xA9|**",
                                          "Stra\xC3\x9F"
                                          "e|**"};
    EXPECT_EQ(RowsOf(m_view), joined);

    // Nothing more to export: the next save writes no second copy.
    const auto before = Snapshot(m_strFav);
    m_fs.m_tNow = kNow + 1;
    m_view.SaveChanges();
    EXPECT_EQ(Snapshot(m_strFav), before);
    EXPECT_EQ(RowsOf(m_view), joined);
}

TEST(TextAsUtf8, KeepsUtf8AndEncodesWindows1252) {
    EXPECT_EQ(TextAsUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(TextAsUtf8("Caf\xE9 \x80 \x81"), "Caf\xC3\xA9 \xE2\x82\xAC \xC2\x81");
    EXPECT_TRUE(CTVLDlgBase::SameName("CAF\xC3\xA9 (2)", "caf\xE9"));
    EXPECT_FALSE(CTVLDlgBase::SameName("Caf\xC3\xA9", "Caf\xE8"));
}

}  // namespace
