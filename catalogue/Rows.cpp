// The list's rows: which records the filter keeps and the text of their columns.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "catalogue/TVLDlgBase.h"
#include "catalogue/TextCase.h"
#include "platform/LocalTime.h"

CColumnInfo g_columns[COL_COUNT] = {{300, 1}, {100, 1}, {70, -1}, {35, 1}, {800, 1}};

namespace {

// Whether strUpper (already upper case) occurs in strText with a-z folded to
// upper case. Candidates are found with memchr for both cases of the first
// letter, which is several times faster than comparing at every position.
bool ContainsUpper(const std::string& strText, const char* pszUpper, std::size_t nLen) {
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
bool ContainsFolded(const std::string& strText, const std::u32string& strFolded) {
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

int CTVLDlgBase::SortedRows(std::vector<CBookmark*>& rows) {
    if (!m_bOrderValid) {
        m_order.clear();
        for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
            if (BookmarkAt(i)->IsRow()) {
                m_order.push_back(BookmarkAt(i));
            }
        }
        SortRowPointers(m_order);
        m_bOrderValid = true;
    }
    if (m_bRowsRemoved) {
        std::erase_if(m_order, [](const CBookmark* p) { return !p->IsRow(); });
        m_filterRows.clear();
        m_bRowsRemoved = false;
    }
    // Start from the fewest rows known to hold every match: the same filter's,
    // else those of a filter that this one contains.
    const std::string strFilter(m_szFilter);
    const std::vector<CBookmark*>* pFrom = &m_order;
    bool bKnown = strFilter.empty();
    for (const CFilterRows& known : m_filterRows) {
        if (known.strFilter == strFilter) {
            pFrom = &known.rows;
            bKnown = true;
            break;
        }
        if (known.rows.size() < pFrom->size() && Narrows(known.strFilter, strFilter)) {
            pFrom = &known.rows;
        }
    }
    rows.clear();
    // IsRow also drops records flagged behind RemoveRow's back.
    for (CBookmark* pMark : *pFrom) {
        if (pMark->IsRow() && (bKnown || PassesFilter(*pMark))) {
            rows.push_back(pMark);
        }
    }
    if (!bKnown) {
        if (m_filterRows.size() == kKnownFilters) {
            m_filterRows.erase(m_filterRows.begin());
        }
        m_filterRows.push_back({strFilter, rows});
    }
    return static_cast<int>(m_order.size());
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
            return bookmark.m_strName;
        case COL_FOLDER:
            return bookmark.m_pFolder != nullptr ? bookmark.m_pFolder->m_strName : std::string();
        case COL_DATE:
            return FormatDate(bookmark.m_tAdded, "%y-%m-%d");
        case COL_BROWSER:
            return BrowserText(bookmark);
        case COL_URL:
            return bookmark.m_strURL;
        default:
            return {};
    }
}
