#include <gtest/gtest.h>

#include "catalogue/ListRows.h"
#include "catalogue/ShortString.h"

namespace {

// Every character is 5 pixels wide, the end zero included.
int Measure(const std::wstring& str) {
    return static_cast<int>(str.size()) * 5;
}

int CompareData(std::intptr_t a, std::intptr_t b, std::intptr_t nDir) {
    return static_cast<int>((a > b) - (a < b)) * static_cast<int>(nDir);
}

std::vector<std::intptr_t> Data(const CListRows& rows) {
    std::vector<std::intptr_t> data;
    for (int i = 0; i < rows.GetItemCount(); ++i) {
        data.push_back(rows.GetItemData(i));
    }
    return data;
}

}  // namespace

TEST(ShortString, KeepsTheLongestFittingBeginning) {
    const struct {
        const wchar_t* pszText;
        int nWidth;
        int nOffset;
        const wchar_t* pszShown;
    } cases[] = {
        {L"", 0, 4, L""},
        {L"abcd", 24, 4, L"abcd"},  // 20 + 4 fits exactly
        {L"abcd", 23, 4, L"a..."},  // the dots count four characters: 20 pixels
        {L"abcdefghij", 54, 4, L"abcdefghij"},
        {L"abcdefghij", 48, 4, L"abcd..."},
        {L"abcdefghij", 52, 12, L"abcd..."},
        {L"abcdefghij", 51, 12, L"abc..."},
        {L"x", 2, 4, L"x..."},  // one character is kept even when it does not fit
        {L"abc", 1, 4, L"a..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeShortString(Measure, c.pszText, c.nWidth, c.nOffset), c.pszShown) << c.nWidth;
    }
}

TEST(ListRows, KeepsTextsDataAndStateAsAWindowsListDoes) {
    CListRows rows;
    EXPECT_EQ(rows.InsertColumn(0, "Name", 300), 0);
    EXPECT_EQ(rows.InsertColumn(5, "URL", 800, LVCFMT_RIGHT), 1);
    EXPECT_EQ(rows.GetColumn(1)->nFormat, LVCFMT_RIGHT);
    EXPECT_TRUE(rows.SetColumnWidth(0, 250));
    EXPECT_EQ(rows.GetColumnWidth(0), 250);
    EXPECT_FALSE(rows.SetColumnWidth(2, 10));

    EXPECT_EQ(rows.InsertItem(0, "b", 20), 0);
    EXPECT_EQ(rows.InsertItem(0, "a", 10), 0);
    EXPECT_EQ(rows.InsertItem(99, "c", 30), 2);
    EXPECT_EQ(rows.InsertItem(-1, "x", 40), -1);
    EXPECT_TRUE(rows.SetItemText(2, 1, "http://c/"));
    EXPECT_FALSE(rows.SetItemText(3, 0, "none"));
    EXPECT_EQ(rows.GetItemText(2, 1), "http://c/");
    EXPECT_EQ(rows.GetItemText(2, 4), "");
    EXPECT_EQ(rows.GetItemText(7, 0), "");
    EXPECT_EQ(Data(rows), (std::vector<std::intptr_t>{10, 20, 30}));
    EXPECT_EQ(rows.GetItemData(-1), 0);

    // Selection and focus: one focused row, a count of selected rows.
    rows.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    rows.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(rows.GetItemState(0, LVIS_FOCUSED), 0u);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_FOCUSED), 2);
    EXPECT_EQ(rows.GetSelectedCount(), 2);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_SELECTED), 0);
    EXPECT_EQ(rows.GetNextItem(0, LVNI_SELECTED), 2);
    EXPECT_EQ(rows.GetNextItem(2, LVNI_SELECTED), -1);
    EXPECT_EQ(rows.GetNextItem(0, LVNI_ALL), 1);
    EXPECT_FALSE(rows.SetItemState(5, LVIS_SELECTED, LVIS_SELECTED));

    // Deleting a row before the focus moves the focus with its row.
    EXPECT_TRUE(rows.DeleteItem(0));
    EXPECT_FALSE(rows.DeleteItem(5));
    EXPECT_EQ(rows.GetSelectedCount(), 1);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_FOCUSED), 1);
    rows.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(rows.GetSelectedCount(), 2);
    rows.DeleteAllItems();
    EXPECT_EQ(rows.GetItemCount(), 0);
    EXPECT_EQ(rows.GetSelectedCount(), 0);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_FOCUSED), -1);
}

TEST(ListRows, SortsByItemDataKeepingStatesAndTies) {
    CListRows rows;
    const std::intptr_t data[] = {3, 1, 2, 1, 3};
    for (int i = 0; i < 5; ++i) {
        rows.InsertItem(i, std::to_string(i), data[i]);
    }
    rows.SetItemState(4, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    EXPECT_TRUE(rows.SortItems(CompareData, 1));
    EXPECT_EQ(Data(rows), (std::vector<std::intptr_t>{1, 1, 2, 3, 3}));
    // Equal rows keep their order; the focus and selection move with their row.
    EXPECT_EQ(rows.GetItemText(0, 0), "1");
    EXPECT_EQ(rows.GetItemText(1, 0), "3");
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_FOCUSED), 4);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_SELECTED), 4);
    EXPECT_TRUE(rows.SortItems(CompareData, -1));
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_FOCUSED), 1);
    EXPECT_FALSE(rows.SortItems(nullptr, 0));
}

TEST(ListRows, TakesTextsFromTheCallbackWhenARowStoresNone) {
    CListRows rows;
    rows.m_textCallback = [](std::intptr_t lParam, int nColumn) {
        return std::to_string(lParam) + ":" + std::to_string(nColumn);
    };
    rows.InsertItem(0, 7);
    rows.InsertItem(1, "stored", 8);
    EXPECT_EQ(rows.GetItemText(0, 3), "7:3");
    EXPECT_EQ(rows.GetItemText(1, 0), "stored");
    EXPECT_EQ(rows.GetItemText(1, 1), "");
    // Stored texts stay with their row as rows come and go around it.
    rows.InsertItem(0, 9);
    EXPECT_EQ(rows.GetItemText(0, 0), "9:0");
    EXPECT_EQ(rows.GetItemText(2, 0), "stored");
    rows.DeleteItem(1);
    EXPECT_EQ(rows.GetItemText(1, 0), "stored");
    EXPECT_EQ(rows.GetItemText(0, 0), "9:0");
}

TEST(ListRows, SetItemsReplacesEveryRowAndItsState) {
    CListRows rows;
    rows.InsertItem(0, "old", 1);
    rows.SetItemState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    rows.m_textCallback = [](std::intptr_t lParam, int) { return std::to_string(lParam); };
    rows.SetItems({5, 6, 7});
    EXPECT_EQ(Data(rows), (std::vector<std::intptr_t>{5, 6, 7}));
    EXPECT_EQ(rows.GetSelectedCount(), 0);
    EXPECT_EQ(rows.GetFocusedItem(), -1);
    EXPECT_EQ(rows.GetItemText(0, 0), "5");
    rows.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(rows.GetNextItem(-1, LVNI_SELECTED), 2);
    rows.SetItems({});
    EXPECT_EQ(rows.GetItemCount(), 0);
    EXPECT_EQ(rows.GetSelectedCount(), 0);
}
