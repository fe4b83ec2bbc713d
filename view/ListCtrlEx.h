// An owner-drawn report list: a header with the columns over a row area that
// draws each row itself, so a selected row is highlighted across all columns
// up to the client width, and texts too wide for their column end in "...".
#pragma once

#include <wx/event.h>
#include <wx/font.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ListRows.h"

class wxHeaderCtrl;
class wxImageList;
class wxHeaderCtrlEvent;
class wxTextCtrl;
class CListExBody;
class CListExHeader;

// The notifications of the list. Item is -1 where no row was hit; the column is
// set for a header click; an ended label edit carries the text, and a Veto
// refuses it.
class CListExEvent : public wxNotifyEvent {
public:
    CListExEvent(wxEventType type = wxEVT_NULL, int nId = 0) : wxNotifyEvent(type, nId) {}
    wxEvent* Clone() const override { return new CListExEvent(*this); }

    int m_nItem = -1;
    int m_nColumn = -1;
    wxString m_strText;
    std::string m_strTextBytes;
    bool m_bEditCancelled = false;
};

wxDECLARE_EVENT(wxEVT_LISTEX_COLUMN_CLICK, CListExEvent);
wxDECLARE_EVENT(wxEVT_LISTEX_CLICK, CListExEvent);
wxDECLARE_EVENT(wxEVT_LISTEX_DBLCLK, CListExEvent);
wxDECLARE_EVENT(wxEVT_LISTEX_RCLICK, CListExEvent);
wxDECLARE_EVENT(wxEVT_LISTEX_END_LABEL_EDIT, CListExEvent);

// Kinds of image list.
constexpr int LVSIL_SMALL = 1;
constexpr int LVSIL_STATE = 2;

class CListCtrlEx : public wxWindow {
public:
    CListCtrlEx(wxWindow* pParent, wxWindowID nId, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize);
    ~CListCtrlEx() override;

    // The rows, for reading. Changes go through the members below so the
    // header, scroll bars and painting follow them.
    const CListRows& GetRows() const { return m_rows; }
    void SetTextCallback(std::function<std::string(std::intptr_t, int)> callback);
    // A line drawn in the empty list, to say why it is empty; none when empty.
    void SetEmptyText(const wxString& strText);
    const wxString& GetEmptyText() const { return m_strEmptyText; }

    int InsertColumn(int nCol, const std::string& strTitle, int nWidth, int nFormat = LVCFMT_LEFT);
    bool SetColumnWidth(int nCol, int nWidth);
    // All rows at once: these items, none selected, scrolled to the top.
    void SetItems(const std::vector<std::intptr_t>& data);
    int InsertItem(int nItem, const std::string& strText, std::intptr_t lParam);
    int InsertItem(int nItem, std::intptr_t lParam);
    bool SetItemText(int nItem, int nSubItem, const std::string& strText);
    bool DeleteItem(int nItem);
    void DeleteAllItems();
    bool SetItemState(int nItem, unsigned nState, unsigned nMask);
    bool SortItems(PFNLVCOMPARE pfnCompare, std::intptr_t lParamSort);
    // The rows in this order of their present indices; see CListRows::Reorder.
    void Reorder(const std::vector<std::size_t>& order);
    // Several inserts or deletes in a row: the scroll bars are set once at the end.
    void BeginUpdate() { ++m_nUpdateLock; }
    void EndUpdate();

    bool SetFullRowSel(bool bFullRowSel);
    bool GetFullRowSel() const { return m_bFullRowSel; }
    // Whether a selected row's highlight reaches the client width (the default)
    // or ends at the last column.
    void SetClientWidthSel(bool bClientWidthSel);
    void RepaintSelectedItems();
    // How often a focus change has repainted the focused row.
    int GetFocusRepaintCount() const { return m_nFocusRepaints; }

    // Image lists, not owned: LVSIL_SMALL gives each row's image in the first
    // column, LVSIL_STATE the state images. Returns the list attached before.
    wxImageList* SetImageList(wxImageList* pImages, int nKind);
    // Overlay n (1 to 15) of a row's state draws this image of the small list.
    bool SetOverlayImage(int nImage, int nOverlay);
    bool SetItemImage(int nItem, int nImage);
    void SetTextColor(const wxColour& clr);
    void SetTextBkColor(const wxColour& clr);
    void SetBkColor(const wxColour& clr);

    bool EnsureVisible(int nItem);
    int GetTopItem() const { return m_nTopItem; }
    int GetCountPerPage() const;
    int GetRowHeight() const { return m_nRowHeight; }
    // The row under a point of the row area, or -1.
    int HitTest(const wxPoint& pt) const;
    // Bounds of a row in row-area coordinates: from the first column's left edge
    // to the last column's right edge.
    wxRect GetItemRect(int nItem) const;

    bool EditLabel(int nItem);
    wxTextCtrl* GetEditControl() const;
    // Ends a running label edit: with its text, or cancelled.
    void EndEditLabel(bool bCancel);

    // The row area, which has the keyboard focus and takes the mouse; and the header.
    wxWindow* GetBody() const;
    wxHeaderCtrl* GetHeader() const;
    bool BodyHasFocus() const;

    // The text as DrawItem draws it in a column of the given width: shortened
    // with "..." when it does not fit.
    wxString MakeShortString(wxDC& dc, const wxString& strText, int nColumnWidth, int nOffset);
    // Draws the part of the row area inside rcUpdate (row-area coordinates).
    void PaintRows(wxDC& dc, const wxRect& rcUpdate);
    void DrawItem(wxDC& dc, int nItem, const wxRect& rcItem, bool bHasFocus);
    // The state image and the row's image with its overlay.
    void DrawImages(wxDC& dc, int nItem, const wxRect& rcItem, bool bSelected);

private:
    friend class CListExBody;

    void OnSize(wxSizeEvent& event);
    void OnHeaderClick(wxHeaderCtrlEvent& event);
    void OnHeaderResize(wxHeaderCtrlEvent& event);
    void OnEditTimer(wxTimerEvent& event);

    // Handlers of the row area.
    void OnBodyPaint();
    void OnBodySize();
    void OnBodyMouse(wxMouseEvent& event);
    void OnBodyKey(wxKeyEvent& event);
    void OnBodyScroll(wxScrollWinEvent& event);
    void OnBodyFocus(wxFocusEvent& event);

    // The widest printable ASCII character in the DC's font, kept per font
    // together with the width of the dots.
    int GetMaxAsciiWidth(wxDC& dc);
    void ItemsChanged();
    void UpdateScrollBars();
    void ScrollTo(int nTopItem, int nScrollX);
    int GetTotalWidth() const;
    void SelectOnly(int nItem);
    void SelectRange(int nFrom, int nTo, bool bKeepOthers);
    void MoveFocus(int nItem, bool bShift, bool bCtrl);
    void RefreshItem(int nItem);
    bool Notify(wxEventType type, int nItem, int nColumn = -1);

    CListRows m_rows;
    CListExHeader* m_pHeader = nullptr;
    CListExBody* m_pBody = nullptr;
    wxTextCtrl* m_pEdit = nullptr;
    wxTimer m_editTimer;

    bool m_bFullRowSel = false;
    bool m_bClientWidthSel = true;
    int m_cxClient = 0;
    int m_cxStateImageOffset = 0;
    wxColour m_clrText;
    wxString m_strEmptyText;
    wxColour m_clrTextBk;
    wxColour m_clrBkgnd;

    wxFont m_fontMeasured;
    int m_cxMaxAscii = 0;
    int m_cxDots = 0;  // "..." and the end zero, which measures as a space

    int m_nRowHeight = 0;
    int m_nTopItem = 0;
    int m_nScrollX = 0;
    int m_nAnchor = -1;
    int m_nEditItem = -1;
    int m_nPendingEdit = -1;  // row whose second slow click waits for the timer
    int m_nUpdateLock = 0;
    int m_nFocusRepaints = 0;

    wxImageList* m_pSmallImages = nullptr;
    wxImageList* m_pStateImages = nullptr;
    int m_overlayImages[15] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};
