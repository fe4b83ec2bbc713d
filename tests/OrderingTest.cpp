#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "tests/TestSupport.h"

namespace {

constexpr std::uint32_t IE = BMF_MSIE;
constexpr std::uint32_t NS = BMF_NETSCAPE;
constexpr std::uint32_t DIR = BMF_FOLDER;

TEST(SameURL, TrailingSlashOnlyWhenTheRestMatchesExactly) {
    const struct {
        const char *a, *b;
        bool bSame;
    } cases[] = {{"http://a.com/X", "HTTP://A.COM/x", true},
                 {"http://a.com/", "http://a.com", true},
                 {"http://a.com\\", "http://a.com", true},
                 {"http://A.com/", "http://a.com", false},
                 {"http://a.com//", "http://a.com", false},
                 {"http://a.com/", "http://a.com\\", false},
                 {"http://a.comx", "http://a.com", false},
                 {"http://a.co", "http://a.com", false},
                 {"", "", true},
                 {"/", "", true},
                 {"", "x", false},
                 {"x/", "y", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(CTVLDlgBase::SameURL(c.a, c.b), c.bSame) << c.a << " | " << c.b;
        EXPECT_EQ(CTVLDlgBase::SameURL(c.b, c.a), c.bSame) << c.b << " | " << c.a;
    }
}

// A record that counts its destructions, so a join is seen to delete one record.
class CCountedBookmark : public CBookmark {
public:
    explicit CCountedBookmark(int* pDeaths) : m_pDeaths(pDeaths) {}
    ~CCountedBookmark() override { ++*m_pDeaths; }
    int* m_pDeaths;
};

// A catalogue built by hand: both roots first, then the records in the order added.
class CMergeView : public CTestView {
public:
    explicit CMergeView(bool bRoots = true) {
        if (bRoots) {
            m_pFavRoot = Add(DIR | IE, "", "/fav");
            m_pNSRoot = Add(DIR | NS, "", "/fav/Netscape Bookmarks");
        }
    }
    ~CMergeView() override { m_bookmarks.DeleteAll(); }
    // Without a folder the record goes under its store's root.
    CBookmark* Add(std::uint32_t nFlags, const char* pszName, const char* pszURL,
                   CBookmark* pFolder = nullptr) {
        auto* p = new CCountedBookmark(&m_nDeaths);
        p->m_nFlags = nFlags;
        p->m_strName = pszName;
        p->m_strURL = pszURL;
        p->m_pFolder = pFolder != nullptr ? pFolder : (nFlags & NS) ? m_pNSRoot : m_pFavRoot;
        m_bookmarks.Add(p);
        return p;
    }
    // Every record but the roots, as "B name url" (B = IE, NS, ** or F for a folder).
    std::vector<std::string> Describe() const {
        std::vector<std::string> result;
        for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
            const CBookmark* p = BookmarkAt(i);
            if (p != m_pFavRoot && p != m_pNSRoot) {
                result.push_back(std::string((p->m_nFlags & DIR) ? "F" : BrowserText(*p)) + " " +
                                 p->m_strName + " " + p->m_strURL);
            }
        }
        return result;
    }
    int m_nDeaths = 0;
    CBookmark* m_pFavRoot = nullptr;
    CBookmark* m_pNSRoot = nullptr;
};

// The numbers that the sorts compare before the texts: eight bytes, folded
// or not, and where two differ they order the texts as CompareNoCase does.
TEST(FoldedWord, HoldsEightBytesAndOrdersAsTheTextsWhereItDiffers) {
    const auto plain = [](const std::string& str, std::size_t nOffset) {
        std::uint64_t n = 0;
        for (std::size_t i = nOffset; i < nOffset + 8; ++i) {
            n = n << 8 | (i < str.size() ? static_cast<unsigned char>(str[i]) : 0u);
        }
        return n;
    };
    std::mt19937 random(7);
    const std::string strBytes = std::string("aAzZ@[`{\0\x80\xC1\xFA\xDA", 13) + "mM";
    std::vector<std::string> texts{""};
    for (int i = 0; i < 400; ++i) {
        std::string str(random() % 20, ' ');
        for (char& c : str) {
            c = strBytes[random() % strBytes.size()];
        }
        texts.push_back(str);
    }
    for (const std::string& a : texts) {
        for (std::size_t nOffset : {0, 8}) {
            EXPECT_EQ(FoldedWord(a, nOffset, false), plain(a, nOffset));
            EXPECT_EQ(FoldedWord(a, nOffset), plain(FoldedLower(a), nOffset));
            for (const std::string& b : texts) {
                const std::uint64_t na = FoldedWord(a, nOffset);
                const std::uint64_t nb = FoldedWord(b, nOffset);
                if (na != nb && CompareNoCase(a.substr(0, nOffset), b.substr(0, nOffset)) == 0) {
                    EXPECT_EQ(na < nb, CompareNoCase(a, b) < 0) << a << " | " << b;
                }
            }
        }
    }
}

// Eight equal bytes are passed at once: texts that share prefixes of every
// length, and differ in case or in a byte just before, in or after a word,
// compare as a fold of each byte would compare them.
TEST(CompareNoCase, ComparesAsEachByteFolded) {
    const auto reference = [](const std::string& a, const std::string& b) {
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const auto ca = static_cast<unsigned char>(FoldLower(a[i]));
            const auto cb = static_cast<unsigned char>(FoldLower(b[i]));
            if (ca != cb) {
                return ca < cb ? -1 : 1;
            }
        }
        return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    };
    std::mt19937 random(11);
    const std::string strBytes = std::string("aAzZ_[\x80\xC1", 8);
    for (int nCase = 0; nCase < 20000; ++nCase) {
        std::string a(random() % 40, ' ');
        for (char& c : a) {
            c = strBytes[random() % strBytes.size()];
        }
        std::string b = a.substr(0, random() % (a.size() + 1));
        if (random() % 2 == 0 && !b.empty()) {
            char& c = b[random() % b.size()];
            c = static_cast<char>(c ^ 0x20);
        }
        b += a.substr(b.size(), random() % 3);
        ASSERT_EQ(CompareNoCase(a, b), reference(a, b)) << a << " | " << b;
        ASSERT_EQ(CompareNoCase(b, a), reference(b, a)) << b << " | " << a;
    }
}

TEST(MergeDuplicates, Scenarios) {
    struct CInput {
        std::uint32_t nFlags;
        const char *pszName, *pszURL;
    };
    const struct {
        const char* pszTitle;
        std::vector<CInput> in;
        std::vector<std::string> out;
    } cases[] = {
        {"slash", {{IE, "S", "http://x/"}, {NS, "S", "http://x"}}, {"** S http://x"}},
        {"backslash", {{IE, "S", "http://x"}, {NS, "S", "http://x\\"}}, {"** S http://x"}},
        {"URL case", {{IE, "S", "http://X/a"}, {NS, "S", "http://x/a"}}, {"** S http://X/a"}},
        {"URL case and slash",
         {{IE, "S", "http://X/"}, {NS, "S", "http://x"}},
         {"NS S http://x", "IE S http://X/"}},
        {"name case, IE first", {{IE, "News", "n"}, {NS, "NEWS", "n"}}, {"** News n"}},
        {"name case, NS first", {{NS, "NEWS", "n"}, {IE, "News", "n"}}, {"** NEWS n"}},
        {"twice in Favorites",
         {{IE, "A", "u"}, {IE, "A", "u"}, {NS, "A", "u"}},
         {"IE A u", "** A u"}},
        {"joined once", {{IE, "A", "u"}, {NS, "A", "u"}, {NS, "A", "u/"}}, {"** A u", "NS A u/"}},
        {"other names", {{IE, "B", "u"}, {NS, "A", "u"}}, {"NS A u", "IE B u"}},
        {"neighbour has another name",
         {{IE, "A", "u"}, {IE, "B", "u"}, {NS, "A", "u/"}},
         {"IE A u", "IE B u", "NS A u/"}},
        {"same origin",
         {{IE, "A", "u"}, {IE, "A", "u/"}, {NS, "B", "v"}, {NS, "B", "v"}},
         {"IE A u", "IE A u/", "NS B v", "NS B v"}},
        {"folders between",
         {{IE, "S", "u"}, {DIR | IE, "Sx", "u"}, {DIR | NS, "Sy", "u"}, {NS, "S", "u/"}},
         {"** S u", "F Sx u", "F Sy u"}},
    };
    for (const auto& c : cases) {
        CMergeView view;
        for (const CInput& s : c.in) {
            view.Add(s.nFlags, s.pszName, s.pszURL);
        }
        view.MergeDuplicates();
        EXPECT_EQ(view.Describe(), c.out) << c.pszTitle;
        EXPECT_EQ(view.m_nDeaths, static_cast<int>(c.in.size() - c.out.size())) << c.pszTitle;
    }
}

TEST(MergeDuplicates, FolderLinksDoNotDependOnWhichRecordSurvives) {
    for (bool bNetscapeFirst : {true, false}) {
        SCOPED_TRACE(bNetscapeFirst);
        CMergeView view;
        CBookmark* pWork = view.Add(DIR | IE, "Office", "/fav/Office");
        CBookmark* pTools = view.Add(DIR | NS, "Tools", "");
        // The URL without the slash sorts first and so survives.
        CBookmark* pIE = view.Add(IE, "Site", bNetscapeFirst ? "s.org/" : "s.org", pWork);
        CBookmark* pNS = view.Add(NS, "Site", bNetscapeFirst ? "s.org" : "s.org/", pTools);
        pIE->m_tAdded = 100;
        pNS->m_tAdded = 200;
        CBookmark* pSurvivor = bNetscapeFirst ? pNS : pIE;
        view.MergeDuplicates();
        ASSERT_EQ(view.Bookmarks(), std::vector<CBookmark*>{pSurvivor});
        EXPECT_EQ(view.m_nDeaths, 1);
        EXPECT_EQ(pSurvivor->m_nFlags, IE | NS);
        EXPECT_EQ(pSurvivor->m_pFolder, pWork);
        EXPECT_EQ(pSurvivor->m_pNSFolder, pTools);
        EXPECT_EQ(pSurvivor->m_strURL, "s.org");
        EXPECT_EQ(pSurvivor->m_tAdded, bNetscapeFirst ? 200 : 100);
    }
}

TEST(MergeDuplicates, FewerThanThreeRecordsAreNeitherSortedNorJoined) {
    CMergeView view(false);
    CBookmark* pIE = view.Add(IE, "Site", "s.org/");
    CBookmark* pNS = view.Add(NS, "Site", "s.org");
    view.MergeDuplicates();
    EXPECT_EQ(view.Bookmarks(), (std::vector<CBookmark*>{pIE, pNS}));
    EXPECT_EQ(pIE->m_nFlags, IE);
    EXPECT_EQ(pNS->m_nFlags, NS);
    // A third record is enough for the same pair to be sorted and joined.
    view.Add(DIR | IE, "", "/fav");
    view.MergeDuplicates();
    EXPECT_EQ(view.Describe(), (std::vector<std::string>{"F  /fav", "** Site s.org"}));
}

TEST(MergeDuplicates, LeavesTheCatalogueInUrlThenNameOrder) {
    CMergeView view;
    const char* urls[] = {"http://B/", "http://a", "http://b", "HTTP://A/", "ftp://z", "http://c"};
    const char* names[] = {"x", "Y", "y", "X"};
    const std::uint32_t kinds[] = {IE, NS, DIR | NS};
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        view.Add(kinds[random() % 3], names[random() % 4], urls[random() % 6]);
    }
    view.MergeDuplicates();
    EXPECT_GT(view.m_nDeaths, 0);
    EXPECT_EQ(view.m_bookmarks.GetSize(), 62 - view.m_nDeaths);
    for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* pA = view.BookmarkAt(i - 1);
        const CBookmark* pB = view.BookmarkAt(i);
        const int r = CompareNoCase(pA->m_strURL, pB->m_strURL);
        EXPECT_TRUE(r < 0 || (r == 0 && CompareNoCase(pA->m_strName, pB->m_strName) <= 0)) << i;
    }
}

class CompareRowsTest : public testing::Test {
protected:
    void SetUp() override { SetKeys(kInitialSortKeys); }
    void TearDown() override { SetKeys(kInitialSortKeys); }
    static void SetKeys(const int (&keys)[4]) { std::copy(keys, keys + 4, g_sortKeys); }
    int Compare(const CBookmark& a, const CBookmark& b) const {
        return CTVLDlgBase::CompareRows(&a, &b, &m_view);
    }
    void Click(int c) { m_view.ClickColumn(c); }
    std::string SortedNames() {
        std::vector<CBookmark*> rows;
        for (CBookmark& mark : m_rows) {
            rows.push_back(&mark);
        }
        m_view.SortRowPointers(rows);
        std::string strNames;
        for (const CBookmark* p : rows) {
            strNames += p->m_strName + " ";
        }
        return strNames;
    }
    static CBookmark Mark(const char* pszName, const char* pszURL, CTime tAdded,
                          std::uint32_t nFlags = IE, CBookmark* pFolder = nullptr) {
        CBookmark mark;
        mark.m_strName = pszName;
        mark.m_strURL = pszURL;
        mark.m_tAdded = tAdded;
        mark.m_nFlags = nFlags;
        mark.m_pFolder = pFolder;
        return mark;
    }
    std::vector<int> Keys() const { return {g_sortKeys, g_sortKeys + 4}; }

    CTestView m_view;
    std::vector<CBookmark> m_rows = {Mark("b", "x", 100), Mark("A", "x", 100), Mark("c", "a", 300),
                                     Mark("d", "z", 50)};
};

TEST_F(CompareRowsTest, EachKeyReadsItsOwnFieldWithItsOwnDirection) {
    CBookmark alpha = Mark("alpha", "", 0, DIR | IE);
    CBookmark beta = Mark("Beta", "", 0, DIR | IE);
    // lo is less than hi in the key's field and greater in every other one.
    auto make = [&](int nKey, bool bLo) {
        auto pick = [&](int k, auto lo, auto hi) { return (k == nKey) == bLo ? lo : hi; };
        return Mark(pick(1, "apple", "BANANA"), pick(5, "http://apple", "HTTP://BANANA"),
                    pick(3, 100, 200), pick(4, IE, NS), pick(2, &alpha, &beta));
    };
    for (int nKey = 1; nKey <= 5; ++nKey) {
        SCOPED_TRACE(nKey);
        const CBookmark lo = make(nKey, true);
        const CBookmark hi = make(nKey, false);
        SetKeys({nKey, 0, 0, 0});
        m_view.m_sortDir[nKey - 1] = 1;
        EXPECT_LT(Compare(lo, hi), 0);
        EXPECT_GT(Compare(hi, lo), 0);
        EXPECT_EQ(Compare(lo, lo), 0);
        for (int nDir : {-1, 0, 2}) {
            m_view.m_sortDir[nKey - 1] = nDir;
            EXPECT_GT(Compare(lo, hi), 0) << nDir;
        }
        m_view.m_sortDir[nKey - 1] = 1;
    }
    // No folder sorts as an empty name; origins order as IE, NS, **.
    SetKeys({2, 0, 0, 0});
    EXPECT_LT(Compare(Mark("x", "", 0), Mark("x", "", 0, IE, &alpha)), 0);
    SetKeys({4, 0, 0, 0});
    EXPECT_LT(Compare(Mark("x", "", 0, NS), Mark("x", "", 0, IE | NS)), 0);
    EXPECT_LT(Compare(Mark("x", "", 0, IE | BMF_REMOVED), Mark("x", "", 0, NS)), 0);
}

TEST_F(CompareRowsTest, KeyOutsideOneToFiveEndsTheList) {
    const CBookmark a = Mark("same", "a", 0);
    const CBookmark b = Mark("same", "b", 0);
    const CBookmark other = Mark("other", "b", 0);
    for (const auto& keys : {std::array{1, 0, 5, 0}, {1, 6, 5, 0}, {-1, 5, 0, 0}}) {
        std::copy(keys.begin(), keys.end(), g_sortKeys);
        EXPECT_EQ(Compare(a, b), 0) << keys[1];
    }
    SetKeys({1, 1, 1, 5});
    EXPECT_LT(Compare(a, b), 0);
    EXPECT_GT(Compare(a, other), 0);
}

TEST_F(CompareRowsTest, StartsNewestFirstThenFollowsHeaderClicks) {
    EXPECT_EQ(std::vector<int>(m_view.m_sortDir, m_view.m_sortDir + 5),
              (std::vector<int>{1, 1, -1, 1, 1}));
    EXPECT_EQ(SortedNames(), "c A b d ");
    Click(COL_DATE);  // Date already leads: oldest first
    EXPECT_EQ(SortedNames(), "d A b c ");
    Click(COL_DATE);
    Click(COL_NAME);
    EXPECT_EQ(Keys(), (std::vector<int>{1, 3, 1, 0}));
    EXPECT_EQ(SortedNames(), "A b c d ");
    Click(COL_NAME);
    EXPECT_EQ(SortedNames(), "d c b A ");
    Click(COL_URL);  // Name keeps its descending direction where it decides
    EXPECT_EQ(Keys(), (std::vector<int>{5, 1, 3, 1}));
    EXPECT_EQ(SortedNames(), "c b A d ");
    Click(COL_FOLDER);
    Click(COL_BROWSER);
    EXPECT_EQ(Keys(), (std::vector<int>{4, 2, 5, 1}));
}

}  // namespace
