// The rows of a report list as a Windows list keeps them: texts per column,
// item data, item state, selection and focus. No drawing here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Item states.
constexpr unsigned LVIS_FOCUSED = 0x0001;
constexpr unsigned LVIS_SELECTED = 0x0002;
constexpr unsigned LVIS_CUT = 0x0004;
constexpr unsigned LVIS_DROPHILITED = 0x0008;
// Overlay image (1 to 15) and state image (1 to 15) of a row, 0 for none.
constexpr unsigned LVIS_OVERLAYMASK = 0x0F00;
constexpr unsigned LVIS_STATEIMAGEMASK = 0xF000;
// Which item GetNextItem looks for.
constexpr unsigned LVNI_ALL = 0x0000;
constexpr unsigned LVNI_FOCUSED = 0x0001;
constexpr unsigned LVNI_SELECTED = 0x0002;
// Column formats.
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;

struct CListColumn {
    std::string strTitle;
    int nWidth = 0;
    int nFormat = LVCFMT_LEFT;
};

// Compares the item data of two rows, as a list's sort does.
using PFNLVCOMPARE = int (*)(std::intptr_t lParam1, std::intptr_t lParam2,
                             std::intptr_t lParamSort);

class CListRows {
public:
    // Texts for rows that store none: (item data, column) to text. With it set,
    // 100,000 rows cost no strings.
    std::function<std::string(std::intptr_t, int)> m_textCallback;

    int InsertColumn(int nCol, const std::string& strTitle, int nWidth, int nFormat = LVCFMT_LEFT);
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    const CListColumn* GetColumn(int nCol) const;
    int GetColumnWidth(int nCol) const;
    bool SetColumnWidth(int nCol, int nWidth);

    // Replaces every row by rows of this item data, in this order, none
    // selected or focused: a million rows are one copy.
    void SetItems(const std::vector<std::intptr_t>& data);
    // Returns the new row's index, or -1. An index beyond the end appends.
    int InsertItem(int nItem, std::intptr_t lParam);
    int InsertItem(int nItem, const std::string& strText, std::intptr_t lParam);
    bool SetItemText(int nItem, int nSubItem, const std::string& strText);
    std::string GetItemText(int nItem, int nSubItem) const;
    bool DeleteItem(int nItem);
    void DeleteAllItems();
    int GetItemCount() const { return static_cast<int>(m_rows.size()); }
    std::intptr_t GetItemData(int nItem) const;

    unsigned GetItemState(int nItem, unsigned nMask) const;
    // The row's image in the small image list; -1 when the row has none.
    int GetItemImage(int nItem) const;
    bool SetItemImage(int nItem, int nImage);
    // nItem -1 sets the state of every row.
    bool SetItemState(int nItem, unsigned nState, unsigned nMask);
    // The next row after nStart (-1: from the first) that has the flags' states.
    int GetNextItem(int nStart, unsigned nFlags) const;
    int GetSelectedCount() const { return m_nSelected; }
    int GetFocusedItem() const { return m_nFocused; }

    // Rows that compare equal keep their order.
    bool SortItems(PFNLVCOMPARE pfnCompare, std::intptr_t lParamSort);
    // Puts the rows in this order of their present indices, a permutation;
    // states and texts go with their rows.
    void Reorder(const std::vector<std::size_t>& order);

private:
    struct CRow {
        std::intptr_t lParam = 0;
        unsigned nState = 0;
        int nImage = 0;
    };
    bool IsItem(int nItem) const { return nItem >= 0 && nItem < GetItemCount(); }

    std::vector<CListColumn> m_columns;
    std::vector<CRow> m_rows;
    // Each row's own texts, once any row has one; a row without them takes
    // its texts from the callback.
    std::vector<std::vector<std::string>> m_texts;
    int m_nSelected = 0;
    int m_nFocused = -1;  // at most one row has the focus
};
