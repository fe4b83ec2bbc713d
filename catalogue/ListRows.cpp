#include "catalogue/ListRows.h"

#include <algorithm>

int CListRows::InsertColumn(int nCol, const std::string& strTitle, int nWidth, int nFormat) {
    nCol = std::clamp(nCol, 0, GetColumnCount());
    m_columns.insert(m_columns.begin() + nCol, CListColumn{strTitle, nWidth, nFormat});
    return nCol;
}

const CListColumn* CListRows::GetColumn(int nCol) const {
    return nCol >= 0 && nCol < GetColumnCount() ? &m_columns[static_cast<std::size_t>(nCol)]
                                                : nullptr;
}

int CListRows::GetColumnWidth(int nCol) const {
    const CListColumn* pColumn = GetColumn(nCol);
    return pColumn != nullptr ? pColumn->nWidth : 0;
}

bool CListRows::SetColumnWidth(int nCol, int nWidth) {
    if (GetColumn(nCol) == nullptr) {
        return false;
    }
    m_columns[static_cast<std::size_t>(nCol)].nWidth = std::max(nWidth, 0);
    return true;
}

void CListRows::SetItems(const std::vector<std::intptr_t>& data) {
    DeleteAllItems();
    m_rows.resize(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        m_rows[i].lParam = data[i];
    }
}

int CListRows::InsertItem(int nItem, std::intptr_t lParam) {
    if (nItem < 0) {
        return -1;
    }
    nItem = std::min(nItem, GetItemCount());
    m_rows.insert(m_rows.begin() + nItem, CRow{lParam, 0, 0});
    if (!m_texts.empty()) {
        m_texts.insert(m_texts.begin() + nItem, std::vector<std::string>());
    }
    if (m_nFocused >= nItem) {
        ++m_nFocused;
    }
    return nItem;
}

int CListRows::InsertItem(int nItem, const std::string& strText, std::intptr_t lParam) {
    nItem = InsertItem(nItem, lParam);
    if (nItem >= 0) {
        SetItemText(nItem, 0, strText);
    }
    return nItem;
}

bool CListRows::SetItemText(int nItem, int nSubItem, const std::string& strText) {
    if (!IsItem(nItem) || nSubItem < 0) {
        return false;
    }
    if (m_texts.empty()) {
        m_texts.resize(m_rows.size());
    }
    std::vector<std::string>& texts = m_texts[static_cast<std::size_t>(nItem)];
    if (texts.size() <= static_cast<std::size_t>(nSubItem)) {
        texts.resize(static_cast<std::size_t>(nSubItem) + 1);
    }
    texts[static_cast<std::size_t>(nSubItem)] = strText;
    return true;
}

std::string CListRows::GetItemText(int nItem, int nSubItem) const {
    if (!IsItem(nItem) || nSubItem < 0) {
        return {};
    }
    static const std::vector<std::string> s_none;
    const std::vector<std::string>& texts =
        m_texts.empty() ? s_none : m_texts[static_cast<std::size_t>(nItem)];
    if (texts.empty() && m_textCallback) {
        return m_textCallback(m_rows[static_cast<std::size_t>(nItem)].lParam, nSubItem);
    }
    return static_cast<std::size_t>(nSubItem) < texts.size()
               ? texts[static_cast<std::size_t>(nSubItem)]
               : std::string();
}

bool CListRows::DeleteItem(int nItem) {
    if (!IsItem(nItem)) {
        return false;
    }
    if (m_rows[static_cast<std::size_t>(nItem)].nState & LVIS_SELECTED) {
        --m_nSelected;
    }
    m_rows.erase(m_rows.begin() + nItem);
    if (!m_texts.empty()) {
        m_texts.erase(m_texts.begin() + nItem);
    }
    if (m_nFocused == nItem) {
        m_nFocused = -1;
    } else if (m_nFocused > nItem) {
        --m_nFocused;
    }
    return true;
}

void CListRows::DeleteAllItems() {
    m_rows.clear();
    m_texts.clear();
    m_nSelected = 0;
    m_nFocused = -1;
}

std::intptr_t CListRows::GetItemData(int nItem) const {
    return IsItem(nItem) ? m_rows[static_cast<std::size_t>(nItem)].lParam : 0;
}

unsigned CListRows::GetItemState(int nItem, unsigned nMask) const {
    return IsItem(nItem) ? m_rows[static_cast<std::size_t>(nItem)].nState & nMask : 0;
}

int CListRows::GetItemImage(int nItem) const {
    return IsItem(nItem) ? m_rows[static_cast<std::size_t>(nItem)].nImage : -1;
}

bool CListRows::SetItemImage(int nItem, int nImage) {
    if (!IsItem(nItem)) {
        return false;
    }
    m_rows[static_cast<std::size_t>(nItem)].nImage = nImage;
    return true;
}

bool CListRows::SetItemState(int nItem, unsigned nState, unsigned nMask) {
    if (nItem == -1) {
        for (int i = 0; i < GetItemCount(); ++i) {
            SetItemState(i, nState, nMask);
        }
        return true;
    }
    if (!IsItem(nItem)) {
        return false;
    }
    CRow& row = m_rows[static_cast<std::size_t>(nItem)];
    const unsigned nNew = (row.nState & ~nMask) | (nState & nMask);
    if ((nNew ^ row.nState) & LVIS_SELECTED) {
        m_nSelected += (nNew & LVIS_SELECTED) ? 1 : -1;
    }
    if ((nNew & LVIS_FOCUSED) && m_nFocused != nItem) {
        // One row has the focus: giving it to this row takes it from the other.
        if (IsItem(m_nFocused)) {
            m_rows[static_cast<std::size_t>(m_nFocused)].nState &= ~LVIS_FOCUSED;
        }
        m_nFocused = nItem;
    } else if (!(nNew & LVIS_FOCUSED) && m_nFocused == nItem) {
        m_nFocused = -1;
    }
    row.nState = nNew;
    return true;
}

int CListRows::GetNextItem(int nStart, unsigned nFlags) const {
    if (nFlags & LVNI_FOCUSED) {
        const bool bAfter = m_nFocused > nStart;
        const bool bSelected =
            !(nFlags & LVNI_SELECTED) || GetItemState(m_nFocused, LVIS_SELECTED) != 0;
        return m_nFocused >= 0 && bAfter && bSelected ? m_nFocused : -1;
    }
    for (int i = std::max(nStart + 1, 0); i < GetItemCount(); ++i) {
        if (!(nFlags & LVNI_SELECTED) ||
            (m_rows[static_cast<std::size_t>(i)].nState & LVIS_SELECTED)) {
            return i;
        }
    }
    return -1;
}

bool CListRows::SortItems(PFNLVCOMPARE pfnCompare, std::intptr_t lParamSort) {
    if (pfnCompare == nullptr) {
        return false;
    }
    // The sort moves small pairs of item data and index; the rows follow once.
    std::vector<std::pair<std::intptr_t, std::size_t>> pairs(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        pairs[i] = {m_rows[i].lParam, i};
    }
    std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
        return pfnCompare(a.first, b.first, lParamSort) < 0;
    });
    std::vector<std::size_t> order(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        order[i] = pairs[i].second;
    }
    Reorder(order);
    return true;
}

void CListRows::Reorder(const std::vector<std::size_t>& order) {
    std::vector<CRow> sorted;
    sorted.reserve(m_rows.size());
    std::vector<std::vector<std::string>> texts;
    texts.reserve(m_texts.size());
    m_nFocused = -1;
    for (const std::size_t nIndex : order) {
        if (m_rows[nIndex].nState & LVIS_FOCUSED) {
            m_nFocused = static_cast<int>(sorted.size());
        }
        sorted.push_back(m_rows[nIndex]);
        if (!m_texts.empty()) {
            texts.push_back(std::move(m_texts[nIndex]));
        }
    }
    m_rows.swap(sorted);
    m_texts.swap(texts);
}
