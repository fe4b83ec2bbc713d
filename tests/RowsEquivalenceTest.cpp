// The list's rows and counts, as SortedRows gives them from its kept order
// and search text, against the plain way: every record that is a row and
// passes the filter, in catalogue order, sorted stably with CompareRows.
#include <gtest/gtest.h>

#include <algorithm>

#include "bench/StoreGenerator.h"
#include "tests/TestSupport.h"

namespace {

std::vector<CBookmark*> PlainRows(const CTVLDlgBase& view, int& nTotal) {
    std::vector<CBookmark*> rows;
    nTotal = 0;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = view.BookmarkAt(i);
        if (pMark->IsRow()) {
            ++nTotal;
            if (view.PassesFilter(*pMark)) {
                rows.push_back(pMark);
            }
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&view](const CBookmark* a, const CBookmark* b) {
        return CTVLDlgBase::CompareRows(a, b, &view) < 0;
    });
    return rows;
}

class RowsEquivalence : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        std::copy(kInitialSortKeys, kInitialSortKeys + 4, g_sortKeys);
        CStoreShape shape;
        shape.nNetscape = GetParam();
        shape.nFavorites = GetParam() / 10;
        shape.dShared = 0.5;
        WriteNetscapeFile(m_dir.Path() / "bookmark.htm", shape);
        WriteFavoritesTree(m_dir.Path() / "Favorites", shape);
        m_view.m_strNSFile = m_dir / "bookmark.htm";
        m_view.m_bNetscape = true;
        m_view.m_strFavorites = m_dir / "Favorites";
        m_view.m_bMSIE = true;
        m_view.ReadStores();
    }
    void TearDown() override { std::copy(kInitialSortKeys, kInitialSortKeys + 4, g_sortKeys); }

    // One step of typing: the filter box now reads strText.
    void Expect(const std::string& strText) {
        m_view.SetFilter(strText);
        std::vector<CBookmark*> rows;
        const int nTotal = m_view.SortedRows(rows);
        int nPlainTotal = 0;
        const std::vector<CBookmark*> plain = PlainRows(m_view, nPlainTotal);
        EXPECT_EQ(nTotal, nPlainTotal) << '"' << strText << '"';
        EXPECT_EQ(rows.size(), plain.size()) << '"' << strText << '"';
        EXPECT_TRUE(rows == plain) << '"' << strText << '"';
        m_nMatched += rows.empty() ? 0 : 1;
        const bool bBeyondAscii = std::any_of(strText.begin(), strText.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80;
        });
        m_nMatchedBeyondAscii += !rows.empty() && bBeyondAscii ? 1 : 0;
    }
    // Types the text a character at a time, then deletes it again.
    void TypeAndDelete(const std::string& strText) {
        for (std::size_t n = 1; n <= strText.size(); ++n) {
            Expect(strText.substr(0, n));
        }
        for (std::size_t n = strText.size(); n-- > 0;) {
            Expect(strText.substr(0, n));
        }
    }
    // A piece of some row's name, URL or folder name, so that patterns match.
    std::string PieceOf(int nRow, int nField, std::size_t nLen) const {
        std::vector<CBookmark*> rows = m_view.Bookmarks();
        const CBookmark* pMark = rows[static_cast<std::size_t>(nRow) % rows.size()];
        const CRecordText& str = nField == 0                   ? pMark->m_strName
                                 : nField == 1                 ? pMark->m_strURL
                                 : pMark->m_pFolder != nullptr ? pMark->m_pFolder->m_strName
                                                               : pMark->m_strName;
        const std::size_t nFrom = str.size() > nLen ? str.size() / 3 : 0;
        return str.substr(nFrom, nLen);
    }

    CTempDir m_dir;
    CTestView m_view;
    int m_nMatched = 0;
    int m_nMatchedBeyondAscii = 0;  // steps whose filter is not ASCII and finds rows
};

TEST_P(RowsEquivalence, TypingDeletingAndPastingGiveThePlainRows) {
    for (const char* pszWord : {"mail", "news", "wiki", "http://www.", "ORG/", "e", "q", "zzzzq"}) {
        TypeAndDelete(pszWord);
    }
    for (int i = 0; i < 12; ++i) {
        TypeAndDelete(PieceOf(i * 7919, i % 3, 3 + i % 5));
    }
    // Pasted texts that do not extend the one before; one that matches nothing.
    for (const std::string& strText :
         {PieceOf(17, 1, 20), std::string("ab"), PieceOf(99, 0, 9), std::string("b"),
          std::string("\x01"), std::string("^{\\}"), std::string(128, 'a'), PieceOf(5, 2, 40),
          std::string(":"), std::string("&amp;"), std::string("%2"), std::string("")}) {
        Expect(strText);
    }
    EXPECT_GT(m_nMatched, 100);
}

TEST_P(RowsEquivalence, BeyondAsciiInEitherEncodingGivesThePlainRows) {
    for (const char* pszWord : {"\xC3\xBC"
                                "ber",
                                "caf\xC3\xA9", "R\xC3\xA9sum\xC3\xA9", "\xE9",
                                "stra\xC3\x9F"
                                "e",
                                "\xC3\x9C"}) {
        TypeAndDelete(pszWord);
    }
    EXPECT_GT(m_nMatchedBeyondAscii, 10);
}

// Header clicks, removals and a rename change the kept order and texts; the
// rows must follow each of them.
TEST_P(RowsEquivalence, HeaderClicksRemovalsAndRenamesGiveThePlainRows) {
    const std::string strPiece = PieceOf(31, 0, 2);
    for (int nColumn : {COL_NAME, COL_NAME, COL_URL, COL_FOLDER, COL_BROWSER, COL_DATE, COL_DATE}) {
        m_view.ClickColumn(nColumn);
        Expect("");
        TypeAndDelete(strPiece);
    }
    std::vector<CBookmark*> rows;
    m_view.SetFilter(strPiece);
    m_view.SortedRows(rows);
    ASSERT_GT(rows.size(), 3u);
    m_view.RemoveRow(*rows[0]);
    m_view.RemoveRow(*rows[rows.size() / 2]);
    TypeAndDelete(strPiece + "x");
    Expect(strPiece);
    m_view.RenameBookmark(*rows[1], "Renamed to be found");
    TypeAndDelete("renamed");
    m_view.RemoveRow(*rows[2]);
    Expect("");
    TypeAndDelete(strPiece);
}

INSTANTIATE_TEST_SUITE_P(GeneratedStores, RowsEquivalence, testing::Values(500, 6000, 40000));

// Enough rows that the order is made on two threads: after each header click,
// in both directions, all rows come as one stable sort puts them.
class RowsEquivalenceLarge : public RowsEquivalence {};

TEST_P(RowsEquivalenceLarge, HeaderClicksOrderAllRows) {
    Expect("");
    for (int nColumn : {COL_NAME, COL_NAME, COL_URL, COL_FOLDER, COL_BROWSER, COL_DATE, COL_DATE}) {
        m_view.ClickColumn(nColumn);
        Expect("");
    }
}

INSTANTIATE_TEST_SUITE_P(GeneratedStores, RowsEquivalenceLarge, testing::Values(100000));

}  // namespace
