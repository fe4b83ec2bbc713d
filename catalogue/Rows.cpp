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

// What the filter reads of every row, side by side: the name and the URL
// upper-cased, each ended by a zero byte, which no filter holds, so that a
// match lies within one of them. The rows' texts follow each other in the
// order of the records' addresses, which is about the order they were read
// in: row order would jump through memory at every row. Folder names are few
// and are tried once per folder.
struct CTVLDlgBase::CSearchText {
    std::string strText;
    std::vector<std::size_t> starts;     // text j is [starts[j], starts[j + 1])
    std::vector<std::uint32_t> rows;     // the row of text j
    std::vector<std::uint64_t> classes;  // the bytes that text j has (kClassBits)
    std::vector<std::uint32_t> folders;  // the folder of text j, in pFolders
    std::vector<const CBookmark*> pFolders;
    std::vector<bool> beyondAscii;  // text j's name, URL or folder name has bytes beyond ASCII
    std::size_t counts[256] = {};   // of each byte, in a sample of the text

    explicit CSearchText(const std::vector<CBookmark*>& order)
        : starts(order.size() + 1),
          rows(order.size()),
          classes(order.size()),
          folders(order.size()),
          beyondAscii(order.size()) {
        std::vector<std::pair<const CBookmark*, std::uint32_t>> byAddress(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            byAddress[i] = {order[i], static_cast<std::uint32_t>(i)};
        }
        std::sort(byAddress.begin(), byAddress.end(), [](const auto& a, const auto& b) {
            return std::less<const CBookmark*>()(a.first, b.first);
        });
        std::size_t nSize = 0;
        for (std::size_t j = 0; j < byAddress.size(); ++j) {
            const CBookmark* pMark = byAddress[j].first;
            starts[j] = nSize;
            nSize += pMark->m_strName.size() + pMark->m_strURL.size() + 2;
            rows[j] = byAddress[j].second;
        }
        starts.back() = nSize;
        strText.resize(nSize);
        std::unordered_map<const CBookmark*, std::uint32_t> folderIndex;
        for (std::size_t j = 0; j < byAddress.size(); ++j) {
            const CBookmark* pMark = byAddress[j].first;
            char* const pBegin = strText.data() + starts[j];
            char* p = pBegin;
            for (const CRecordText* pField : {&pMark->m_strName, &pMark->m_strURL}) {
                std::memcpy(p, pField->data(), pField->size());
                p += pField->size();
                *p++ = '\0';
            }
            unsigned nBytes = 0;
            std::uint64_t nClasses = 0;
            for (char* q = pBegin; q < p; ++q) {
                const auto c = static_cast<unsigned char>(*q);
                nBytes |= c;
                *q = FoldUpper(static_cast<char>(c));
                nClasses |= kClassBits[static_cast<unsigned char>(*q)];
            }
            classes[j] = nClasses;
            const auto [it, bNew] = folderIndex.try_emplace(
                pMark->m_pFolder, static_cast<std::uint32_t>(pFolders.size()));
            if (bNew) {
                pFolders.push_back(pMark->m_pFolder);
            }
            folders[j] = it->second;
            if (pMark->m_pFolder != nullptr) {
                for (const char c : pMark->m_pFolder->m_strName) {
                    nBytes |= static_cast<unsigned char>(c);
                }
            }
            beyondAscii[j] = (nBytes & 0x80) != 0;
        }
        for (std::size_t i = 0; i < strText.size(); i += 16) {
            ++counts[static_cast<unsigned char>(strText[i])];
        }
    }

    // Calls onMatch with each place in [nFrom, nTo) of the text where the
    // filter starts, in order; onMatch returns where to look on from, or
    // npos to stop. Bytes k1 and k2 of the filter are its rarest.
    template <class FMatch>
    void ForEachMatch(const char* pszFilter, std::size_t nLen, std::size_t k1, std::size_t k2,
                      std::size_t nFrom, std::size_t nTo, FMatch onMatch) const {
        const char* const pText = strText.data();
        std::size_t nAt = nFrom;
#if defined(__SSE2__)
        // 64 starts at a time are tried for both rare bytes standing at their
        // places; memchr is slower where the rarest byte is still common.
        if (nLen > 1) {
            const __m128i v1 = _mm_set1_epi8(pszFilter[k1]);
            const __m128i v2 = _mm_set1_epi8(pszFilter[k2]);
            const auto match = [&](std::size_t nOffset) {
                const auto* p1 = reinterpret_cast<const __m128i*>(pText + nOffset + k1);
                const auto* p2 = reinterpret_cast<const __m128i*>(pText + nOffset + k2);
                return static_cast<std::uint64_t>(static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p1), v1),
                                                    _mm_cmpeq_epi8(_mm_loadu_si128(p2), v2)))));
            };
            while (nAt + nLen + 63 <= nTo) {
                std::uint64_t nMask = match(nAt) | match(nAt + 16) << 16 | match(nAt + 32) << 32 |
                                      match(nAt + 48) << 48;
                std::size_t nBlockEnd = nAt + 64;
                while (nMask != 0) {
                    const std::size_t nStart =
                        nAt + static_cast<std::size_t>(std::countr_zero(nMask));
                    nMask &= nMask - 1;
                    if (std::memcmp(pText + nStart, pszFilter, nLen) != 0) {
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
#endif
        const char* p = pText + nAt + k1;
        const char* const pEnd = pText + nTo;
        while (p < pEnd) {
            const char* pAt = static_cast<const char*>(std::memchr(p, pszFilter[k1], pEnd - p));
            if (pAt == nullptr || pAt - k1 + nLen > pEnd) {
                break;
            }
            if (std::memcmp(pAt - k1, pszFilter, nLen) != 0) {
                p = pAt + 1;
                continue;
            }
            const std::size_t nNext = onMatch(static_cast<std::size_t>(pAt - k1 - pText));
            if (nNext == std::string::npos) {
                return;
            }
            p = pText + nNext + k1;
        }
    }

    // The texts (ascending) whose name or URL holds the upper-case ASCII
    // filter, or whose folder's name does: from the candidates (ascending),
    // or from all texts when pFrom is null.
    void Scan(const char* pszFilter, std::size_t nLen, const std::vector<std::uint32_t>* pFrom,
              std::vector<std::uint32_t>& out) const {
        std::vector<bool> folderMatch(pFolders.size());
        for (std::size_t i = 0; i < pFolders.size(); ++i) {
            folderMatch[i] =
                pFolders[i] != nullptr && ContainsUpper(pFolders[i]->m_strName, pszFilter, nLen);
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
            for (std::uint32_t j = 0; j < rows.size(); ++j) {
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
        const auto find = [&](std::size_t nFrom, std::size_t nTo, auto onMatch) {
            ForEachMatch(pszFilter, nLen, k1, k2, nFrom, nTo, onMatch);
        };
        if (out.size() < rows.size() / 16) {
            // Few texts are left: each is searched on its own.
            std::erase_if(out, [&](std::uint32_t j) {
                bool bFound = folderMatch[folders[j]];
                if (!bFound) {
                    find(starts[j], starts[j + 1], [&bFound](std::size_t) {
                        bFound = true;
                        return std::string::npos;
                    });
                }
                return !bFound;
            });
            return;
        }
        // Otherwise the whole text is searched in one run, skipping to the
        // next text after a match. The candidates' matches are all among the
        // texts it finds, since a narrower filter's rows are among a wider one's.
        std::vector<std::uint32_t> found;
        found.reserve(out.size());
        std::size_t nNext = 0;  // the next candidate in out
        std::uint32_t j = 0;
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
        find(0, strText.size(), [&](std::size_t nAt) {
            while (starts[j + 1] <= nAt) {
                ++j;
            }
            keep(j, true);
            ++j;
            return j < rows.size() ? starts[j] : std::string::npos;
        });
        keep(static_cast<std::uint32_t>(rows.size()), false);
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
                for (std::uint32_t j = 0; j < search.rows.size(); ++j) {
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
        m_pSearch = std::make_unique<CSearchText>(m_order);
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
