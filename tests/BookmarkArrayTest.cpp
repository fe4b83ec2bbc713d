#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <utility>

#include "catalogue/Bookmark.h"

namespace {

// An element with a member of every key type; counts its destructions.
class CProbe : public CObject {
public:
    explicit CProbe(int nId = 0, int* pDeaths = nullptr) : m_nId(nId), m_pDeaths(pDeaths) {}
    ~CProbe() override {
        if (m_pDeaths != nullptr) {
            ++*m_pDeaths;
        }
    }
    std::uint8_t m_nU8 = 0;
    std::int8_t m_nI8 = 0;
    std::uint16_t m_nU16 = 0;
    std::int16_t m_nI16 = 0;
    std::int32_t m_nI32 = 0;
    float m_f = 0;
    double m_d = 0;
    char m_szText[16] = {};
    const char* m_pszText = "";
    std::vector<unsigned char> m_block;
    std::string m_str;
    std::string m_str2;
    CRecordText m_text;
    CTime m_t = 0;
    int m_nId;
    int* m_pDeaths;
};

template <auto PM, class T>
CProbe* Probe(T value, int nId = 0) {
    auto* p = new CProbe(nId);
    p->*PM = value;
    return p;
}

std::vector<int> Ids(const CBookmarkArray& arr) {
    std::vector<int> ids;
    for (int i = 0; i < arr.GetSize(); ++i) {
        ids.push_back(static_cast<CProbe*>(arr[i])->m_nId);
    }
    return ids;
}

// Each pair reverses its order when read with the wrong width or signedness.
template <auto PM, class T>
void ExpectNumericKey(int nType, T lo, T hi) {
    SCOPED_TRACE(nType);
    CBookmarkArray arr;
    arr.Add(Probe<PM>(hi, 0));
    arr.Add(Probe<PM>(lo, 1));
    arr.Add(Probe<PM>(hi, 2));
    EXPECT_EQ(arr.CompareField(nType, &lo, &hi), -1);
    EXPECT_EQ(arr.CompareField(nType, &hi, &lo), 1);
    EXPECT_EQ(arr.CompareField(nType, &hi, &hi), 0);
    const SortKey key = KeyOf<PM>(nType);
    EXPECT_EQ(arr.Find(&lo, key), 1);
    EXPECT_EQ(arr.Find(&hi, key, 0), 2);
    arr.Sort(&key, 1, 1);
    EXPECT_EQ(Ids(arr)[0], 1);
    arr.Sort(&key, 1, -1);
    EXPECT_EQ(Ids(arr)[2], 1);
}

TEST(BookmarkArrayKeys, NumericTypesReadTheirWidthAndSign) {
    ExpectNumericKey<&CProbe::m_nU8>(KEY_UINT8, std::uint8_t{1}, std::uint8_t{255});
    ExpectNumericKey<&CProbe::m_nI8>(KEY_INT8, std::int8_t{-1}, std::int8_t{1});
    ExpectNumericKey<&CProbe::m_nU16>(KEY_UINT16, std::uint16_t{0x00FF}, std::uint16_t{0x8000});
    ExpectNumericKey<&CProbe::m_nI16>(KEY_INT16, std::int16_t{-32768}, std::int16_t{0x00FF});
    ExpectNumericKey<&CProbe::m_nI32>(KEY_INT32, std::int32_t{INT32_MIN}, std::int32_t{0xFFFF});
    ExpectNumericKey<&CProbe::m_f>(KEY_FLOAT, -1.5f, 0.25f);
    ExpectNumericKey<&CProbe::m_d>(KEY_DOUBLE, -1e300, 1e-300);
    ExpectNumericKey<&CProbe::m_t>(KEY_TIME, CTime{-1}, CTime{4102444800});
}

CProbe* TextProbe(const char* psz) {
    auto* p = new CProbe;
    std::strncpy(p->m_szText, psz, sizeof p->m_szText - 1);
    p->m_pszText = psz;
    p->m_str = psz;
    p->m_text = psz;
    return p;
}

TEST(BookmarkArrayKeys, TextSortsWithoutCaseButFindsByteForByte) {
    // Letters fold to lower case, so "_" and "[" sort before them. nBytes is the
    // std::string order with m_bNoCase off: unsigned bytes.
    const struct {
        const char *a, *b;
        int nNoCase, nBytes;
    } cases[] = {{"apple", "APPLE", 0, 1}, {"apple", "BANANA", -1, 1}, {"app", "APPLE", -1, 1},
                 {"\xE9", "z", 1, 1},      {"_x", "Ax", -1, 1},        {"[", "a", -1, -1},
                 {"", "", 0, 0},           {"", "a", -1, -1}};
    const SortKey keys[] = {KeyOf<&CProbe::m_szText>(KEY_CHARS), KeyOf<&CProbe::m_pszText>(KEY_PSZ),
                            KeyOf<&CProbe::m_str>(KEY_STRING), KeyOf<&CProbe::m_text>(KEY_TEXT)};
    for (const SortKey& key : keys) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << key.nType << " " << c.a << " " << c.b);
            CBookmarkArray arr;
            arr.Add(TextProbe(c.a));
            arr.Add(TextProbe(c.b));
            auto cmp = [&](int x, int y) {
                return arr.CompareField(key.nType, key.pfnMember(arr[x]), key.pfnMember(arr[y]));
            };
            EXPECT_EQ(cmp(0, 1), c.nNoCase);
            EXPECT_EQ(cmp(1, 0), -c.nNoCase);
            arr.m_bNoCase = false;
            EXPECT_EQ(cmp(0, 1),
                      key.nType == KEY_STRING || key.nType == KEY_TEXT ? c.nBytes : c.nNoCase);
            EXPECT_EQ(arr.Find(c.b, key), std::strcmp(c.a, c.b) == 0 ? 0 : 1);
            EXPECT_EQ(arr.Find("appl", key), -1);
        }
    }
}

TEST(BookmarkArrayKeys, HeapBlockComparesBytesThenSize) {
    using Block = std::vector<unsigned char>;
    const struct {
        Block a, b;
        int nExpected;
    } cases[] = {{{1, 2, 3}, {1, 2, 4}, -1},
                 {{1, 2}, {1, 2, 0}, -1},
                 {{0x80}, {0x7F}, 1},
                 {{2}, {1, 9}, 1},
                 {{}, {}, 0},
                 {{}, {0}, -1},
                 {{5, 5}, {5, 5}, 0},
                 {{0, 1}, {0, 2}, -1}};
    CBookmarkArray arr;
    for (const auto& c : cases) {
        EXPECT_EQ(arr.CompareField(KEY_BLOCK, &c.a, &c.b), c.nExpected);
        EXPECT_EQ(arr.CompareField(KEY_BLOCK, &c.b, &c.a), -c.nExpected);
    }
    arr.Add(Probe<&CProbe::m_block>(Block{1, 2, 0}));
    arr.Add(Probe<&CProbe::m_block>(Block{1, 2}));
    const SortKey key = KeyOf<&CProbe::m_block>(KEY_BLOCK);
    EXPECT_EQ(arr.Find(&cases[1].a, key), 1);
    EXPECT_EQ(arr.Find(&cases[1].b, key), 0);
    const Block one{1};
    EXPECT_EQ(arr.Find(&one, key), -1);
}

TEST(BookmarkArrayKeys, NoneAndUnknownCodesNeverOrderOrMatch) {
    CBookmarkArray arr;
    for (int i = 0; i < 20; ++i) {
        arr.Add(Probe<&CProbe::m_nI32>(20 - i, i));
    }
    const std::vector<int> before = Ids(arr);
    const std::int32_t x = 1;
    const std::int32_t y = 2;
    for (int nType : {int{KEY_NONE}, 14, 100}) {
        EXPECT_EQ(arr.CompareField(nType, &x, &y), 0) << nType;
        const SortKey key{KeyOf<&CProbe::m_nI32>(KEY_INT32).pfnMember, nType};
        EXPECT_EQ(arr.Find(&x, key), -1) << nType;
        arr.Sort(&key, 1, 1);
        EXPECT_EQ(Ids(arr), before) << nType;
    }
}

TEST(BookmarkArrayFind, StartsAfterTheStartIndex) {
    CBookmarkArray arr;
    for (std::int32_t v : {5, 7, 5, 5}) {
        arr.Add(Probe<&CProbe::m_nI32>(v));
    }
    const SortKey key = KeyOf<&CProbe::m_nI32>(KEY_INT32);
    const std::int32_t five = 5;
    for (auto [nStart, nFound] : {std::pair{-1, 0}, {0, 2}, {2, 3}, {3, -1}, {10, -1}}) {
        EXPECT_EQ(arr.Find(&five, key, nStart), nFound) << nStart;
    }
}

TEST(BookmarkArrayOwnership, DeletesExactlyWhatItOwns) {
    int nDeaths = 0;
    {
        CBookmarkArray arr;
        CProbe* p[4];
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(arr.Add(p[i] = new CProbe(i, &nDeaths)), i);
        }
        arr.RemoveAndDelete(1);
        EXPECT_EQ(nDeaths, 1);
        arr.RemoveAt(0);
        EXPECT_EQ(arr.IndexOf(p[0]), -1);
        arr.InsertAt(1, p[0]);
        arr.InsertAt(3, p[1] = new CProbe(1, &nDeaths));
        arr.InsertAt(0, p[3]);
        EXPECT_EQ(Ids(arr), (std::vector<int>{3, 2, 0, 3, 1}));
        EXPECT_EQ(arr.IndexOf(p[3]), 0);
        EXPECT_EQ(arr.IndexOf(nullptr), -1);
        arr.RemoveAt(3);
        arr.SetSize(5);  // a null slot at the end
        EXPECT_EQ(arr.IndexOf(nullptr), 4);
        // Swap leaves null slots alone.
        arr.Swap(0, 4);
        arr.Swap(4, 1);
        EXPECT_EQ(arr[4], nullptr);
        arr.Swap(0, 1);
        EXPECT_EQ(arr[0], p[2]);
        EXPECT_EQ(arr[1], p[3]);
        arr.RemoveAndDelete(4);
        arr.RemoveAll();
        EXPECT_EQ(arr.GetSize(), 0);
        EXPECT_EQ(nDeaths, 1);
        for (CProbe* pLive : p) {
            arr.Add(pLive);
        }
        arr.DeleteAll();
        EXPECT_EQ(nDeaths, 5);
        EXPECT_EQ(arr.GetSize(), 0);
        arr.DeleteAll();
        arr.Add(new CProbe(0, &nDeaths));
        arr.SetSize(2);
    }
    EXPECT_EQ(nDeaths, 6);  // the destructor deletes what is left
}

// A large array is freed on two threads, each object once, null slots
// among them; then it is empty and takes new objects.
TEST(BookmarkArrayOwnership, LargeArraysAreFreedOnTwoThreads) {
    struct CCounted : CObject {
        std::atomic<int>* pHere;
        std::atomic<int>* pElsewhere;
        std::thread::id caller;
        CCounted(std::atomic<int>* pH, std::atomic<int>* pE)
            : pHere(pH), pElsewhere(pE), caller(std::this_thread::get_id()) {}
        ~CCounted() override { ++*(std::this_thread::get_id() == caller ? pHere : pElsewhere); }
    };
    std::atomic<int> nHere{0};
    std::atomic<int> nElsewhere{0};
    CBookmarkArray arr;
    constexpr int kCount = 100000;
    for (int i = 0; i < kCount; ++i) {
        arr.Add(new CCounted(&nHere, &nElsewhere));
    }
    arr.SetSize(kCount + 3);
    arr.DeleteAll();
    EXPECT_EQ(nHere + nElsewhere, kCount);
    EXPECT_GT(nHere, 0);
    EXPECT_GT(nElsewhere, 0);
    EXPECT_EQ(arr.GetSize(), 0);
    arr.Add(new CCounted(&nHere, &nElsewhere));
    arr.DeleteAll();
    EXPECT_EQ(nHere + nElsewhere, kCount + 1);
}

// Texts kept as one block: any bytes, copies of their own, and a text taken
// from the block it replaces.
TEST(RareText, HoldsAnyBytesAndCopiesThem) {
    CRareText text;
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(text.view(), "");
    const std::string strBytes("a\0b\xC3\xA9\n", 6);
    text = strBytes;
    EXPECT_EQ(text.view(), strBytes);
    CRareText copy(text);
    text = text.view().substr(2);
    EXPECT_EQ(text.str(), strBytes.substr(2));
    EXPECT_EQ(copy, strBytes);
    const CRareText& same = copy;
    copy = same;
    EXPECT_EQ(copy, strBytes);
    copy = text;
    text.clear();
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(copy, strBytes.substr(2));
    copy = std::string_view();
    EXPECT_TRUE(copy.empty());
}

TEST(BookmarkArraySort, SeveralKeysInBothDirections) {
    const SortKey keys[] = {KeyOf<&CProbe::m_nI32>(KEY_INT32), KeyOf<&CProbe::m_str>(KEY_STRING)};
    CBookmarkArray arr;
    auto add = [&](const char* psz) {
        arr.Add(Probe<&CProbe::m_str>(psz + 1, arr.GetSize()));
        static_cast<CProbe*>(arr[arr.GetSize() - 1])->m_nI32 = psz[0] - '0';
    };
    add("2b");
    add("1a");
    arr.Sort(keys, 1, 1);
    EXPECT_EQ(Ids(arr), (std::vector<int>{1, 0}));
    add("1C");
    add("2A");
    arr.Sort(keys, 2, -1);
    EXPECT_EQ(Ids(arr), (std::vector<int>{0, 3, 2, 1}));
    arr.Sort(keys, 2, 1);
    EXPECT_EQ(Ids(arr), (std::vector<int>{1, 2, 3, 0}));
}

// The documented shell sort, written out step by step on (key, id) pairs.
std::vector<int> ReferenceShellSort(std::vector<std::pair<int, int>> v, int nDir) {
    const int n = static_cast<int>(v.size());
    int g = n;
    while ((g /= 2) != 0) {
        const int h = g >= 16 ? 2 * (g / 2) + 1 : 2 * (g / 4) + 1;
        for (int i = 1; i <= n - h; ++i) {
            int j = i;
            while (j > 0) {
                const int a = v[j - 1].first;
                const int b = v[j - 1 + h].first;
                if ((a > b) - (a < b) != nDir) {
                    break;
                }
                std::swap(v[j - 1], v[j - 1 + h]);
                j -= h;
            }
        }
    }
    std::vector<int> ids;
    for (const auto& e : v) {
        ids.push_back(e.second);
    }
    return ids;
}

TEST(BookmarkArraySort, FollowsTheShellSortStepsForTies) {
    const SortKey key = KeyOf<&CProbe::m_nI32>(KEY_INT32);
    // From 65,536 elements on, the array is ranked and sorted on two threads.
    for (int n : {0, 1, 2, 3, 7, 8, 15, 31, 32, 33, 64, 300, 301, 70001}) {
        for (int nDir : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " dir=" << nDir);
            std::mt19937 random(static_cast<unsigned>(n));
            std::vector<std::pair<int, int>> pairs;
            CBookmarkArray arr;
            for (int i = 0; i < n; ++i) {
                pairs.emplace_back(static_cast<int>(random() % (n / 20 + 3)), i);
                arr.Add(Probe<&CProbe::m_nI32>(pairs.back().first, i));
            }
            const std::vector<int> expected = ReferenceShellSort(pairs, nDir);
            arr.Sort(&key, 1, nDir);
            EXPECT_EQ(Ids(arr), expected);
        }
    }
}

}  // namespace

namespace {

// String keys are ranked from folded copies; the order, ties included, is the
// one that comparing the records themselves gives (a float key that is equal
// everywhere takes that path). Texts share up to 60 leading bytes; short
// first keys, some with zero bytes, leave the order to the second keys, short
// or long. The large arrays are ranked on two threads.
TEST(BookmarkArraySort, FoldedStringKeysOrderAsTheRecordsCompare) {
    const std::string kTexts[] = {"a",
                                  "A",
                                  "b",
                                  "B",
                                  "_",
                                  "[",
                                  "ab",
                                  "aB",
                                  "",
                                  "\xE9",
                                  "\xC9",
                                  "Z",
                                  std::string(1, '\0'),
                                  std::string("a\0b", 3)};
    const std::string kShared[] = {"", "http://example.com/", "http://www.example.com/pages/",
                                   "HTTP://WWW.EXAMPLE.COM/PAGES/2026/12/NEWS/ARTICLE-ON-THE-"};
    const SortKey keys[] = {KeyOf<&CProbe::m_str>(KEY_STRING), KeyOf<&CProbe::m_str2>(KEY_STRING),
                            KeyOf<&CProbe::m_f>(KEY_FLOAT)};
    for (const int nCount : {400, 70000}) {
        for (bool bNoCase : {true, false}) {
            for (int nDir : {1, -1}) {
                std::mt19937 random(bNoCase ? 1u : 2u);
                CBookmarkArray fast;
                CBookmarkArray direct;
                for (CBookmarkArray* pArr : {&fast, &direct}) {
                    pArr->m_bNoCase = bNoCase;
                }
                for (int i = 0; i < nCount; ++i) {
                    const std::string str = kShared[random() % std::size(kShared)] +
                                            kTexts[random() % std::size(kTexts)];
                    const std::string str2 =
                        (random() % 4 == 0 ? kShared[3] : std::string()) + kTexts[random() % 4];
                    for (CBookmarkArray* pArr : {&fast, &direct}) {
                        auto* p = new CProbe(i);
                        p->m_str = str;
                        p->m_str2 = str2;
                        pArr->Add(p);
                    }
                }
                fast.Sort(keys, 2, nDir);
                direct.Sort(keys, 3, nDir);
                EXPECT_EQ(Ids(fast), Ids(direct)) << nCount << " " << bNoCase << " " << nDir;
            }
        }
    }
}

}  // namespace
