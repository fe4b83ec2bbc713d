// The list's rows: which records the filter keeps and the text of their columns.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <ctime>
#include <functional>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "catalogue/TVLDlgBase.h"
#include "catalogue/TextCase.h"
#include "platform/Heap.h"
#include "platform/LocalTime.h"

CColumnInfo g_columns[COL_COUNT] = {{300, 1}, {100, 1}, {70, -1}, {35, 1}, {800, 1}};

namespace {

// Whether strUpper (already upper case) occurs in strText with a-z folded to
// upper case. Candidates are found with memchr for both cases of the first
// letter, which is several times faster than comparing at every position.
bool ContainsUpper(std::string_view strText, const char* pszUpper, std::size_t nLen) {
    if (nLen > strText.size()) {
        return false;
    }
    const char chUpper = pszUpper[0];
    const char chLower = FoldLower(chUpper);
    const char* p = strText.data();
    const char* const pEnd = p + (strText.size() - nLen + 1);  // last start + 1
    while (p < pEnd) {
        const char* pAt = static_cast<const char*>(std::memchr(p, chUpper, pEnd - p));
        if (chLower != chUpper) {
            const char* pOther = static_cast<const char*>(
                std::memchr(p, chLower, (pAt != nullptr ? pAt : pEnd) - p));
            if (pOther != nullptr) {
                pAt = pOther;
            }
        }
        if (pAt == nullptr) {
            return false;
        }
        std::size_t k = 1;
        while (k < nLen && FoldUpper(pAt[k]) == pszUpper[k]) {
            ++k;
        }
        if (k == nLen) {
            return true;
        }
        p = pAt + 1;
    }
    return false;
}

// Whether the folded filter occurs in the text, decoded and folded. Text
// that is all ASCII cannot hold a letter beyond it.
bool ContainsFolded(std::string_view strText, const std::u32string& strFolded) {
    if (std::all_of(strText.begin(), strText.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return false;
    }
    thread_local std::u32string strChars;
    FoldText(strText, strChars);
    return strChars.find(strFolded) != std::u32string::npos;
}

}  // namespace

CTVLDlgBase::CTVLDlgBase() : m_pFileSystem(&GetFileSystem()) {
    for (int i = 0; i < COL_COUNT; ++i) {
        m_sortDir[i] = g_columns[i].nDir;
    }
}

void CTVLDlgBase::SetFilter(std::string_view strText) {
    const std::string_view strKept = FilterText(strText);
    for (std::size_t i = 0; i < strKept.size(); ++i) {
        m_szFilter[i] = FoldUpper(strKept[i]);
    }
    m_szFilter[strKept.size()] = '\0';
    m_strFilterFolded.clear();
    if (!std::all_of(strKept.begin(), strKept.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        FoldText(strKept, m_strFilterFolded);
    }
}

std::string_view CTVLDlgBase::FilterText(std::string_view strText) {
    std::size_t n = std::min(strText.size(), kMaxFilter);
    if (n < strText.size() && IsValidUtf8(strText)) {
        while (n > 0 && (static_cast<unsigned char>(strText[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    return strText.substr(0, n);
}

bool CTVLDlgBase::PassesFilter(const CBookmark& bookmark) const {
    const std::size_t nLen = std::strlen(m_szFilter);
    if (nLen == 0) {
        return true;
    }
    if (!m_strFilterFolded.empty()) {
        return ContainsFolded(bookmark.m_strName, m_strFilterFolded) ||
               ContainsFolded(bookmark.m_strURL, m_strFilterFolded) ||
               (bookmark.m_pFolder != nullptr &&
                ContainsFolded(bookmark.m_pFolder->m_strName, m_strFilterFolded));
    }
    return ContainsUpper(bookmark.m_strName, m_szFilter, nLen) ||
           ContainsUpper(bookmark.m_strURL, m_szFilter, nLen) ||
           (bookmark.m_pFolder != nullptr &&
            ContainsUpper(bookmark.m_pFolder->m_strName, m_szFilter, nLen));
}

namespace {

// The bytes that a row's text has, one bit each for the upper-case letters,
// the digits and the commonest other characters; all the rest share bit 63.
constexpr const char* kClassChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -./:_?=&%#+,!()'\"~;@*[]|$<";
constexpr int kOtherClass = 63;
static_assert(std::char_traits<char>::length(kClassChars) == kOtherClass);

constexpr std::array<std::uint64_t, 256> MakeClassBits() {
    std::array<std::uint64_t, 256> bits{};
    for (std::size_t c = 1; c < 256; ++c) {
        bits[c] = std::uint64_t{1} << kOtherClass;
    }
    for (int i = 0; kClassChars[i] != '\0'; ++i) {
        bits[static_cast<unsigned char>(kClassChars[i])] = std::uint64_t{1} << i;
    }
    return bits;
}
constexpr std::array<std::uint64_t, 256> kClassBits = MakeClassBits();

}  // namespace

// What the filter reads of every row: its name and URL, which the import keeps
// side by side in the blocks of the catalogue's texts, each ended by a zero
// byte, which no filter holds, so that a match lies within one of them. They
// are searched where they lie, in the order of their addresses, which is
// about the order they were read in. A row whose texts lie elsewhere (a
// renamed one, say) gets a copy of its own. Folder names are few and are
// tried once per folder.
struct CTVLDlgBase::CSearchText {
    // The texts of a run lie in one block, in the order of their addresses,
    // from text nFirst on. Text j is the nLength bytes at nOffset in its run.
    struct CRun {
        const char* pBegin;
        std::size_t nSize;
        std::uint32_t nFirst;
    };
    struct CSpan {
        std::uint32_t nOffset;
        std::uint32_t nLength;
    };
    std::vector<CRun> runs;
    std::vector<CSpan> spans;
    std::vector<std::uint32_t> rows;     // the row of text j
    std::vector<std::uint64_t> classes;  // the bytes that text j has (kClassBits)
    std::vector<std::uint32_t> folders;  // the folder of text j, in folderNames
    // The names of the rows' folders side by side, read without reaching into
    // the folders' records: folder i's name is [folderNames[i],
    // folderNames[i + 1]); a row without a folder has an empty name there.
    std::string strFolderNames;
    std::vector<std::size_t> folderNames;
    std::vector<bool> beyondAscii;  // text j's name, URL or folder name has bytes beyond ASCII
    std::size_t counts[256] = {};   // of each folded byte, in a sample of the texts
    CTextStore copies;              // the texts of rows whose texts lie elsewhere

    CSearchText(const std::vector<CBookmark*>& order, const CTextStore& store)
        : classes(order.size()), folders(order.size()), beyondAscii(order.size()) {
        // The blocks that texts lie in, by address.
        std::vector<std::pair<const char*, const char*>> blocks;
        const auto addBlocks = [&](const CTextStore& store) {
            for (const CTextStore::CBlock& block : store.Blocks()) {
                blocks.emplace_back(block.pBytes.get(), block.pBytes.get() + block.nUsed);
            }
        };
        addBlocks(store);
        std::sort(blocks.begin(), blocks.end(), std::less<>());
        const auto blockOf = [&](const char* p) -> const std::pair<const char*, const char*>* {
            auto it = std::upper_bound(
                blocks.begin(), blocks.end(), p,
                [](const char* q, const auto& block) { return std::less<>()(q, block.first); });
            if (it == blocks.begin() || !std::less<>()(p, std::prev(it)->second)) {
                return nullptr;
            }
            return &*std::prev(it);
        };
        // Name and URL in one span of a block, the first one's zero between them.
        const auto span = [&](const CBookmark& mark) -> std::string_view {
            const std::string_view a = mark.m_strName;
            const std::string_view b = mark.m_strURL;
            if (a.empty() || b.empty()) {
                const std::string_view one = a.empty() ? b : a;
                return !one.empty() && blockOf(one.data()) != nullptr ? one : std::string_view();
            }
            const bool bNameFirst = a.data() + a.size() + 1 == b.data();
            if (!bNameFirst && b.data() + b.size() + 1 != a.data()) {
                return {};
            }
            const std::string_view first = bNameFirst ? a : b;
            return blockOf(first.data()) != nullptr
                       ? std::string_view(first.data(), a.size() + b.size() + 1)
                       : std::string_view();
        };
        // Each row's text with its row, to be sorted by address.
        struct CPlaced {
            const char* pBegin;
            std::uint32_t nRow;
            std::uint32_t nLength;
        };
        std::vector<CPlaced> placed(order.size());
        std::size_t nCopied = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const CBookmark& mark = *order[i];
            std::string_view str = span(mark);
            if (str.data() == nullptr) {
                std::string strBoth(mark.m_strName.view());
                strBoth += '\0';
                strBoth += mark.m_strURL.view();
                str = {copies.Add(strBoth), strBoth.size()};
                ++nCopied;
            }
            placed[i] = {str.data(), static_cast<std::uint32_t>(i),
                         static_cast<std::uint32_t>(str.size())};
        }
        if (nCopied > 0) {
            addBlocks(copies);
            std::sort(blocks.begin(), blocks.end(), std::less<>());
        }
        std::sort(placed.begin(), placed.end(), [](const CPlaced& a, const CPlaced& b) {
            return std::less<>()(a.pBegin, b.pBegin);
        });
        // The sorted texts become offsets in their runs, which take half the
        // memory, before the rest is made.
        spans.resize(placed.size());
        rows.resize(placed.size());
        const std::pair<const char*, const char*>* pRunBlock = nullptr;
        for (std::size_t j = 0; j < placed.size(); ++j) {
            // Texts in address order stay in one block until one lies past its end.
            if (pRunBlock == nullptr || !std::less<>()(placed[j].pBegin, pRunBlock->second)) {
                pRunBlock = blockOf(placed[j].pBegin);
                runs.push_back({placed[j].pBegin, 0, static_cast<std::uint32_t>(j)});
            }
            const auto nOffset = static_cast<std::size_t>(placed[j].pBegin - runs.back().pBegin);
            spans[j] = {static_cast<std::uint32_t>(nOffset), placed[j].nLength};
            rows[j] = placed[j].nRow;
            runs.back().nSize = nOffset + placed[j].nLength;
        }
        placed = {};
        std::unordered_map<const CBookmark*, std::uint32_t> folderIndex;
        std::size_t r = 0;
        for (std::size_t j = 0; j < spans.size(); ++j) {
            while (r + 1 < runs.size() && runs[r + 1].nFirst <= j) {
                ++r;
            }
            const char* const pBegin = runs[r].pBegin + spans[j].nOffset;
            const CBookmark* pMark = order[rows[j]];
            unsigned nBytes = 0;
            std::uint64_t nClasses = 0;
            for (const char* q = pBegin; q < pBegin + spans[j].nLength; ++q) {
                nBytes |= static_cast<unsigned char>(*q);
                nClasses |= kClassBits[static_cast<unsigned char>(FoldUpper(*q))];
            }
            classes[j] = nClasses;
            const auto [it, bNew] = folderIndex.try_emplace(
                pMark->m_pFolder, static_cast<std::uint32_t>(folderNames.size()));
            if (bNew) {
                folderNames.push_back(strFolderNames.size());
                if (pMark->m_pFolder != nullptr) {
                    strFolderNames += pMark->m_pFolder->m_strName.view();
                }
            }
            folders[j] = it->second;
            if (pMark->m_pFolder != nullptr) {
                for (const char c : pMark->m_pFolder->m_strName) {
                    nBytes |= static_cast<unsigned char>(c);
                }
            }
            beyondAscii[j] = (nBytes & 0x80) != 0;
        }
        folderNames.push_back(strFolderNames.size());
        for (const CRun& run : runs) {
            for (std::size_t i = 0; i < run.nSize; i += 16) {
                ++counts[static_cast<unsigned char>(FoldUpper(run.pBegin[i]))];
            }
        }
    }

    // Calls onMatch with each place in [0, nSize) of the text where the upper-
    // case filter starts, with a-z taken as A-Z, in order; onMatch returns where
    // to look on from, or npos to stop. Bytes k1 and k2 of the filter are its
    // rarest.
    template <class FMatch>
    static void ForEachMatch(const char* pszFilter, std::size_t nLen, std::size_t k1,
                             std::size_t k2, const char* pText, std::size_t nSize, FMatch onMatch) {
        const auto matches = [&](std::size_t nStart) {
            for (std::size_t k = 0; k < nLen; ++k) {
                if (FoldUpper(pText[nStart + k]) != pszFilter[k]) {
                    return false;
                }
            }
            return true;
        };
        // A letter of the filter is looked for with the case bit set on both sides.
        const auto caseBit = [&](std::size_t k) {
            return static_cast<char>(pszFilter[k] >= 'A' && pszFilter[k] <= 'Z' ? 0x20 : 0);
        };
        std::size_t nAt = 0;
#if defined(__SSE2__)
        // 64 starts at a time are tried for both rare bytes standing at their
        // places; memchr is slower where the rarest byte is still common.
        if (nLen > 1) {
            const __m128i m1 = _mm_set1_epi8(caseBit(k1));
            const __m128i m2 = _mm_set1_epi8(caseBit(k2));
            const __m128i v1 = _mm_set1_epi8(static_cast<char>(pszFilter[k1] | caseBit(k1)));
            const __m128i v2 = _mm_set1_epi8(static_cast<char>(pszFilter[k2] | caseBit(k2)));
            const auto match = [&](std::size_t nOffset) {
                const auto* p1 = reinterpret_cast<const __m128i*>(pText + nOffset + k1);
                const auto* p2 = reinterpret_cast<const __m128i*>(pText + nOffset + k2);
                const __m128i b1 = _mm_or_si128(_mm_loadu_si128(p1), m1);
                const __m128i b2 = _mm_or_si128(_mm_loadu_si128(p2), m2);
                return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(
                    _mm_and_si128(_mm_cmpeq_epi8(b1, v1), _mm_cmpeq_epi8(b2, v2)))));
            };
            // Then 16 starts at a time, as most texts are shorter than 64 bytes.
            for (std::size_t nWidth = 64; nWidth >= 16; nWidth /= 4) {
                while (nAt + nLen + nWidth - 1 <= nSize) {
                    std::uint64_t nMask = match(nAt);
                    if (nWidth == 64) {
                        nMask |=
                            match(nAt + 16) << 16 | match(nAt + 32) << 32 | match(nAt + 48) << 48;
                    }
                    std::size_t nBlockEnd = nAt + nWidth;
                    while (nMask != 0) {
                        const std::size_t nStart =
                            nAt + static_cast<std::size_t>(std::countr_zero(nMask));
                        nMask &= nMask - 1;
                        if (!matches(nStart)) {
                            continue;
                        }
                        const std::size_t nNext = onMatch(nStart);
                        if (nNext == std::string::npos) {
                            return;
                        }
                        if (nNext >= nBlockEnd) {
                            nBlockEnd = nNext;
                            break;
                        }
                        // The starts before nNext are passed over.
                        nMask &= ~((std::uint64_t{1} << (nNext - nAt)) - 1);
                    }
                    nAt = nBlockEnd;
                }
            }
        }
#endif
        // The last few starts a byte at a time.
        const char cRare = static_cast<char>(pszFilter[k1] | caseBit(k1));
        const char cBit = caseBit(k1);
        while (nAt + nLen <= nSize) {
            if (static_cast<char>(pText[nAt + k1] | cBit) != cRare || !matches(nAt)) {
                ++nAt;
                continue;
            }
            nAt = onMatch(nAt);
            if (nAt == std::string::npos) {
                return;
            }
        }
    }

    // The texts (ascending) whose name or URL holds the upper-case ASCII
    // filter, or whose folder's name does: from the candidates (ascending),
    // or from all texts when pFrom is null.
    void Scan(const char* pszFilter, std::size_t nLen, const std::vector<std::uint32_t>* pFrom,
              std::vector<std::uint32_t>& out) const {
        std::vector<bool> folderMatch(folderNames.size() - 1);
        for (std::size_t i = 0; i + 1 < folderNames.size(); ++i) {
            folderMatch[i] =
                ContainsUpper(std::string_view(strFolderNames)
                                  .substr(folderNames[i], folderNames[i + 1] - folderNames[i]),
                              pszFilter, nLen);
        }
        std::uint64_t nNeeded = 0;
        for (std::size_t k = 0; k < nLen; ++k) {
            nNeeded |= kClassBits[static_cast<unsigned char>(pszFilter[k])];
        }
        // A text that lacks one of the filter's bytes cannot hold it; one byte
        // of its own class is held exactly where its bit is.
        out.clear();
        const auto consider = [&](std::uint32_t j) {
            if (folderMatch[folders[j]] || (classes[j] & nNeeded) == nNeeded) {
                out.push_back(j);
            }
        };
        if (pFrom != nullptr) {
            std::for_each(pFrom->begin(), pFrom->end(), consider);
        } else {
            for (std::uint32_t j = 0; j < spans.size(); ++j) {
                consider(j);
            }
        }
        if (nLen == 1 && nNeeded != std::uint64_t{1} << kOtherClass) {
            return;
        }
        const auto rarity = [&](std::size_t k) {
            return counts[static_cast<unsigned char>(pszFilter[k])];
        };
        std::size_t k1 = 0;
        for (std::size_t k = 1; k < nLen; ++k) {
            k1 = rarity(k) < rarity(k1) ? k : k1;
        }
        std::size_t k2 = k1 == 0 ? std::min<std::size_t>(1, nLen - 1) : 0;
        for (std::size_t k = 0; k < nLen; ++k) {
            k2 = k != k1 && rarity(k) < rarity(k2) ? k : k2;
        }
        const auto find = [&](const char* pText, std::size_t nSize, auto onMatch) {
            ForEachMatch(pszFilter, nLen, k1, k2, pText, nSize, onMatch);
        };
        if (out.size() < spans.size() / 16) {
            // Few texts are left: each is searched on its own.
            std::size_t r = 0;
            std::erase_if(out, [&](std::uint32_t j) {
                while (r + 1 < runs.size() && runs[r + 1].nFirst <= j) {
                    ++r;
                }
                bool bFound = folderMatch[folders[j]];
                if (!bFound) {
                    const char* const pBegin = runs[r].pBegin + spans[j].nOffset;
                    find(pBegin, spans[j].nLength, [&bFound](std::size_t) {
                        bFound = true;
                        return std::string::npos;
                    });
                }
                return !bFound;
            });
            return;
        }
        // Otherwise each run is searched in one go, skipping to the next text
        // after a match; a match between texts is no one's. The candidates'
        // matches are all among the texts it finds, since a narrower filter's
        // rows are among a wider one's.
        std::vector<std::uint32_t> found;
        found.reserve(out.size());
        std::size_t nNext = 0;  // the next candidate in out
        const auto keep = [&](std::uint32_t jUpTo, bool bMatch) {
            // Candidates before jUpTo match by their folder only.
            while (nNext < out.size() && out[nNext] < jUpTo) {
                if (folderMatch[folders[out[nNext]]]) {
                    found.push_back(out[nNext]);
                }
                ++nNext;
            }
            if (bMatch) {
                found.push_back(jUpTo);
                nNext += nNext < out.size() && out[nNext] == jUpTo ? 1 : 0;
            }
        };
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const CRun& run = runs[r];
            const std::uint32_t jEnd =
                r + 1 < runs.size() ? runs[r + 1].nFirst : static_cast<std::uint32_t>(spans.size());
            std::uint32_t j = run.nFirst;
            find(run.pBegin, run.nSize, [&](std::size_t nAt) {
                while (spans[j].nOffset + spans[j].nLength <= nAt) {
                    ++j;
                }
                if (nAt >= spans[j].nOffset) {
                    keep(j, true);
                    ++j;
                }
                return j < jEnd ? std::size_t{spans[j].nOffset} : std::string::npos;
            });
        }
        keep(static_cast<std::uint32_t>(spans.size()), false);
        out.swap(found);
    }
};

CTVLDlgBase::~CTVLDlgBase() = default;

void CTVLDlgBase::MakeOrder() {
    if (m_bOrderValid) {
        return;
    }
    InvalidateRowOrder();
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        if (BookmarkAt(i)->IsRow()) {
            m_order.push_back(BookmarkAt(i));
        }
    }
    SortRowPointers(m_order);
    m_rowGone.assign(m_order.size(), false);
    m_bOrderValid = true;
}

int CTVLDlgBase::SortedRows(std::vector<CBookmark*>& rows) {
    MakeOrder();
    if (m_bRowsRemoved) {
        for (std::size_t i = 0; i < m_order.size(); ++i) {
            if (!m_rowGone[i] && !m_order[i]->IsRow()) {
                m_rowGone[i] = true;
                ++m_nGone;
            }
        }
        for (CFilterRows& known : m_filterRows) {
            std::erase_if(known.texts,
                          [this](std::uint32_t j) { return m_rowGone[m_pSearch->rows[j]]; });
        }
        m_bRowsRemoved = false;
    }
    rows.clear();
    const std::string strFilter(m_szFilter);
    if (strFilter.empty()) {
        rows.reserve(m_order.size() - m_nGone);
        for (std::size_t i = 0; i < m_order.size(); ++i) {
            if (!m_rowGone[i]) {
                rows.push_back(m_order[i]);
            }
        }
        return static_cast<int>(m_order.size() - m_nGone);
    }
    // Start from the fewest rows known to hold every match: the same filter's,
    // else those of a filter that this one contains.
    const std::vector<std::uint32_t>* pFrom = nullptr;
    const CFilterRows* pKnown = nullptr;
    for (const CFilterRows& known : m_filterRows) {
        if (known.strFilter == strFilter) {
            pKnown = &known;
            break;
        }
        if ((pFrom == nullptr || known.texts.size() < pFrom->size()) &&
            Narrows(known.strFilter, strFilter)) {
            pFrom = &known.texts;
        }
    }
    PrepareFilter();
    const CSearchText& search = *m_pSearch;
    if (pKnown == nullptr) {
        std::vector<std::uint32_t> found;
        if (m_strFilterFolded.empty()) {
            search.Scan(m_szFilter, strFilter.size(), pFrom, found);
        } else {
            // Beyond ASCII every text is decoded and folded; only rows with
            // such bytes can match.
            const auto test = [&](std::uint32_t j) {
                if (search.beyondAscii[j] && PassesFilter(*m_order[search.rows[j]])) {
                    found.push_back(j);
                }
            };
            if (pFrom != nullptr) {
                std::for_each(pFrom->begin(), pFrom->end(), test);
            } else {
                for (std::uint32_t j = 0; j < search.spans.size(); ++j) {
                    test(j);
                }
            }
        }
        if (m_nGone > 0) {
            std::erase_if(found, [&](std::uint32_t j) { return m_rowGone[search.rows[j]]; });
        }
        if (m_filterRows.size() == kKnownFilters) {
            m_filterRows.erase(m_filterRows.begin());
        }
        m_filterRows.push_back({strFilter, std::move(found)});
        pKnown = &m_filterRows.back();
    }
    // The texts found are in the order of the records' addresses: their rows
    // are marked, then listed in row order.
    std::vector<std::uint64_t> marks((m_order.size() + 63) / 64);
    for (const std::uint32_t j : pKnown->texts) {
        const std::uint32_t nRow = search.rows[j];
        marks[nRow / 64] |= std::uint64_t{1} << (nRow % 64);
    }
    rows.reserve(pKnown->texts.size());
    for (std::size_t w = 0; w < marks.size(); ++w) {
        for (std::uint64_t nBits = marks[w]; nBits != 0; nBits &= nBits - 1) {
            rows.push_back(m_order[w * 64 + static_cast<std::size_t>(std::countr_zero(nBits))]);
        }
    }
    return static_cast<int>(m_order.size() - m_nGone);
}

void CTVLDlgBase::PrepareFilter() {
    MakeOrder();
    if (!m_pSearch) {
        m_pSearch = std::make_unique<CSearchText>(m_order, m_texts);
        CHeapReserve::ReturnFree();
    }
}

bool CTVLDlgBase::Narrows(const std::string& strWider, const std::string& strNarrower) {
    // Bytes beyond ASCII match as characters only when both are UTF-8.
    const bool bAscii = std::all_of(strWider.begin(), strWider.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return strNarrower.find(strWider) != std::string::npos &&
           (bAscii || (IsValidUtf8(strWider) && IsValidUtf8(strNarrower)));
}

void CTVLDlgBase::RemoveRow(CBookmark& bookmark) {
    bookmark.m_nFlags |= BMF_REMOVED;
    m_bRowsRemoved = true;
}

bool CTVLDlgBase::HasUnsavedChanges() const {
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        const CBookmark* pMark = BookmarkAt(i);
        if ((pMark->m_nFlags & BMF_REMOVED) != 0 || !pMark->m_strOrigName.empty()) {
            return true;
        }
    }
    return false;
}

void CTVLDlgBase::InvalidateRowOrder() {
    m_order.clear();
    m_rowGone.clear();
    m_nGone = 0;
    m_pSearch.reset();
    m_filterRows.clear();
    m_bOrderValid = false;
    m_bRowsRemoved = false;
}

void CTVLDlgBase::ClickColumn(int nColumn) {
    InvalidateRowOrder();
    if (g_sortKeys[0] == nColumn + 1) {
        m_sortDir[nColumn] = m_sortDir[nColumn] == 1 ? -1 : 1;
        return;
    }
    for (int k = 3; k > 0; --k) {
        g_sortKeys[k] = g_sortKeys[k - 1];
    }
    g_sortKeys[0] = nColumn + 1;
}

std::string CTVLDlgBase::FormatDate(CTime t, const char* pszFormat) {
    std::tm tmLocal{};
    char szText[64];
    if (!LocalTime(t, tmLocal) || std::strftime(szText, sizeof szText, pszFormat, &tmLocal) == 0) {
        return {};
    }
    return szText;
}

const char* CTVLDlgBase::BrowserText(const CBookmark& bookmark) {
    switch (bookmark.Origin()) {
        case 1:
            return "IE";
        case 2:
            return "NS";
        default:
            return "**";
    }
}

std::string CTVLDlgBase::GetColumnText(const CBookmark& bookmark, int nColumn) {
    switch (nColumn) {
        case COL_NAME:
            return bookmark.m_strName.str();
        case COL_FOLDER:
            return bookmark.m_pFolder != nullptr ? bookmark.m_pFolder->m_strName.str()
                                                 : std::string();
        case COL_DATE:
            return FormatDate(bookmark.m_tAdded, "%y-%m-%d");
        case COL_BROWSER:
            return BrowserText(bookmark);
        case COL_URL:
            return bookmark.m_strURL.str();
        default:
            return {};
    }
}
