#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/headerctrl.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <chrono>
#include <memory>
#include <vector>

#include "tests/gui/GuiTest.h"
#include "ui/WxText.h"
#include "view/ListCtrlEx.h"

namespace {

using namespace std::chrono_literals;

// A one-shot timer that only records that it has run.
class CFlagTimer : public wxTimer {
public:
    void Notify() override { m_bFired = true; }
    bool m_bFired = false;
};

struct CRecorded {
    wxEventType type;
    int nItem;
    int nColumn;
    std::string strBytes;
    bool bCancelled;
};

class ListCtrlExTest : public testing::Test {
protected:
    void SetUp() override {
        m_pList = new CListCtrlEx(g_pTestFrame, wxID_ANY, wxPoint(0, 0), wxSize(500, 300));
        m_pList->SetFullRowSel(true);
        m_pList->InsertColumn(0, "Name", 100);
        m_pList->InsertColumn(1, "Folder", 80);
        m_pList->InsertColumn(2, "URL", 80, LVCFMT_RIGHT);
        for (wxEventType type : {wxEVT_LISTEX_COLUMN_CLICK, wxEVT_LISTEX_CLICK, wxEVT_LISTEX_DBLCLK,
                                 wxEVT_LISTEX_RCLICK, wxEVT_LISTEX_END_LABEL_EDIT}) {
            m_pList->Bind(wxEventTypeTag<CListExEvent>(type), [this](CListExEvent& event) {
                m_events.push_back({event.GetEventType(), event.m_nItem, event.m_nColumn,
                                    event.m_strTextBytes, event.m_bEditCancelled});
                if (m_bRefuse) {
                    event.Veto();
                }
            });
        }
    }
    void TearDown() override { m_pList->Destroy(); }

    void Fill(int nRows) {
        for (int i = 0; i < nRows; ++i) {
            std::string strName = "Row ";
            strName += std::to_string(i);
            m_pList->InsertItem(i, strName, i);
            m_pList->SetItemText(i, 1, std::string(1, static_cast<char>('a' + i % 3)));
        }
    }
    void Mouse(wxEventType type, int nY, bool bCtrl = false, bool bShift = false) {
        wxMouseEvent event(type);
        event.m_x = 20;
        event.m_y = nY;
        event.m_controlDown = bCtrl;
        event.m_shiftDown = bShift;
        event.SetEventObject(m_pList->GetBody());
        m_pList->GetBody()->GetEventHandler()->ProcessEvent(event);
    }
    void Click(int nItem, bool bCtrl = false, bool bShift = false) {
        const int nY = (nItem - m_pList->GetTopItem()) * m_pList->GetRowHeight() + 2;
        Mouse(wxEVT_LEFT_DOWN, nY, bCtrl, bShift);
        Mouse(wxEVT_LEFT_UP, nY, bCtrl, bShift);
    }
    static void Key(wxWindow* pWindow, int nKey, bool bShift = false, bool bCtrl = false) {
        wxKeyEvent event(wxEVT_KEY_DOWN);
        event.m_keyCode = nKey;
        event.m_shiftDown = bShift;
        event.m_controlDown = bCtrl;
        event.SetEventObject(pWindow);
        pWindow->GetEventHandler()->ProcessEvent(event);
    }
    void Key(int nKey, bool bShift = false, bool bCtrl = false) {
        Key(m_pList->GetBody(), nKey, bShift, bCtrl);
    }
    std::vector<int> Selected() const {
        std::vector<int> items;
        for (int i = m_pList->GetRows().GetNextItem(-1, LVNI_SELECTED); i >= 0;
             i = m_pList->GetRows().GetNextItem(i, LVNI_SELECTED)) {
            items.push_back(i);
        }
        return items;
    }
    int Focused() const { return m_pList->GetRows().GetNextItem(-1, LVNI_FOCUSED); }

    CListCtrlEx* m_pList = nullptr;
    std::vector<CRecorded> m_events;
    bool m_bRefuse = false;
};

TEST(ListCtrlExText, ShowsUtf8AsUtf8AndOtherBytesAsWindows1252) {
    struct {
        std::string strBytes;
        const wchar_t* szShown;
    } const cases[] = {
        {"plain", L"plain"},
        {"caf\xC3\xA9 \xE2\x82\xAC", L"caf\u00E9 \u20AC"},
        {"caf\xE9", L"caf\u00E9"},
        {"\x80\x85\x9F", L"\u20AC\u2026\u0178"},
        {"\xC3", L"\u00C3"},                      // cut sequence
        {"\xED\xA0\x80", L"\u00ED\u00A0\u20AC"},  // encoded surrogate
        {"\xC0\xAF", L"\u00C0\u00AF"},            // overlong
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextFromBytes(c.strBytes).ToStdWstring(), c.szShown) << c.strBytes;
        EXPECT_EQ(TextToBytes(TextFromBytes(c.strBytes), !IsValidUtf8(c.strBytes)), c.strBytes);
    }
    // A character without a Windows-1252 code falls back to UTF-8.
    EXPECT_EQ(TextToBytes(wxString(L"\u0416"), true), "\xD0\x96");
}

TEST_F(ListCtrlExTest, ClicksSelectToggleAndExtendFromTheAnchor) {
    Fill(20);
    Click(2);
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    EXPECT_EQ(Focused(), 2);
    Click(5, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 5}));
    EXPECT_EQ(Focused(), 5);
    Click(2, true);
    EXPECT_EQ(Selected(), (std::vector<int>{5}));
    Click(7, false, true);  // the anchor is the last Ctrl-clicked row
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Focused(), 7);
    Click(4, false, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4}));
    Click(9);
    EXPECT_EQ(Selected(), (std::vector<int>{9}));
    EXPECT_EQ(m_pList->GetRows().GetSelectedCount(), 1);
}

TEST_F(ListCtrlExTest, AClickBelowTheRowsClearsTheSelectionButKeepsTheFocusRow) {
    Fill(3);
    Click(1);
    Mouse(wxEVT_LEFT_DOWN, m_pList->GetRowHeight() * 6);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Focused(), 1);
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(m_events.back().type, wxEVT_LISTEX_CLICK);
    EXPECT_EQ(m_events.back().nItem, -1);
}

TEST_F(ListCtrlExTest, KeysMoveFocusAndSelectionAndScrollIntoView) {
    Fill(100);
    const int nPage = m_pList->GetCountPerPage();
    ASSERT_GT(nPage, 3);
    ASSERT_LT(nPage, 100);
    Key(WXK_DOWN);  // no focus row yet: the first row
    EXPECT_EQ(Focused(), 0);
    Key(WXK_DOWN);
    Key(WXK_DOWN);
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    Key(WXK_DOWN, true);
    Key(WXK_DOWN, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4}));
    Key(WXK_UP, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3}));
    EXPECT_EQ(Focused(), 3);
    Key(WXK_DOWN, false, true);  // Ctrl moves the focus alone
    EXPECT_EQ(Focused(), 4);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3}));

    Key(WXK_PAGEDOWN);  // to the bottom of the page, then a page further
    EXPECT_EQ(Focused(), nPage - 1);
    EXPECT_EQ(m_pList->GetTopItem(), 0);
    Key(WXK_PAGEDOWN);
    EXPECT_EQ(Focused(), 2 * nPage - 2);
    EXPECT_EQ(m_pList->GetTopItem(), nPage - 1);
    Key(WXK_END);
    EXPECT_EQ(Selected(), (std::vector<int>{99}));
    EXPECT_EQ(m_pList->GetTopItem(), 100 - nPage);
    Key(WXK_PAGEUP);
    EXPECT_EQ(Focused(), 100 - nPage);
    Key(WXK_HOME, true);
    EXPECT_EQ(Selected().size(), static_cast<std::size_t>(100 - nPage + 1));
    EXPECT_EQ(m_pList->GetTopItem(), 0);
    Key(WXK_UP);  // stays on the first row
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
}

TEST_F(ListCtrlExTest, NotifiesTheRowOrColumnOfEachClick) {
    Fill(10);
    Click(3);
    Mouse(wxEVT_LEFT_DCLICK, 3 * m_pList->GetRowHeight() + 2);
    Mouse(wxEVT_RIGHT_DOWN, 6 * m_pList->GetRowHeight() + 2);
    wxHeaderCtrlEvent headerClick(wxEVT_HEADER_CLICK, m_pList->GetHeader()->GetId());
    headerClick.SetColumn(2);
    headerClick.SetEventObject(m_pList->GetHeader());
    m_pList->GetHeader()->GetEventHandler()->ProcessEvent(headerClick);

    wxHeaderCtrlEvent resized(wxEVT_HEADER_END_RESIZE, m_pList->GetHeader()->GetId());
    resized.SetColumn(1);
    resized.SetWidth(140);
    m_pList->GetHeader()->GetEventHandler()->ProcessEvent(resized);
    EXPECT_EQ(m_pList->GetRows().GetColumnWidth(1), 140);

    ASSERT_EQ(m_events.size(), 4u);
    EXPECT_EQ(m_events[0].type, wxEVT_LISTEX_CLICK);
    EXPECT_EQ(m_events[0].nItem, 3);
    EXPECT_EQ(m_events[1].type, wxEVT_LISTEX_DBLCLK);
    EXPECT_EQ(m_events[1].nItem, 3);
    EXPECT_EQ(m_events[2].type, wxEVT_LISTEX_RCLICK);
    EXPECT_EQ(m_events[2].nItem, 6);
    EXPECT_EQ(m_events[3].type, wxEVT_LISTEX_COLUMN_CLICK);
    EXPECT_EQ(m_events[3].nColumn, 2);
    // A right click on an unselected row selects it alone.
    EXPECT_EQ(Selected(), (std::vector<int>{6}));
}

TEST_F(ListCtrlExTest, LabelEditIsAcceptedRefusedOrCancelled) {
    Fill(5);
    m_pList->SetItemText(2, 0, "caf\xE9");
    struct {
        int nKey;
        bool bRefuse;
        const char* szExpected;
        bool bCancelled;
    } const cases[] = {
        {WXK_RETURN, false, "caf\xE9s", false},  // written back as it was read
        {WXK_RETURN, true, "caf\xE9", false},
        {WXK_ESCAPE, false, "caf\xE9", true},
    };
    for (const auto& c : cases) {
        m_events.clear();
        m_bRefuse = c.bRefuse;
        Click(2);
        m_events.clear();
        Key(WXK_F2);
        wxTextCtrl* pEdit = m_pList->GetEditControl();
        ASSERT_NE(pEdit, nullptr);
        EXPECT_EQ(pEdit->GetValue(), wxString(L"caf\u00E9"));
        pEdit->ChangeValue(L"caf\u00E9s");
        Key(pEdit, c.nKey);
        EXPECT_EQ(m_pList->GetEditControl(), nullptr);
        ASSERT_EQ(m_events.size(), 1u);
        EXPECT_EQ(m_events[0].type, wxEVT_LISTEX_END_LABEL_EDIT);
        EXPECT_EQ(m_events[0].nItem, 2);
        EXPECT_EQ(m_events[0].bCancelled, c.bCancelled);
        if (!c.bCancelled) {
            EXPECT_EQ(m_events[0].strBytes, "caf\xE9s");
        }
        EXPECT_EQ(m_pList->GetRows().GetItemText(2, 0), c.szExpected);
        m_pList->SetItemText(2, 0, "caf\xE9");
    }
    // A click elsewhere ends the edit with its text.
    m_bRefuse = false;
    Key(WXK_F2);
    ASSERT_NE(m_pList->GetEditControl(), nullptr);
    m_pList->GetEditControl()->ChangeValue("Renamed");
    Click(4);
    EXPECT_EQ(m_pList->GetEditControl(), nullptr);
    EXPECT_EQ(m_pList->GetRows().GetItemText(2, 0), "Renamed");
}

TEST_F(ListCtrlExTest, ASecondSlowClickOnTheFocusedRowEditsItsLabel) {
    Fill(5);
    Click(3);
    EXPECT_EQ(m_pList->GetEditControl(), nullptr);
    Click(3);
    ASSERT_TRUE(WaitFor([this] { return m_pList->GetEditControl() != nullptr; }, 5s));
    EXPECT_EQ(m_pList->GetEditControl()->GetValue(), "Row 3");
    m_pList->EndEditLabel(true);

    // A double click is not an edit: still none once twice the double-click
    // time has passed since, when the edit's timer would long have run.
    Click(1);
    Click(1);
    Mouse(wxEVT_LEFT_DCLICK, m_pList->GetRowHeight() + 2);
    const int nMsec = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    CFlagTimer later;
    later.StartOnce(2 * (nMsec > 0 ? nMsec : 500));
    ASSERT_TRUE(WaitFor([&later] { return later.m_bFired; }, 5s));
    EXPECT_EQ(m_pList->GetEditControl(), nullptr);
}

TEST_F(ListCtrlExTest, HorizontalScrollMovesRowsAndKeepsTheHighlightToTheClientWidth) {
    Fill(3);
    m_pList->SetColumnWidth(1, 900);
    wxScrollWinEvent thumb(wxEVT_SCROLLWIN_THUMBTRACK, 50, wxHORIZONTAL);
    m_pList->GetBody()->GetEventHandler()->ProcessEvent(thumb);
    EXPECT_EQ(m_pList->GetItemRect(0).x, -50);
    wxScrollWinEvent right(wxEVT_SCROLLWIN_BOTTOM, 0, wxHORIZONTAL);
    m_pList->GetBody()->GetEventHandler()->ProcessEvent(right);
    const int cxClient = m_pList->GetBody()->GetClientSize().x;
    EXPECT_EQ(m_pList->GetItemRect(0).GetRight() + 1, cxClient);
}

int CompareByTextDescending(std::intptr_t a, std::intptr_t b, std::intptr_t) {
    const std::string strA = std::to_string(a);
    const std::string strB = std::to_string(b);
    return strB.compare(strA);
}

TEST_F(ListCtrlExTest, SortingKeepsSelectionAndFocusWithTheirRows) {
    Fill(12);
    Click(10);
    Click(1, true);
    ASSERT_TRUE(m_pList->SortItems(CompareByTextDescending, 0));
    // As strings, "9" > "8" > ... > "2" > "11" > "10" > "1" > "0".
    std::vector<std::intptr_t> data;
    for (int i = 0; i < 12; ++i) {
        data.push_back(m_pList->GetRows().GetItemData(i));
    }
    EXPECT_EQ(data, (std::vector<std::intptr_t>{9, 8, 7, 6, 5, 4, 3, 2, 11, 10, 1, 0}));
    EXPECT_EQ(Selected(), (std::vector<int>{9, 10}));
    EXPECT_EQ(Focused(), 10);
    EXPECT_EQ(m_pList->GetRows().GetItemText(0, 0), "Row 9");
}

TEST_F(ListCtrlExTest, WheelAndScrollBarScrollTheRows) {
    Fill(100);
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.m_wheelRotation = -120;
    wheel.m_wheelDelta = 120;
    wheel.m_linesPerAction = 3;
    m_pList->GetBody()->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_EQ(m_pList->GetTopItem(), 3);
    wxScrollWinEvent page(wxEVT_SCROLLWIN_PAGEDOWN, 0, wxVERTICAL);
    m_pList->GetBody()->GetEventHandler()->ProcessEvent(page);
    EXPECT_EQ(m_pList->GetTopItem(), 3 + m_pList->GetCountPerPage());
    wxScrollWinEvent bottom(wxEVT_SCROLLWIN_BOTTOM, 0, wxVERTICAL);
    m_pList->GetBody()->GetEventHandler()->ProcessEvent(bottom);
    EXPECT_EQ(m_pList->GetTopItem(), 100 - m_pList->GetCountPerPage());
    // A click then lands on the row under the pointer.
    Mouse(wxEVT_LEFT_DOWN, 2);
    EXPECT_EQ(Focused(), 100 - m_pList->GetCountPerPage());
}

TEST_F(ListCtrlExTest, RowIndexesOutOfRangeFail) {
    Fill(3);
    EXPECT_FALSE(m_pList->SetItemText(3, 0, "x"));
    EXPECT_FALSE(m_pList->DeleteItem(-1));
    EXPECT_FALSE(m_pList->SetItemState(7, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_FALSE(m_pList->EditLabel(3));
    EXPECT_FALSE(m_pList->EnsureVisible(-2));
    EXPECT_EQ(m_pList->HitTest(wxPoint(5, -1)), -1);
    EXPECT_EQ(m_pList->GetRows().GetItemCount(), 3);
}

// Paints the row area into a bitmap as a paint event would.
wxImage Paint(CListCtrlEx* pList) {
    const wxSize size = pList->GetBody()->GetClientSize();
    wxBitmap bitmap(size);
    {
        wxMemoryDC dc(bitmap);
        pList->PaintRows(dc, wxRect(size));
    }
    return bitmap.ConvertToImage();
}

bool HasColour(const wxImage& image, int x, int y, const wxColour& clr) {
    return image.GetRed(x, y) == clr.Red() && image.GetGreen(x, y) == clr.Green() &&
           image.GetBlue(x, y) == clr.Blue();
}

TEST_F(ListCtrlExTest, SelectedRowIsHighlightedUpToTheClientWidth) {
    Fill(4);
    Click(1);
    const wxColour clrHighlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    const int nRow = m_pList->GetRowHeight();
    const int x = m_pList->GetBody()->GetClientSize().x - 3;  // well right of the 260 columns
    ASSERT_GT(x, 300);
    wxImage image = Paint(m_pList);
    EXPECT_TRUE(HasColour(image, x, nRow + nRow / 2, clrHighlight));
    EXPECT_FALSE(HasColour(image, x, nRow / 2, clrHighlight));
    EXPECT_FALSE(HasColour(image, x, 2 * nRow + nRow / 2, clrHighlight));
    // The empty second-to-last column of a selected row is still filled.
    m_pList->SetItemText(1, 1, "");
    image = Paint(m_pList);
    EXPECT_TRUE(HasColour(image, 140, nRow + 1, clrHighlight));

    // The highlight may also end at the last column.
    m_pList->SetClientWidthSel(false);
    image = Paint(m_pList);
    EXPECT_FALSE(HasColour(image, x, nRow + nRow / 2, clrHighlight));
    EXPECT_TRUE(HasColour(image, 250, nRow + 1, clrHighlight));
    m_pList->SetClientWidthSel(true);

    // Without full-row mode only the first column is highlighted.
    m_pList->SetFullRowSel(false);
    image = Paint(m_pList);
    EXPECT_TRUE(HasColour(image, 50, nRow + 1, clrHighlight));
    EXPECT_FALSE(HasColour(image, x, nRow + nRow / 2, clrHighlight));
}

TEST_F(ListCtrlExTest, FocusRectangleOnlyWhileTheListHasTheFocus) {
    Fill(3);
    Click(1);
    const wxColour clrHighlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    const int nRow = m_pList->GetRowHeight();
    for (bool bHasFocus : {false, true}) {
        wxBitmap bitmap(m_pList->GetBody()->GetClientSize());
        {
            wxMemoryDC dc(bitmap);
            m_pList->DrawItem(dc, 1, m_pList->GetItemRect(1), bHasFocus);
        }
        const wxImage image = bitmap.ConvertToImage();
        int nOther = 0;
        for (int x = 300; x < 400; ++x) {
            nOther += !HasColour(image, x, nRow, clrHighlight);
        }
        // The dotted frame marks about every second pixel of the top edge.
        if (bHasFocus) {
            EXPECT_GT(nOther, 30);
        } else {
            EXPECT_EQ(nOther, 0);
        }
    }
}

TEST_F(ListCtrlExTest, LongTextsEndInDotsAndFitTheirColumn) {
    wxBitmap bitmap(10, 10);
    wxMemoryDC dc(bitmap);
    dc.SetFont(m_pList->GetBody()->GetFont());
    const wxString strLong(L"A rather long bookmark name that cannot fit");
    const wxString strShort = m_pList->MakeShortString(dc, strLong, 100, 4);
    EXPECT_TRUE(strShort.EndsWith("...")) << strShort;
    EXPECT_TRUE(strLong.StartsWith(strShort.Left(strShort.length() - 3)));
    EXPECT_LE(dc.GetTextExtent(strShort).x + 4, 100);
    EXPECT_EQ(m_pList->MakeShortString(dc, "Short", 100, 4), "Short");
    EXPECT_EQ(m_pList->MakeShortString(dc, "WWW", 1, 12), "W...");

    // A shortened text in a right-aligned column starts at its left inset: the
    // first ink is near the column's left edge, not its right.
    Fill(1);
    m_pList->SetItemText(0, 2, std::string(200, 'W'));
    const wxImage image = Paint(m_pList);
    const wxColour clrBack = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    int nFirstInk = -1;
    for (int x = 180; x < 260 && nFirstInk < 0; ++x) {
        for (int y = 0; y < m_pList->GetRowHeight(); ++y) {
            if (!HasColour(image, x, y, clrBack)) {
                nFirstInk = x;
                break;
            }
        }
    }
    EXPECT_GE(nFirstInk, 186);
    EXPECT_LT(nFirstInk, 196);
}

TEST_F(ListCtrlExTest, FocusMovesToAndFromTheEditBoxWithoutRepaintingRows) {
    Fill(3);
    Click(1);
    wxWindow* pBody = m_pList->GetBody();
    const auto focusEvent = [pBody](wxEventType type, wxWindow* pOther) {
        wxFocusEvent event(type, pBody->GetId());
        event.SetWindow(pOther);
        event.SetEventObject(pBody);
        pBody->GetEventHandler()->ProcessEvent(event);
    };
    const int nBefore = m_pList->GetFocusRepaintCount();
    focusEvent(wxEVT_KILL_FOCUS, g_pTestFrame);
    EXPECT_EQ(m_pList->GetFocusRepaintCount(), nBefore + 1);

    focusEvent(wxEVT_SET_FOCUS, g_pTestFrame);
    Key(WXK_F2);
    wxTextCtrl* pEdit = m_pList->GetEditControl();
    ASSERT_NE(pEdit, nullptr);
    focusEvent(wxEVT_KILL_FOCUS, pEdit);
    Key(pEdit, WXK_ESCAPE);
    focusEvent(wxEVT_SET_FOCUS, pEdit);
    EXPECT_EQ(m_pList->GetFocusRepaintCount(), nBefore + 2);
}

wxBitmap SolidBitmap(int nSize, const wxColour& clr) {
    wxImage image(nSize, nSize);
    image.SetRGB(wxRect(0, 0, nSize, nSize), clr.Red(), clr.Green(), clr.Blue());
    return wxBitmap(image);
}

TEST_F(ListCtrlExTest, ImagesStandBeforeTheLabelAndFadeIntoTheHighlight) {
    Fill(2);
    wxImageList smallImages(16, 16);
    smallImages.Add(SolidBitmap(16, *wxRED));
    wxImageList stateImages(12, 12);
    stateImages.Add(SolidBitmap(12, *wxGREEN));
    EXPECT_EQ(m_pList->SetImageList(&smallImages, LVSIL_SMALL), nullptr);
    EXPECT_EQ(m_pList->SetImageList(&stateImages, LVSIL_STATE), nullptr);
    m_pList->SetItemState(0, 1u << 12, LVIS_STATEIMAGEMASK);
    Click(1);

    const wxColour clrHighlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    const wxColour clrBack = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const int nRow = m_pList->GetRowHeight();
    const int yMiddle = nRow / 2;
    wxImage image = Paint(m_pList);
    // Row 0: the state image at the row's left, the red image right of it.
    EXPECT_TRUE(HasColour(image, 2, 1, *wxGREEN));
    EXPECT_TRUE(HasColour(image, 12 + 8, yMiddle, *wxRED));
    // Row 1 is selected: no state image, the image half red, half highlight,
    // and the highlight starting at the label right of the image.
    const wxColour clrBlend((255 + clrHighlight.Red()) / 2, clrHighlight.Green() / 2,
                            clrHighlight.Blue() / 2);
    EXPECT_TRUE(HasColour(image, 2, nRow + 1, clrBack));
    EXPECT_TRUE(HasColour(image, 12 + 8, nRow + yMiddle, clrBlend));
    EXPECT_TRUE(HasColour(image, 12 + 16 + 1, nRow + 1, clrHighlight));
    // A cut row's image fades into the background.
    m_pList->SetItemState(0, LVIS_CUT, LVIS_CUT);
    image = Paint(m_pList);
    EXPECT_TRUE(
        HasColour(image, 12 + 8, yMiddle,
                  wxColour((255 + clrBack.Red()) / 2, clrBack.Green() / 2, clrBack.Blue() / 2)));

    // Without the state images the row's image moves to the row's left edge.
    EXPECT_EQ(m_pList->SetImageList(nullptr, LVSIL_STATE), &stateImages);
    image = Paint(m_pList);
    EXPECT_TRUE(HasColour(image, 8, nRow + yMiddle, clrBlend));
    EXPECT_TRUE(HasColour(image, 16 + 1, nRow + 1, clrHighlight));
    m_pList->SetImageList(nullptr, LVSIL_SMALL);
}

}  // namespace
