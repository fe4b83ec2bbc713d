// Duplicate matching and the order of the list's rows.
#include <algorithm>
#include <cstdint>

#include "catalogue/TVLDlgBase.h"
#include "catalogue/TextCase.h"
#include "platform/Worker.h"

int g_sortKeys[4] = {kInitialSortKeys[0], kInitialSortKeys[1], kInitialSortKeys[2],
                     kInitialSortKeys[3]};

namespace {

// From this many rows on, the row order is made on two threads.
constexpr std::size_t kParallelOrder = 1 << 16;

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

std::string_view FolderName(const CBookmark* pMark) {
    return pMark->m_pFolder != nullptr ? pMark->m_pFolder->m_strName.view() : std::string_view();
}

// A row's value of one sort key as a number that orders as the key does.
// Dates and browsers are exact. A text gives its first seven folded bytes and
// its length up to 8: equal numbers below length 8 are equal texts, and at 8
// only the rest of the texts can tell.
std::uint64_t KeyValue(const CBookmark* pMark, int nColumn) {
    const auto text = [](std::string_view str) {
        return (FoldedWord(str, 0) & ~std::uint64_t{0xFF}) | std::min<std::size_t>(str.size(), 8);
    };
    switch (nColumn) {
        case COL_NAME:
            return text(pMark->m_strName);
        case COL_FOLDER:
            return text(FolderName(pMark));
        case COL_DATE:
            return static_cast<std::uint64_t>(pMark->m_tAdded) ^ (std::uint64_t{1} << 63);
        case COL_BROWSER:
            return pMark->Origin();
        default:
            return text(pMark->m_strURL);
    }
}

}  // namespace

bool CTVLDlgBase::SameURL(std::string_view a, std::string_view b) {
    const std::size_t la = a.size();
    const std::size_t lb = b.size();
    if (la == lb) {
        return EqualNoCase(a, b);
    }
    // One trailing slash is ignored, but only when the rest matches byte for byte.
    if (la == lb + 1 && IsSlash(a.back())) {
        return a.substr(0, lb) == b;
    }
    if (lb == la + 1 && IsSlash(b.back())) {
        return b.substr(0, la) == a;
    }
    return false;
}

std::string_view CTVLDlgBase::NumberedBase(std::string_view strName) {
    // "Name (n)" with n from 2 on, written without leading zeros.
    if (strName.size() < 4 || strName.back() != ')') {
        return strName;
    }
    const std::size_t nOpen = strName.rfind(" (");
    if (nOpen == std::string_view::npos || nOpen + 3 >= strName.size() ||
        strName[nOpen + 2] == '0' ||
        strName.substr(nOpen + 2, strName.size() - nOpen - 3).find_first_not_of("0123456789") !=
            std::string_view::npos ||
        strName.substr(nOpen + 2) == "1)") {
        return strName;
    }
    return strName.substr(0, nOpen);
}

bool CTVLDlgBase::SameName(std::string_view strFavorites, std::string_view strNetscape) {
    const auto same = [](std::string_view a, std::string_view b) {
        // A name in Windows-1252 (an old bookmark file's) is the same as its
        // UTF-8 form (a file name's).
        return EqualNoCase(a, b) ||
               ((!IsValidUtf8(a) || !IsValidUtf8(b)) && EqualNoCase(TextAsUtf8(a), TextAsUtf8(b)));
    };
    if (same(strFavorites, strNetscape)) {
        return true;
    }
    const std::string_view strBase = NumberedBase(strFavorites);
    return strBase.size() != strFavorites.size() && same(strBase, strNetscape);
}

void CTVLDlgBase::MergeDuplicates() {
    const int n = m_bookmarks.GetSize();
    if (n < 3) {
        return;
    }
    static constexpr SortKey kKeys[] = {KeyOf<&CBookmark::m_strURL>(KEY_TEXT),
                                        KeyOf<&CBookmark::m_strName>(KEY_TEXT)};
    m_bookmarks.Sort(kKeys, 2, 1);

    // One pass that compares each record with the nearest bookmark before it.
    // Joined records are deleted and the survivors close up in place.
    CBookmark* pPrev = BookmarkAt(0);
    int nKept = 1;
    for (int i = 1; i < n; ++i) {
        // The sorted records lie all over the heap; the flags lie at the end
        // of a record, the texts' addresses at its start.
        if (i + 16 < n) {
            const auto* pAhead = reinterpret_cast<const char*>(BookmarkAt(i + 16));
            PrefetchRecord(pAhead);
            PrefetchRecord(pAhead + sizeof(CBookmark) - 1);
        }
        if (i + 8 < n) {
            BookmarkAt(i + 8)->PrefetchTexts();
        }
        CBookmark* pCur = BookmarkAt(i);
        const bool bPrevMSIE = (pPrev->m_nFlags & BMF_MSIE) != 0;
        const CBookmark* pFav = bPrevMSIE ? pPrev : pCur;
        const CBookmark* pNS = bPrevMSIE ? pCur : pPrev;
        const bool bJoin =
            (pPrev->m_nFlags & BMF_FOLDER) == 0 && (pCur->m_nFlags & BMF_FOLDER) == 0 &&
            (pPrev->m_nFlags ^ 3u) == (pCur->m_nFlags & 3u) &&
            SameURL(pPrev->m_strURL, pCur->m_strURL) && SameName(pFav->m_strName, pNS->m_strName);
        if (bJoin) {
            // The survivor is shown with its own text; the other copy's place
            // on disk, or its text for the Netscape file, stays with it.
            if (bPrevMSIE) {
                pPrev->m_pNSFolder = pCur->m_pFolder;
                pPrev->m_nsPart.SetCopy(std::make_unique<CNetscapeCopy>(CNetscapeCopy{
                    std::move(pCur->m_strName), std::move(pCur->m_strURL), pCur->m_tAdded,
                    pCur->m_tVisited, pCur->m_tModified,
                    pCur->NSExtra() ? std::move(*pCur->NSExtra()) : CNetscapeExtra{}}));
            } else {
                pPrev->m_pNSFolder = pPrev->m_pFolder;
                pPrev->m_pFolder = pCur->m_pFolder;
                pPrev->m_strFileName = std::move(pCur->m_strFileName);
            }
            pPrev->m_nFlags |= BMF_MSIE | BMF_NETSCAPE;
            delete pCur;
            continue;
        }
        m_bookmarks.SetAt(nKept++, pCur);
        // A folder never becomes the record that the next ones are compared with,
        // unless the one before it was a folder too.
        if ((pPrev->m_nFlags & BMF_FOLDER) != 0 || (pCur->m_nFlags & BMF_FOLDER) == 0) {
            pPrev = pCur;
        }
    }
    m_bookmarks.SetSize(nKept);
}

int CTVLDlgBase::CompareRows(const CBookmark* pA, const CBookmark* pB, const CTVLDlgBase* pView) {
    for (int nKey : g_sortKeys) {
        if (nKey < 1 || nKey > COL_COUNT) {
            break;
        }
        int r = 0;
        switch (nKey - 1) {
            case COL_NAME:
                r = CompareNoCase(pA->m_strName, pB->m_strName);
                break;
            case COL_FOLDER:
                r = CompareNoCase(FolderName(pA), FolderName(pB));
                break;
            case COL_DATE:
                r = pA->m_tAdded > pB->m_tAdded ? 1 : (pA->m_tAdded < pB->m_tAdded ? -1 : 0);
                break;
            case COL_BROWSER:
                r = pA->Origin() > pB->Origin() ? 1 : (pA->Origin() < pB->Origin() ? -1 : 0);
                break;
            default:
                r = CompareNoCase(pA->m_strURL, pB->m_strURL);
                break;
        }
        if (r != 0) {
            return pView->m_sortDir[nKey - 1] == 1 ? r : -r;
        }
    }
    return 0;
}

void CTVLDlgBase::SortRowPointers(std::vector<CBookmark*>& rows) const {
    const std::vector<std::size_t> order = RowOrder(rows);
    std::vector<CBookmark*> sorted(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sorted[i] = rows[order[i]];
    }
    rows.swap(sorted);
}

std::vector<std::size_t> CTVLDlgBase::RowOrder(const std::vector<CBookmark*>& rows) const {
    // The first two keys are prepared once per row, side by side, so that most
    // comparisons need not reach into the records; the rest go to CompareRows.
    int nColumns[2] = {-1, -1};
    for (int k = 0; k < 2 && g_sortKeys[k] >= 1 && g_sortKeys[k] <= COL_COUNT; ++k) {
        nColumns[k] = g_sortKeys[k] - 1;
    }
    struct CRowKey {
        std::uint64_t values[2];
        std::size_t nIndex;
    };
    std::vector<CRowKey> keys(rows.size());
    const auto prepare = [&](std::size_t nFrom, std::size_t nTo) {
        for (std::size_t i = nFrom; i < nTo; ++i) {
            if (i + 16 < nTo) {
                PrefetchRecord(rows[i + 16]);
            }
            if (i + 8 < nTo) {
                rows[i + 8]->PrefetchTexts();
            }
            keys[i] = CRowKey{{0, 0}, i};
            for (int k = 0; k < 2 && nColumns[k] >= 0; ++k) {
                const std::uint64_t nValue = KeyValue(rows[i], nColumns[k]);
                // A descending key orders its values the other way round.
                keys[i].values[k] = m_sortDir[nColumns[k]] == 1 ? nValue : ~nValue;
            }
        }
    };
    const auto equalIsExact = [&](int k, std::uint64_t nValue) {
        const std::uint64_t nPlain = m_sortDir[nColumns[k]] == 1 ? nValue : ~nValue;
        return nColumns[k] == COL_DATE || nColumns[k] == COL_BROWSER || (nPlain & 0xFF) < 8;
    };
    // Rows that compare equal keep their order: the index decides last, so
    // the faster unstable sort gives the stable order.
    const auto before = [&](const CRowKey& a, const CRowKey& b) {
        for (int k = 0; k < 2 && nColumns[k] >= 0; ++k) {
            if (a.values[k] != b.values[k]) {
                return a.values[k] < b.values[k];
            }
            if (!equalIsExact(k, a.values[k])) {
                break;
            }
        }
        const int r = CompareRows(rows[a.nIndex], rows[b.nIndex], this);
        return r != 0 ? r < 0 : a.nIndex < b.nIndex;
    };
    const auto sortRange = [&](std::size_t nFrom, std::size_t nTo) {
        prepare(nFrom, nTo);
        std::sort(keys.begin() + static_cast<std::ptrdiff_t>(nFrom),
                  keys.begin() + static_cast<std::ptrdiff_t>(nTo), before);
    };
    // Many rows are ordered in two halves at once, which are then merged:
    // no two keys are equal, so the order is that of one sort.
    if (rows.size() >= kParallelOrder) {
        const std::size_t nHalf = rows.size() / 2;
        CWorker::RunBeside([&] { sortRange(nHalf, rows.size()); }, [&] { sortRange(0, nHalf); });
        std::inplace_merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(nHalf),
                           keys.end(), before);
    } else {
        sortRange(0, rows.size());
    }
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        order[i] = keys[i].nIndex;
    }
    return order;
}
