#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>

#include "tests/TestSupport.h"

namespace {

TEST(RowsFilter, SetFilterCutsTo63AndUpperCasesOnlyAToZ) {
    CTestView view;
    view.SetFilter(std::string(100, 'x'));
    EXPECT_EQ(std::string(view.m_szFilter), std::string(63, 'X'));
    view.SetFilter("az`{@[AZ09-\xE9~");
    EXPECT_EQ(std::string(view.m_szFilter), "AZ`{@[AZ09-\xE9~");
    view.SetFilter("");
    EXPECT_EQ(std::string(view.m_szFilter), "");
    // UTF-8 is cut before a character that does not fit whole; other bytes at 63.
    view.SetFilter(std::string(62, 'a') + "\xC3\xBC");
    EXPECT_EQ(std::string(view.m_szFilter), std::string(62, 'A'));
    view.SetFilter(std::string(62, 'a') + "\xFC\xFC");
    EXPECT_EQ(std::string(view.m_szFilter), std::string(62, 'A') + "\xFC");
}

TEST(RowsFilter, MatchesNameUrlOrFolderInAnyCase) {
    const struct {
        const char *pszFilter, *pszName, *pszURL, *pszFolder;  // null folder: none
        bool bPass;
    } cases[] = {
        {"mail", "Inbox", "http://example.com/", "Webmail", true},
        {"mail", "GMail", "http://x/", nullptr, true},
        {"MaIl", "Post", "HTTP://MAIL.X/", nullptr, true},
        {"mail", "Post", "http://x/", "Inbox", false},
        {"webmail2", "Post", "http://x/", "Webmail", false},
        {"", "", "", nullptr, true},
        {"com/", "Site", "http://s.com/", nullptr, true},
        {"http://s.com/x", "Site", "http://s.com", nullptr, false},
        {"[", "{x}", "http://x/", nullptr, false},
        {"{", "[x]", "http://x/", nullptr, false},
        {"{", "a{b", "http://x/", nullptr, true},
        {"a b", "A  B", "http://x/", nullptr, false},
        {"a b", "xA Bx", "http://x/", nullptr, true},
        {"\xE9", "caf\xE9", "http://x/", nullptr, true},
        // Candidates of either case, partial matches before the real one.
        {"ab", "AaAaB", "http://x/", nullptr, true},
        {"ab", "aAaAb", "http://x/", nullptr, true},
        {"aab", "aAaA", "http://x/", nullptr, false},
        {"ba", "Ab", "http://x/", nullptr, false},
        {"b", "aaaB", "http://x/", nullptr, true},
        {"1a", "x11A", "http://x/", nullptr, true},
        // Beyond ASCII: either encoding on either side, letters without case.
        {"z\xC3\xBC", "Stadt Z\xFCrich", "http://x/", nullptr, true},
        {"Z\xC3\x9C", "stadt z\xC3\xBCrich", "http://x/", nullptr, true},
        {"z\xC3\xBC", "Stadt Zurich", "http://x/", nullptr, false},
        {"\xC5\xA1\xC5\xBE", "\x8A\x8E", "http://x/", nullptr, true},
        {"\xC5\x93\xC3\xBF", "c\x8C\x9F", "http://x/", nullptr, true},
        {"\xC5\x82\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x81\xC3\x93"
         "D\xC5\xB9",
         "http://x/", nullptr, true},
        {"\xD0\xBC\xD0\xB8\xD1\x80", "\xD0\x9C\xD0\x98\xD0\xA0", "http://x/", nullptr, true},
        {"\xC3\xBC", "Post", "http://x/\xC3\x9C", nullptr, true},
        {"\xC3\xA9", "Post", "http://x/", "Caf\xC3\x89", true},
        {"\xC3\x9F", "STRASSE", "http://x/", nullptr, false},
        {"\xC3\xA9", "cafe", "http://caf\xC3\xA8/", "Caf\xC3\xA8", false},
    };
    for (const auto& c : cases) {
        CTestView view;
        CBookmark folder;
        folder.m_strName = c.pszFolder != nullptr ? c.pszFolder : "";
        CBookmark mark;
        mark.m_strName = c.pszName;
        mark.m_strURL = c.pszURL;
        mark.m_pFolder = c.pszFolder != nullptr ? &folder : nullptr;
        view.SetFilter(c.pszFilter);
        EXPECT_EQ(view.PassesFilter(mark), c.bPass) << "'" << c.pszFilter << "' " << c.pszName;
    }
}

// The list's rows come from one cached order: a filter only picks from it, and
// what changes the order (a header click, a rename, a new catalogue) rebuilds it.
TEST(RowsFilter, SortedRowsFilterTheCachedOrderUntilItChanges) {
    std::copy(kInitialSortKeys, kInitialSortKeys + 4, g_sortKeys);
    CTestView view;
    auto add = [&](std::uint32_t nFlags, const char* pszName, const char* pszURL,
                   CBookmark* pFolder) {
        auto* p = new CBookmark;
        p->m_nFlags = nFlags;
        p->m_strName = pszName;
        p->m_strURL = pszURL;
        p->m_pFolder = pFolder;
        view.m_bookmarks.Add(p);
        return p;
    };
    CBookmark* pRoot = add(BMF_FOLDER | BMF_MSIE, "", "/fav/mail", nullptr);
    CBookmark* pWeb = add(BMF_FOLDER | BMF_MSIE, "Webmail", "/fav/mail/Webmail", pRoot);
    CBookmark* pZ = add(BMF_MSIE, "Zmail", "http://z/", pRoot);
    CBookmark* pNews = add(BMF_NETSCAPE, "News", "http://news/", pRoot);
    add(BMF_MSIE | BMF_REMOVED, "Mailer", "http://mail/", pRoot);
    CBookmark* pInbox = add(BMF_MSIE | BMF_NETSCAPE, "Inbox", "http://in/", pWeb);
    pNews->m_tAdded = 10;
    auto rows = [&view](const char* pszFilter, int nTotal) {
        std::vector<CBookmark*> result{nullptr};  // replaced, not appended to
        view.SetFilter(pszFilter);
        EXPECT_EQ(view.SortedRows(result), nTotal) << pszFilter;
        return result;
    };
    // Newest first, then by name; the folder's name counts for the filter.
    EXPECT_EQ(rows("", 3), (std::vector<CBookmark*>{pNews, pInbox, pZ}));
    EXPECT_EQ(rows("mail", 3), (std::vector<CBookmark*>{pInbox, pZ}));
    EXPECT_EQ(rows("nothing", 3), std::vector<CBookmark*>{});

    view.ClickColumn(COL_NAME);
    EXPECT_EQ(rows("", 3), (std::vector<CBookmark*>{pInbox, pNews, pZ}));
    view.ClickColumn(COL_NAME);
    EXPECT_EQ(rows("", 3), (std::vector<CBookmark*>{pZ, pNews, pInbox}));
    view.RenameBookmark(*pZ, "Aardvark");
    EXPECT_EQ(rows("", 3), (std::vector<CBookmark*>{pNews, pInbox, pZ}));
    // A removal only flags the record; it leaves the rows at once.
    view.RemoveRow(*pNews);
    EXPECT_EQ(rows("", 2), (std::vector<CBookmark*>{pInbox, pZ}));
    // A new catalogue: none of the old records may be listed.
    view.m_bookmarks.DeleteAll();
    view.InvalidateRowOrder();
    EXPECT_EQ(rows("", 0), std::vector<CBookmark*>{});
    std::copy(kInitialSortKeys, kInitialSortKeys + 4, g_sortKeys);
}

class RowsColumnText : public testing::Test {
protected:
    void SetUp() override {
        const char* pszTZ = std::getenv("TZ");
        m_bHadTZ = pszTZ != nullptr;
        m_strTZ = m_bHadTZ ? pszTZ : "";
        UseTimeZone("UTC");
    }
    void TearDown() override {
        if (m_bHadTZ) {
            UseTimeZone(m_strTZ.c_str());
        } else {
            UnsetEnv("TZ");
            tzset();
        }
    }
    static void UseTimeZone(const char* pszTZ) {
        SetEnv("TZ", pszTZ);
        tzset();
    }
    bool m_bHadTZ = false;
    std::string m_strTZ;
};

TEST_F(RowsColumnText, AllFiveColumns) {
    CBookmark folder;
    folder.m_strName = "Tools";
    CBookmark mark;
    mark.m_strName = "Site";
    mark.m_strURL = "http://s.org/";
    EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_NAME), "Site");
    EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_URL), "http://s.org/");
    EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_FOLDER), "");
    mark.m_pFolder = &folder;
    EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_FOLDER), "Tools");
    const std::pair<std::uint32_t, const char*> browsers[] = {
        {BMF_MSIE, "IE"}, {BMF_NETSCAPE, "NS"},           {BMF_MSIE | BMF_NETSCAPE, "**"},
        {0, "**"},        {BMF_MSIE | BMF_REMOVED, "IE"}, {BMF_FOLDER | BMF_NETSCAPE, "NS"}};
    for (auto [nFlags, pszText] : browsers) {
        mark.m_nFlags = nFlags;
        EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_BROWSER), pszText) << nFlags;
    }
    const std::pair<CTime, const char*> dates[] = {
        {0, "70-01-01"},         {978220800, "00-12-31"}, {978307199, "00-12-31"},
        {978307200, "01-01-01"}, {-1, "69-12-31"},        {4102444800, "00-01-01"}};
    for (auto [t, pszText] : dates) {
        mark.m_tAdded = t;
        EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_DATE), pszText) << t;
    }
    // The date is local time: five hours west of UTC it is still the day before.
    UseTimeZone("EST5");
    mark.m_tAdded = 978307200;
    EXPECT_EQ(CTVLDlgBase::GetColumnText(mark, COL_DATE), "00-12-31");
}

}  // namespace

// However the filter is typed and deleted, the rows kept from earlier filters
// give what filtering every row gives.
TEST(RowsFilter, KnownFiltersGiveWhatAFullScanGives) {
    CTestView view;
    const char* const kNames[] = {"Mail",        "mai",      "Ab",   "ba",    "Z\xFCrich",
                                  "z\xC3\xBCri", "\xC3\x9C", "\xFC", "a\xC3", "m\xC3\xA4il"};
    for (const char* pszName : kNames) {
        auto* p = new CBookmark;
        p->m_nFlags = BMF_MSIE;
        p->m_strName = pszName;
        p->m_strURL = "http://x/";
        view.m_bookmarks.Add(p);
    }
    const char* const kPieces[] = {"m", "a", "i", "\xC3", "\xBC", "\xFC", "b", "z", "\xC3\x9C"};
    std::mt19937 rng(7);
    std::string strTyped;
    for (int nStep = 0; nStep < 2000; ++nStep) {
        if (rng() % 3 == 0 && !strTyped.empty()) {
            strTyped.pop_back();
        } else if (strTyped.size() < 6) {
            strTyped += kPieces[rng() % std::size(kPieces)];
        }
        view.SetFilter(strTyped);
        std::vector<CBookmark*> rows;
        ASSERT_EQ(view.SortedRows(rows), 10);
        std::vector<CBookmark*> all;
        CTestView fresh;  // the same filter without anything known
        fresh.SetFilter(strTyped);
        std::vector<CBookmark*> expected;
        for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
            all.push_back(view.BookmarkAt(i));
        }
        view.SortRowPointers(all);
        for (CBookmark* p : all) {
            if (fresh.PassesFilter(*p)) {
                expected.push_back(p);
            }
        }
        ASSERT_EQ(rows, expected) << "filter '" << strTyped << "' at step " << nStep;
    }
}
