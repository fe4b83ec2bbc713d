#include "catalogue/Bookmark.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/Worker.h"

namespace {

// Arrays of at least this many records are freed, and sorted, by two threads.
constexpr std::size_t kParallelDelete = 1 << 16;
constexpr std::size_t kParallelSort = 1 << 16;
// Shell sort steps from this one on are split between the threads; for
// narrower ones the threads would write to the same cache lines.
constexpr int kParallelStep = 256;

// Shell sort with this exact step sequence: it decides which record of an
// equal pair comes first, and so which one survives the duplicate merge.
template <class FPass>
void ForEachShellStep(int n, FPass pass) {
    for (int g = n / 2; g != 0; g /= 2) {
        pass(g >= 16 ? 2 * (g / 2) + 1 : 2 * (g / 4) + 1);
    }
}

template <class T>
int CompareNumbers(const void* a, const void* b) {
    const T x = *static_cast<const T*>(a);
    const T y = *static_cast<const T*>(b);
    return x < y ? -1 : (y < x ? 1 : 0);
}

template <class T>
bool EqualNumbers(const void* a, const void* b) {
    return *static_cast<const T*>(a) == *static_cast<const T*>(b);
}

int Sign(int r) {
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CompareBytes(const char* a, std::size_t la, const char* b, std::size_t lb) {
    // An empty heap block may have no address, which memcmp must not get.
    const std::size_t n = la < lb ? la : lb;
    const int r = n == 0 ? 0 : std::memcmp(a, b, n);
    if (r != 0) {
        return Sign(r);
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

// What a sort's ranking notes for each key, by its place among the sorted
// keys: whether a group of keys with the same first bytes starts there, and
// for a first key that ends within those bytes, its length and that of the
// second key (kLong when it is longer than the bytes).
class CGroupNotes {
public:
    static constexpr std::size_t kLong = 31;
    enum EShort { SHORT_NONE, SHORT_MIXED, SHORT_ALL };

    explicit CGroupNotes(std::size_t n) : m_notes(n) {}
    void MarkStart(std::size_t k) { m_notes[k] |= kStart; }
    bool Starts(std::size_t k) const { return (m_notes[k] & kStart) != 0; }
    void MarkShort(std::size_t k, std::size_t nFirst, std::size_t nSecond) {
        m_notes[k] |= static_cast<std::uint16_t>(kShort | nFirst << 2 | nSecond << 7);
    }
    std::size_t SecondLength(std::size_t k) const { return (m_notes[k] >> 7) & kLong; }
    // Whether none of the group's first keys are short, some, or all with
    // one length.
    EShort ShortKeys(std::size_t nBegin, std::size_t nEnd) const {
        bool bAny = false;
        bool bAll = true;
        for (std::size_t k = nBegin; k < nEnd; ++k) {
            const bool bShort = (m_notes[k] & kShort) != 0;
            bAny = bAny || bShort;
            bAll = bAll && bShort && FirstLength(k) == FirstLength(nBegin);
        }
        return !bAny ? SHORT_NONE : (bAll ? SHORT_ALL : SHORT_MIXED);
    }

private:
    static constexpr std::uint16_t kStart = 1;
    static constexpr std::uint16_t kShort = 2;
    std::size_t FirstLength(std::size_t k) const { return (m_notes[k] >> 2) & 31; }

    std::vector<std::uint16_t> m_notes;
};

bool IsTextKey(int nType) {
    return nType == KEY_STRING || nType == KEY_TEXT;
}

// The text of a KEY_STRING or KEY_TEXT member.
std::string_view StringKey(int nType, const void* pMember) {
    return nType == KEY_STRING ? std::string_view(*static_cast<const std::string*>(pMember))
                               : static_cast<const CRecordText*>(pMember)->view();
}

const char* OrEmpty(const char* psz) {
    return psz != nullptr ? psz : "";
}

}  // namespace

CBookmark& CBookmark::operator=(const CBookmark& other) {
    if (this == &other) {
        return *this;
    }
    m_strName = other.m_strName;
    m_strURL = other.m_strURL;
    m_strOrigName = other.m_strOrigName;
    m_strFileName = other.m_strFileName;
    m_tAdded = other.m_tAdded;
    m_tVisited = other.m_tVisited;
    m_tModified = other.m_tModified;
    m_pFolder = other.m_pFolder;
    m_pNSFolder = other.m_pNSFolder;
    m_nFlags = other.m_nFlags;
    m_nsPart = other.m_nsPart;
    return *this;
}

CNetscapePart& CNetscapePart::operator=(const CNetscapePart& other) {
    if (this == &other) {
        return *this;
    }
    if (const CNetscapeCopy* pCopy = other.Copy()) {
        SetCopy(std::make_unique<CNetscapeCopy>(*pCopy));
    } else if (const CNetscapeExtra* pExtra = other.Extra()) {
        Reset();
        MakeExtra() = *pExtra;
    } else {
        Reset();
    }
    return *this;
}

CNetscapeExtra& CNetscapePart::MakeExtra() {
    if (m_nBits == 0) {
        m_nBits = reinterpret_cast<std::uintptr_t>(new CNetscapeExtra);
    }
    return *Extra();
}

void CNetscapePart::SetCopy(std::unique_ptr<CNetscapeCopy> pCopy) {
    Reset();
    m_nBits = pCopy ? reinterpret_cast<std::uintptr_t>(pCopy.release()) | kCopy : 0;
}

void CNetscapePart::Reset() {
    if (CNetscapeCopy* pCopy = Copy()) {
        delete pCopy;
    } else {
        delete Extra();
    }
    m_nBits = 0;
}

int CBookmarkArray::Add(CObject* p) {
    m_data.push_back(p);
    return GetSize() - 1;
}

void CBookmarkArray::InsertAt(int i, CObject* p, int nCount) {
    m_data.insert(m_data.begin() + i, static_cast<std::size_t>(nCount), p);
}

void CBookmarkArray::InsertAt(int i, const CBookmarkArray* pOther) {
    m_data.insert(m_data.begin() + i, pOther->m_data.begin(), pOther->m_data.end());
}

void CBookmarkArray::RemoveAndDelete(int i) {
    delete m_data[static_cast<std::size_t>(i)];
    RemoveAt(i);
}

void CBookmarkArray::DeleteAll() {
    // In the order of their addresses, which is about the order they were
    // allocated in, the frees run through memory instead of jumping: several
    // times faster for a million records.
    const auto deleteRange = [](CObject** pFrom, CObject** pTo) {
        std::sort(pFrom, pTo, std::less<CObject*>());
        for (; pFrom != pTo; ++pFrom) {
            delete *pFrom;
        }
    };
    // A large array is freed by two threads, the upper addresses by the
    // worker: the records that its reader made lie there, in its own pool.
    // Each sorts its half once the halves are parted at the middle address.
    CObject** const pBegin = m_data.data();
    CObject** const pEnd = pBegin + m_data.size();
    if (m_data.size() >= kParallelDelete) {
        CObject** const pMiddle = pBegin + m_data.size() / 2;
        std::nth_element(pBegin, pMiddle, pEnd, std::less<CObject*>());
        CWorker::RunBeside([pMiddle, pEnd, &deleteRange] { deleteRange(pMiddle, pEnd); },
                           [&] { deleteRange(pBegin, pMiddle); });
    } else {
        deleteRange(pBegin, pEnd);
    }
    m_data.clear();
}

int CBookmarkArray::IndexOf(const CObject* p) const {
    for (std::size_t i = 0; i < m_data.size(); ++i) {
        if (m_data[i] == p) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CBookmarkArray::Swap(int a, int b) {
    CObject*& pa = m_data[static_cast<std::size_t>(a)];
    CObject*& pb = m_data[static_cast<std::size_t>(b)];
    if (pa != nullptr && pb != nullptr) {
        std::swap(pa, pb);
    }
}

int CBookmarkArray::CompareField(int nType, const void* a, const void* b) const {
    switch (nType) {
        case KEY_UINT8:
            return CompareNumbers<std::uint8_t>(a, b);
        case KEY_INT8:
            return CompareNumbers<std::int8_t>(a, b);
        case KEY_UINT16:
            return CompareNumbers<std::uint16_t>(a, b);
        case KEY_INT16:
            return CompareNumbers<std::int16_t>(a, b);
        case KEY_INT32:
            return CompareNumbers<std::int32_t>(a, b);
        case KEY_FLOAT:
            return CompareNumbers<float>(a, b);
        case KEY_DOUBLE:
            return CompareNumbers<double>(a, b);
        case KEY_CHARS: {
            const auto* x = static_cast<const char*>(a);
            const auto* y = static_cast<const char*>(b);
            return CompareNoCase(x, std::strlen(x), y, std::strlen(y));
        }
        case KEY_PSZ: {
            const char* x = OrEmpty(*static_cast<const char* const*>(a));
            const char* y = OrEmpty(*static_cast<const char* const*>(b));
            return CompareNoCase(x, std::strlen(x), y, std::strlen(y));
        }
        case KEY_BLOCK: {
            const auto& x = *static_cast<const std::vector<unsigned char>*>(a);
            const auto& y = *static_cast<const std::vector<unsigned char>*>(b);
            return CompareBytes(reinterpret_cast<const char*>(x.data()), x.size(),
                                reinterpret_cast<const char*>(y.data()), y.size());
        }
        case KEY_STRING:
        case KEY_TEXT: {
            const std::string_view x = StringKey(nType, a);
            const std::string_view y = StringKey(nType, b);
            return m_bNoCase ? CompareNoCase(x, y)
                             : CompareBytes(x.data(), x.size(), y.data(), y.size());
        }
        case KEY_TIME:
            return CompareNumbers<CTime>(a, b);
        default:  // KEY_NONE and unknown codes never order anything
            return 0;
    }
}

int CBookmarkArray::Find(const void* pValue, const SortKey& key, int nStart) const {
    for (int i = nStart < -1 ? 0 : nStart + 1; i < GetSize(); ++i) {
        const CObject* pElement = GetAt(i);
        if (pElement == nullptr) {
            continue;
        }
        const void* pMember = key.pfnMember(pElement);
        bool bEqual = false;
        switch (key.nType) {
            case KEY_UINT8:
                bEqual = EqualNumbers<std::uint8_t>(pValue, pMember);
                break;
            case KEY_INT8:
                bEqual = EqualNumbers<std::int8_t>(pValue, pMember);
                break;
            case KEY_UINT16:
                bEqual = EqualNumbers<std::uint16_t>(pValue, pMember);
                break;
            case KEY_INT16:
                bEqual = EqualNumbers<std::int16_t>(pValue, pMember);
                break;
            case KEY_INT32:
                bEqual = EqualNumbers<std::int32_t>(pValue, pMember);
                break;
            case KEY_FLOAT:
                bEqual = EqualNumbers<float>(pValue, pMember);
                break;
            case KEY_DOUBLE:
                bEqual = EqualNumbers<double>(pValue, pMember);
                break;
            case KEY_CHARS:
                bEqual = std::strcmp(static_cast<const char*>(pValue),
                                     static_cast<const char*>(pMember)) == 0;
                break;
            case KEY_PSZ:
                bEqual = std::strcmp(static_cast<const char*>(pValue),
                                     OrEmpty(*static_cast<const char* const*>(pMember))) == 0;
                break;
            case KEY_BLOCK:
                bEqual = *static_cast<const std::vector<unsigned char>*>(pValue) ==
                         *static_cast<const std::vector<unsigned char>*>(pMember);
                break;
            case KEY_STRING:
            case KEY_TEXT:
                bEqual = StringKey(key.nType, pMember) == static_cast<const char*>(pValue);
                break;
            case KEY_TIME:
                bEqual = EqualNumbers<CTime>(pValue, pMember);
                break;
            default:  // KEY_NONE and unknown codes never match
                break;
        }
        if (bEqual) {
            return i;
        }
    }
    return -1;
}

void CBookmarkArray::Sort(const SortKey* pKeys, int nKeys, int nDir) {
    const int n = GetSize();
    if (n < 2 || nKeys < 1) {
        return;
    }
    auto compare = [&](int a, int b) {
        const CObject* pa = GetAt(a);
        const CObject* pb = GetAt(b);
        if (pa == nullptr || pb == nullptr) {
            return 0;
        }
        int r = 0;
        for (int k = 0; k < nKeys && r == 0; ++k) {
            r = CompareField(pKeys[k].nType, pKeys[k].pfnMember(pa), pKeys[k].pfnMember(pb));
        }
        return r;
    };
    // Null slots compare equal to everything and a NaN to every number, so no
    // ranking can stand for those comparisons.
    bool bRankable = std::find(m_data.begin(), m_data.end(), nullptr) == m_data.end();
    for (int k = 0; k < nKeys; ++k) {
        bRankable = bRankable && pKeys[k].nType != KEY_FLOAT && pKeys[k].nType != KEY_DOUBLE;
    }
    if (!bRankable) {
        ForEachShellStep(n, [&](int h) {
            for (int i = 1; i <= n - h; ++i) {
                for (int j = i; j > 0; j -= h) {
                    if (compare(j - 1, j - 1 + h) != nDir) {
                        break;
                    }
                    Swap(j - 1, j - 1 + h);
                }
            }
        });
        return;
    }
    // The shell sort's comparisons reach into scattered records; a rank per
    // element, from one n log n sort, gives the same signs, so the shell sort
    // makes the same moves on the ranks alone. Each rank sits above its
    // element's index in one number. A rank is the sorted place of the first
    // element equal to it, so that two threads can rank halves of the order.
    const bool bTwoThreads = m_data.size() >= kParallelSort;
    // The sort moves an element past those of a higher rank: a descending
    // sort ranks the other way round. Ranks stay below 2^31, as n does.
    const auto RankKey = [nDir](std::uint64_t nRank) {
        return nDir == 1 ? nRank : std::uint64_t{0x7FFFFFFF} - nRank;
    };
    std::vector<std::uint64_t> ranked(m_data.size());
    {
        // The first 20 bytes of a string key, laid out side by side, decide
        // most comparisons without reaching into the records: 24 bytes a key,
        // as a million of them and half as many again for the merge of the
        // halves are held at the import's peak of memory.
        struct CPrefixed {
            std::uint64_t words[2];
            std::uint32_t nLastWord;
            int nIndex;
        };
        static_assert(sizeof(CPrefixed) == 24);
        const bool bString = IsTextKey(pKeys[0].nType);
        std::vector<CPrefixed> keys(m_data.size());
        // Bytes nOffset to nOffset + kPrefix of the first key.
        constexpr std::size_t kPrefix = 20;
        const auto setWords = [&](CPrefixed& key, std::string_view str, std::size_t nOffset) {
            key.words[0] = FoldedWord(str, nOffset, m_bNoCase);
            key.words[1] = FoldedWord(str, nOffset + 8, m_bNoCase);
            key.nLastWord =
                static_cast<std::uint32_t>(FoldedWord(str, nOffset + 16, m_bNoCase) >> 32);
        };
        const auto text = [&](int nKey, int nIndex) {
            return StringKey(pKeys[nKey].nType, pKeys[nKey].pfnMember(GetAt(nIndex)));
        };
        const auto words = [](const CPrefixed& a, const CPrefixed& b) {
            for (std::size_t w = 0; w < 2; ++w) {
                if (a.words[w] != b.words[w]) {
                    return a.words[w] < b.words[w] ? -1 : 1;
                }
            }
            return a.nLastWord == b.nLastWord ? 0 : (a.nLastWord < b.nLastWord ? -1 : 1);
        };
        const auto wordsBefore = [&](const CPrefixed& a, const CPrefixed& b) {
            return words(a, b) < 0;
        };
        const auto order = [&](const CPrefixed& a, const CPrefixed& b) {
            const int r = words(a, b);
            return r != 0 ? r : compare(a.nIndex, b.nIndex);
        };
        // The keys' records and texts lie all over the heap: they are asked
        // for a few keys ahead of their use, a record before its text.
        const auto fetchRecord = [&](int nIndex) {
            PrefetchRecord(pKeys[0].pfnMember(GetAt(nIndex)));
        };
        const auto fetchText = [&](int nIndex) { PrefetchRecord(text(0, nIndex).data()); };
        constexpr std::size_t kAhead = 16;
        const auto prepare = [&](std::size_t nFrom, std::size_t nTo) {
            for (std::size_t i = nFrom; i < nTo; ++i) {
                if (bString && i + kAhead < nTo) {
                    fetchRecord(static_cast<int>(i + kAhead));
                    fetchText(static_cast<int>(i + kAhead / 2));
                }
                keys[i] = CPrefixed{{0, 0}, 0, static_cast<int>(i)};
                if (bString) {
                    setWords(keys[i], text(0, static_cast<int>(i)), 0);
                }
            }
            std::sort(keys.begin() + static_cast<std::ptrdiff_t>(nFrom),
                      keys.begin() + static_cast<std::ptrdiff_t>(nTo), wordsBefore);
        };
        // Keys that share their first 20 bytes (URLs of one site) are sorted
        // again by the next 20, and only then by the whole keys. Where such
        // groups begin is noted first, as the next 20 bytes take the place of
        // the first. They are read in the records' order, in which records
        // and texts lie one after another, not in the keys' order: until
        // then, ranked holds at a grouped key's index its place among the keys.
        // A first key that ends within its first 20 bytes (a folder's empty
        // URL) is read whole; the second key's first 20 bytes take its place.
        constexpr std::uint64_t kGrouped = std::uint64_t{1} << 63;
        const bool bSecond = bString && nKeys >= 2 && IsTextKey(pKeys[1].nType);
        CGroupNotes notes(m_data.size());
        const auto markGroups = [&](std::size_t nFrom, std::size_t nTo) {
            for (std::size_t nBegin = nFrom; nBegin < nTo;) {
                std::size_t nEnd = nBegin + 1;
                while (nEnd < nTo && words(keys[nBegin], keys[nEnd]) == 0) {
                    ++nEnd;
                }
                notes.MarkStart(nBegin);
                for (std::size_t k = nBegin; bString && nEnd - nBegin > 1 && k < nEnd; ++k) {
                    ranked[static_cast<std::size_t>(keys[k].nIndex)] = kGrouped | k;
                }
                nBegin = nEnd;
            }
        };
        const auto refill = [&](std::size_t nFrom, std::size_t nTo) {
            for (std::size_t i = nFrom; i < nTo; ++i) {
                if (i + kAhead < nTo && (ranked[i + kAhead] & kGrouped) != 0) {
                    fetchRecord(static_cast<int>(i + kAhead));
                }
                if (i + kAhead / 2 < nTo && (ranked[i + kAhead / 2] & kGrouped) != 0) {
                    fetchText(static_cast<int>(i + kAhead / 2));
                }
                if ((ranked[i] & kGrouped) == 0) {
                    continue;
                }
                const auto k = static_cast<std::size_t>(ranked[i] & ~kGrouped);
                const std::string_view str = text(0, static_cast<int>(i));
                if (bSecond && str.size() <= kPrefix) {
                    const std::string_view strSecond = text(1, static_cast<int>(i));
                    setWords(keys[k], strSecond, 0);
                    notes.MarkShort(
                        k, str.size(),
                        strSecond.size() <= kPrefix ? strSecond.size() : CGroupNotes::kLong);
                } else {
                    setWords(keys[k], str, kPrefix);
                }
            }
        };
        // Ranks a group that the keys' order has put in place, given which
        // keys are the same as the one before them.
        const auto rankInOrder = [&](std::size_t nBegin, std::size_t nEnd, auto sameAsBefore) {
            std::uint64_t nRank = nBegin;
            for (std::size_t i = nBegin; i < nEnd; ++i) {
                nRank = i == nBegin || !sameAsBefore(i) ? i : nRank;
                ranked[static_cast<std::size_t>(keys[i].nIndex)] =
                    (RankKey(nRank) << 32) | static_cast<std::uint32_t>(keys[i].nIndex);
            }
        };
        const auto byRecords = [&](const CPrefixed& a, const CPrefixed& b) {
            return compare(a.nIndex, b.nIndex) < 0;
        };
        // A group whose first keys are all the same: the second key's words
        // decide, and where they are the same, so do two second keys of one
        // length within them, when there is no third.
        const auto rankBySecondKeys = [&](std::size_t nBegin, std::size_t nEnd) {
            std::vector<std::pair<CPrefixed, std::size_t>> marked;
            for (std::size_t k = nBegin; k < nEnd; ++k) {
                marked.emplace_back(keys[k], notes.SecondLength(k));
            }
            std::sort(marked.begin(), marked.end(),
                      [&](const auto& a, const auto& b) { return wordsBefore(a.first, b.first); });
            std::vector<bool> same(marked.size());
            for (std::size_t r = 0; r < marked.size();) {
                std::size_t e = r + 1;
                bool bWhole = nKeys == 2 && marked[r].second != CGroupNotes::kLong;
                while (e < marked.size() && words(marked[r].first, marked[e].first) == 0) {
                    bWhole = bWhole && marked[e].second == marked[r].second;
                    ++e;
                }
                if (bWhole) {
                    std::fill(same.begin() + static_cast<std::ptrdiff_t>(r + 1),
                              same.begin() + static_cast<std::ptrdiff_t>(e), true);
                } else if (e - r > 1) {
                    std::sort(
                        marked.begin() + static_cast<std::ptrdiff_t>(r),
                        marked.begin() + static_cast<std::ptrdiff_t>(e),
                        [&](const auto& a, const auto& b) { return byRecords(a.first, b.first); });
                    for (std::size_t j = r + 1; j < e; ++j) {
                        same[j] = compare(marked[j - 1].first.nIndex, marked[j].first.nIndex) == 0;
                    }
                }
                r = e;
            }
            for (std::size_t j = 0; j < marked.size(); ++j) {
                keys[nBegin + j] = marked[j].first;
            }
            rankInOrder(nBegin, nEnd, [&](std::size_t i) { return same[i - nBegin]; });
        };
        const auto rank = [&](std::size_t nFrom, std::size_t nTo) {
            for (std::size_t nBegin = nFrom; nBegin < nTo;) {
                std::size_t nEnd = nBegin + 1;
                while (nEnd < nTo && !notes.Starts(nEnd)) {
                    ++nEnd;
                }
                const auto first = keys.begin() + static_cast<std::ptrdiff_t>(nBegin);
                const auto last = keys.begin() + static_cast<std::ptrdiff_t>(nEnd);
                const CGroupNotes::EShort shortKeys = notes.ShortKeys(nBegin, nEnd);
                if (shortKeys == CGroupNotes::SHORT_NONE) {
                    std::sort(first, last, [&](const CPrefixed& a, const CPrefixed& b) {
                        return order(a, b) < 0;
                    });
                    rankInOrder(nBegin, nEnd,
                                [&](std::size_t i) { return order(keys[i - 1], keys[i]) == 0; });
                } else if (shortKeys == CGroupNotes::SHORT_MIXED) {
                    // Short first keys among longer ones that share their
                    // bytes (zero bytes): the words stand for different
                    // bytes, so only the records decide.
                    std::sort(first, last, byRecords);
                    rankInOrder(nBegin, nEnd, [&](std::size_t i) {
                        return compare(keys[i - 1].nIndex, keys[i].nIndex) == 0;
                    });
                } else {
                    rankBySecondKeys(nBegin, nEnd);
                }
                nBegin = nEnd;
            }
        };
        const std::size_t nAll = keys.size();
        if (bTwoThreads) {
            std::size_t nHalf = nAll / 2;
            CWorker::RunBeside([&] { prepare(nHalf, nAll); }, [&] { prepare(0, nHalf); });
            std::inplace_merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(nHalf),
                               keys.end(), wordsBefore);
            while (nHalf < nAll && words(keys[nHalf - 1], keys[nHalf]) == 0) {
                ++nHalf;
            }
            CWorker::RunBeside([&] { markGroups(nHalf, nAll); }, [&] { markGroups(0, nHalf); });
            CWorker::RunBeside([&] { refill(nAll / 2, nAll); }, [&] { refill(0, nAll / 2); });
            CWorker::RunBeside([&] { rank(nHalf, nAll); }, [&] { rank(0, nHalf); });
        } else {
            prepare(0, nAll);
            markGroups(0, nAll);
            refill(0, nAll);
            rank(0, nAll);
        }
    }
    // An h-sorting pass sorts each of the h interleaved sequences on its own;
    // for a wide step the worker takes the upper half of them.
    // Each element of a sequence moves down past those before it that rank
    // higher, as the steps of swaps that compare the two would move it.
    const auto passOver = [&](int h, int rFrom, int rTo) {
        for (int nBase = 0; nBase + rFrom < n - h; nBase += h) {
            for (int i = nBase + rFrom + h; i < std::min(nBase + rTo + h, n); ++i) {
                const std::uint64_t nMoving = ranked[static_cast<std::size_t>(i)];
                const std::uint64_t nHigher = ((nMoving >> 32) + 1) << 32;
                int j = i;
                for (; j >= h && ranked[static_cast<std::size_t>(j - h)] >= nHigher; j -= h) {
                    ranked[static_cast<std::size_t>(j)] = ranked[static_cast<std::size_t>(j - h)];
                }
                ranked[static_cast<std::size_t>(j)] = nMoving;
            }
        }
    };
    // Nothing moves in a sort that is neither ascending nor descending, nor in
    // a pass with the step of the pass before it: the sequences are sorted.
    int nLastStep = 0;
    ForEachShellStep(nDir == 1 || nDir == -1 ? n : 0, [&](int h) {
        if (h == nLastStep) {
            return;
        }
        nLastStep = h;
        if (bTwoThreads && h >= kParallelStep) {
            CWorker::RunBeside([&] { passOver(h, h / 2, h); }, [&] { passOver(h, 0, h / 2); });
        } else {
            passOver(h, 0, h);
        }
    });
    const std::vector<CObject*> original(m_data);
    for (std::size_t i = 0; i < m_data.size(); ++i) {
        m_data[i] = original[ranked[i] & 0xFFFFFFFFu];
    }
}
