#include "view/ListCtrlEx.h"

#include <wx/dcbuffer.h>
#include <wx/headerctrl.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <utility>

#include "catalogue/ShortString.h"
#include "ui/WxText.h"

wxDEFINE_EVENT(wxEVT_LISTEX_COLUMN_CLICK, CListExEvent);
wxDEFINE_EVENT(wxEVT_LISTEX_CLICK, CListExEvent);
wxDEFINE_EVENT(wxEVT_LISTEX_DBLCLK, CListExEvent);
wxDEFINE_EVENT(wxEVT_LISTEX_RCLICK, CListExEvent);
wxDEFINE_EVENT(wxEVT_LISTEX_END_LABEL_EDIT, CListExEvent);

namespace {

// Offsets of the text in the first and in the further columns, and the insets
// of the drawn text inside its column.
constexpr int kFirstOffset = 4;
constexpr int kOtherOffset = 12;
constexpr int kFirstInset = 2;
constexpr int kOtherInset = 6;
// Size of a row's image in the first column.
constexpr int kIconSize = 16;

// The bitmap mixed half and half with a colour, as a selected or cut row's
// image is drawn; transparency is kept.
wxBitmap BlendBitmap(const wxBitmap& bitmap, const wxColour& clr) {
    wxImage image = bitmap.ConvertToImage();
    unsigned char* p = image.GetData();
    const std::size_t nPixels = static_cast<std::size_t>(image.GetWidth()) * image.GetHeight();
    for (std::size_t i = 0; i < nPixels; ++i, p += 3) {
        p[0] = static_cast<unsigned char>((p[0] + clr.Red()) / 2);
        p[1] = static_cast<unsigned char>((p[1] + clr.Green()) / 2);
        p[2] = static_cast<unsigned char>((p[2] + clr.Blue()) / 2);
    }
    return wxBitmap(image);
}

}  // namespace

// The header shows the columns of the row model.
class CListExHeader : public wxHeaderCtrl {
public:
    CListExHeader(wxWindow* pParent, const CListRows& rows)
        : wxHeaderCtrl(pParent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxHD_DEFAULT_STYLE & ~wxHD_ALLOW_REORDER),
          m_rows(rows) {}

    const wxHeaderColumn& GetColumn(unsigned int idx) const override {
        const CListColumn* pColumn = m_rows.GetColumn(static_cast<int>(idx));
        if (pColumn != nullptr) {
            m_column.SetTitle(TextFromBytes(pColumn->strTitle));
            m_column.SetWidth(pColumn->nWidth);
            m_column.SetAlignment(pColumn->nFormat == LVCFMT_RIGHT    ? wxALIGN_RIGHT
                                  : pColumn->nFormat == LVCFMT_CENTER ? wxALIGN_CENTER
                                                                      : wxALIGN_LEFT);
            m_column.SetFlags(wxCOL_RESIZABLE);
        }
        return m_column;
    }

private:
    const CListRows& m_rows;
    mutable wxHeaderColumnSimple m_column{wxString()};
};

// The row area: takes the focus, the keys and the mouse, and hands them to the list.
class CListExBody : public wxWindow {
public:
    explicit CListExBody(CListCtrlEx* pList)
        : wxWindow(pList, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                   wxHSCROLL | wxVSCROLL | wxWANTS_CHARS | wxBORDER_NONE),
          m_pList(pList) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { m_pList->OnBodyPaint(); });
        Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
            m_pList->OnBodySize();
            event.Skip();
        });
        Bind(wxEVT_LEFT_DOWN, &CListCtrlEx::OnBodyMouse, m_pList);
        Bind(wxEVT_LEFT_UP, &CListCtrlEx::OnBodyMouse, m_pList);
        Bind(wxEVT_LEFT_DCLICK, &CListCtrlEx::OnBodyMouse, m_pList);
        Bind(wxEVT_RIGHT_DOWN, &CListCtrlEx::OnBodyMouse, m_pList);
        Bind(wxEVT_MOUSEWHEEL, &CListCtrlEx::OnBodyMouse, m_pList);
        Bind(wxEVT_KEY_DOWN, &CListCtrlEx::OnBodyKey, m_pList);
        Bind(wxEVT_SCROLLWIN_TOP, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_BOTTOM, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_LINEUP, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_LINEDOWN, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_PAGEUP, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_PAGEDOWN, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_THUMBTRACK, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SCROLLWIN_THUMBRELEASE, &CListCtrlEx::OnBodyScroll, m_pList);
        Bind(wxEVT_SET_FOCUS, &CListCtrlEx::OnBodyFocus, m_pList);
        Bind(wxEVT_KILL_FOCUS, &CListCtrlEx::OnBodyFocus, m_pList);
    }

private:
    CListCtrlEx* m_pList;
};

CListCtrlEx::CListCtrlEx(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size)
    : wxWindow(pParent, nId, pos, size, wxBORDER_THEME),
      m_editTimer(this),
      m_clrText(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)),
      m_clrTextBk(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)),
      m_clrBkgnd(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)) {
    m_pHeader = new CListExHeader(this, m_rows);
    m_pBody = new CListExBody(this);
    m_nRowHeight = std::max(m_pBody->GetCharHeight() + 4, 16);
    Bind(wxEVT_SIZE, &CListCtrlEx::OnSize, this);
    m_pHeader->Bind(wxEVT_HEADER_CLICK, &CListCtrlEx::OnHeaderClick, this);
    m_pHeader->Bind(wxEVT_HEADER_RESIZING, &CListCtrlEx::OnHeaderResize, this);
    m_pHeader->Bind(wxEVT_HEADER_END_RESIZE, &CListCtrlEx::OnHeaderResize, this);
    Bind(wxEVT_TIMER, &CListCtrlEx::OnEditTimer, this);
    wxSizeEvent sizeEvent;
    OnSize(sizeEvent);
}

CListCtrlEx::~CListCtrlEx() {
    m_editTimer.Stop();
}

wxWindow* CListCtrlEx::GetBody() const {
    return m_pBody;
}
wxHeaderCtrl* CListCtrlEx::GetHeader() const {
    return m_pHeader;
}
wxTextCtrl* CListCtrlEx::GetEditControl() const {
    return m_nEditItem >= 0 ? m_pEdit : nullptr;
}
bool CListCtrlEx::BodyHasFocus() const {
    return wxWindow::FindFocus() == m_pBody;
}

void CListCtrlEx::SetTextCallback(std::function<std::string(std::intptr_t, int)> callback) {
    m_rows.m_textCallback = std::move(callback);
    m_pBody->Refresh(false);
}

int CListCtrlEx::InsertColumn(int nCol, const std::string& strTitle, int nWidth, int nFormat) {
    nCol = m_rows.InsertColumn(nCol, strTitle, nWidth, nFormat);
    m_pHeader->SetColumnCount(static_cast<unsigned>(m_rows.GetColumnCount()));
    ItemsChanged();
    return nCol;
}

bool CListCtrlEx::SetColumnWidth(int nCol, int nWidth) {
    if (!m_rows.SetColumnWidth(nCol, nWidth)) {
        return false;
    }
    m_pHeader->UpdateColumn(static_cast<unsigned>(nCol));
    ItemsChanged();
    return true;
}

int CListCtrlEx::InsertItem(int nItem, const std::string& strText, std::intptr_t lParam) {
    nItem = m_rows.InsertItem(nItem, strText, lParam);
    ItemsChanged();
    return nItem;
}

int CListCtrlEx::InsertItem(int nItem, std::intptr_t lParam) {
    nItem = m_rows.InsertItem(nItem, lParam);
    ItemsChanged();
    return nItem;
}

bool CListCtrlEx::SetItemText(int nItem, int nSubItem, const std::string& strText) {
    if (!m_rows.SetItemText(nItem, nSubItem, strText)) {
        return false;
    }
    RefreshItem(nItem);
    return true;
}

bool CListCtrlEx::DeleteItem(int nItem) {
    if (m_nEditItem >= 0) {
        EndEditLabel(true);
    }
    if (!m_rows.DeleteItem(nItem)) {
        return false;
    }
    if (m_nAnchor >= m_rows.GetItemCount()) {
        m_nAnchor = -1;
    }
    ItemsChanged();
    return true;
}

void CListCtrlEx::DeleteAllItems() {
    SetItems({});
}

void CListCtrlEx::SetItems(const std::vector<std::intptr_t>& data) {
    if (m_nEditItem >= 0) {
        EndEditLabel(true);
    }
    m_rows.SetItems(data);
    m_nAnchor = -1;
    m_nTopItem = 0;
    ItemsChanged();
}

bool CListCtrlEx::SetItemState(int nItem, unsigned nState, unsigned nMask) {
    if (!m_rows.SetItemState(nItem, nState, nMask)) {
        return false;
    }
    if (nItem < 0) {
        m_pBody->Refresh(false);
    } else {
        RefreshItem(nItem);
    }
    return true;
}

bool CListCtrlEx::SortItems(PFNLVCOMPARE pfnCompare, std::intptr_t lParamSort) {
    if (!m_rows.SortItems(pfnCompare, lParamSort)) {
        return false;
    }
    m_nAnchor = m_rows.GetFocusedItem();
    m_pBody->Refresh(false);
    return true;
}

void CListCtrlEx::Reorder(const std::vector<std::size_t>& order) {
    m_rows.Reorder(order);
    m_nAnchor = m_rows.GetFocusedItem();
    m_pBody->Refresh(false);
}

void CListCtrlEx::EndUpdate() {
    if (m_nUpdateLock > 0 && --m_nUpdateLock == 0) {
        ItemsChanged();
    }
}

void CListCtrlEx::ItemsChanged() {
    if (m_nUpdateLock > 0) {
        return;
    }
    UpdateScrollBars();
    m_pBody->Refresh(false);
}

bool CListCtrlEx::SetFullRowSel(bool bFullRowSel) {
    const bool bChanged = m_bFullRowSel != bFullRowSel;
    m_bFullRowSel = bFullRowSel;
    if (bChanged) {
        m_pBody->Refresh(true);
    }
    return bChanged;
}

void CListCtrlEx::SetClientWidthSel(bool bClientWidthSel) {
    m_bClientWidthSel = bClientWidthSel;
    m_pBody->Refresh(false);
}

wxImageList* CListCtrlEx::SetImageList(wxImageList* pImages, int nKind) {
    wxImageList* pOld = nullptr;
    if (nKind == LVSIL_SMALL) {
        pOld = std::exchange(m_pSmallImages, pImages);
    } else if (nKind == LVSIL_STATE) {
        pOld = std::exchange(m_pStateImages, pImages);
        int cx = 0;
        int cy = 0;
        m_cxStateImageOffset = pImages != nullptr && pImages->GetSize(0, cx, cy) ? cx : 0;
    } else {
        return nullptr;
    }
    m_pBody->Refresh(false);
    return pOld;
}

bool CListCtrlEx::SetOverlayImage(int nImage, int nOverlay) {
    if (nOverlay < 1 || nOverlay > 15) {
        return false;
    }
    m_overlayImages[nOverlay - 1] = nImage;
    return true;
}

bool CListCtrlEx::SetItemImage(int nItem, int nImage) {
    if (!m_rows.SetItemImage(nItem, nImage)) {
        return false;
    }
    RefreshItem(nItem);
    return true;
}

void CListCtrlEx::RepaintSelectedItems() {
    // Selected rows stay highlighted without the focus, so only the focus
    // rectangle of the focused row changes.
    const int nFocused = m_rows.GetNextItem(-1, LVNI_FOCUSED);
    if (nFocused >= 0) {
        RefreshItem(nFocused);
        m_pBody->Update();
    }
}

void CListCtrlEx::SetTextColor(const wxColour& clr) {
    m_clrText = clr;
    m_pBody->Refresh(false);
}

void CListCtrlEx::SetTextBkColor(const wxColour& clr) {
    m_clrTextBk = clr;
    m_pBody->Refresh(false);
}

void CListCtrlEx::SetBkColor(const wxColour& clr) {
    m_clrBkgnd = clr;
    m_pBody->Refresh(false);
}

int CListCtrlEx::GetTotalWidth() const {
    int nWidth = 0;
    for (int i = 0; i < m_rows.GetColumnCount(); ++i) {
        nWidth += m_rows.GetColumnWidth(i);
    }
    return nWidth;
}

int CListCtrlEx::GetCountPerPage() const {
    return std::max(m_pBody->GetClientSize().y / m_nRowHeight, 1);
}

wxRect CListCtrlEx::GetItemRect(int nItem) const {
    return wxRect(-m_nScrollX, (nItem - m_nTopItem) * m_nRowHeight, GetTotalWidth(), m_nRowHeight);
}

int CListCtrlEx::HitTest(const wxPoint& pt) const {
    if (pt.y < 0) {
        return -1;
    }
    const int nItem = m_nTopItem + pt.y / m_nRowHeight;
    return nItem < m_rows.GetItemCount() ? nItem : -1;
}

void CListCtrlEx::RefreshItem(int nItem) {
    if (m_nUpdateLock > 0 || nItem < m_nTopItem || nItem > m_nTopItem + GetCountPerPage()) {
        return;
    }
    wxRect rc = GetItemRect(nItem);
    rc.width = std::max(rc.GetRight() + 1, m_cxClient) - rc.x;
    m_pBody->RefreshRect(rc, false);
}

void CListCtrlEx::UpdateScrollBars() {
    const wxSize size = m_pBody->GetClientSize();
    const int nPage = GetCountPerPage();
    const int nCount = m_rows.GetItemCount();
    const int nTotal = GetTotalWidth();
    m_nTopItem = std::clamp(m_nTopItem, 0, std::max(nCount - nPage, 0));
    m_nScrollX = std::clamp(m_nScrollX, 0, std::max(nTotal - size.x, 0));
    m_pBody->SetScrollbar(wxVERTICAL, m_nTopItem, nPage, nCount);
    m_pBody->SetScrollbar(wxHORIZONTAL, m_nScrollX, size.x, nTotal);
}

void CListCtrlEx::ScrollTo(int nTopItem, int nScrollX) {
    const int nOldX = m_nScrollX;
    const int nOldTop = m_nTopItem;
    m_nTopItem = nTopItem;
    m_nScrollX = nScrollX;
    UpdateScrollBars();
    if (m_nTopItem == nOldTop && m_nScrollX == nOldX) {
        return;
    }
    if (m_nEditItem >= 0) {
        EndEditLabel(false);
    }
    if (m_nScrollX != nOldX) {
        m_pHeader->ScrollWindow(nOldX - m_nScrollX, 0);
    }
    m_pBody->Refresh(false);
}

bool CListCtrlEx::EnsureVisible(int nItem) {
    if (nItem < 0 || nItem >= m_rows.GetItemCount()) {
        return false;
    }
    const int nPage = GetCountPerPage();
    int nTop = m_nTopItem;
    if (nItem < nTop) {
        nTop = nItem;
    } else if (nItem >= nTop + nPage) {
        nTop = nItem - nPage + 1;
    }
    ScrollTo(nTop, m_nScrollX);
    return true;
}

void CListCtrlEx::OnSize(wxSizeEvent&) {
    const wxSize size = GetClientSize();
    const int cyHeader = m_pHeader->GetBestSize().y;
    m_pHeader->SetSize(0, 0, size.x, cyHeader);
    m_pBody->SetSize(0, cyHeader, size.x, std::max(size.y - cyHeader, 0));
}

void CListCtrlEx::OnBodySize() {
    m_cxClient = m_pBody->GetClientSize().x;
    UpdateScrollBars();
    m_pBody->Refresh(false);
}

void CListCtrlEx::OnHeaderClick(wxHeaderCtrlEvent& event) {
    Notify(wxEVT_LISTEX_COLUMN_CLICK, -1, event.GetColumn());
}

void CListCtrlEx::OnHeaderResize(wxHeaderCtrlEvent& event) {
    SetColumnWidth(event.GetColumn(), event.GetWidth());
}

bool CListCtrlEx::Notify(wxEventType type, int nItem, int nColumn) {
    CListExEvent event(type, GetId());
    event.SetEventObject(this);
    event.m_nItem = nItem;
    event.m_nColumn = nColumn;
    GetEventHandler()->ProcessEvent(event);
    return event.IsAllowed();
}

void CListCtrlEx::SelectOnly(int nItem) {
    m_rows.SetItemState(-1, 0, LVIS_SELECTED);
    m_rows.SetItemState(nItem, LVIS_SELECTED, LVIS_SELECTED);
    m_pBody->Refresh(false);
}

void CListCtrlEx::SelectRange(int nFrom, int nTo, bool bKeepOthers) {
    if (!bKeepOthers) {
        m_rows.SetItemState(-1, 0, LVIS_SELECTED);
    }
    for (int i = std::min(nFrom, nTo); i <= std::max(nFrom, nTo); ++i) {
        m_rows.SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    }
    m_pBody->Refresh(false);
}

// Moves the focus to nItem as a Windows list does: alone it selects only that
// row, Shift extends from the anchor, Ctrl moves the focus only.
void CListCtrlEx::MoveFocus(int nItem, bool bShift, bool bCtrl) {
    const int nCount = m_rows.GetItemCount();
    if (nCount == 0) {
        return;
    }
    nItem = std::clamp(nItem, 0, nCount - 1);
    const int nOld = m_rows.GetFocusedItem();
    m_rows.SetItemState(nItem, LVIS_FOCUSED, LVIS_FOCUSED);
    RefreshItem(nOld);
    if (bShift) {
        SelectRange(m_nAnchor >= 0 ? m_nAnchor : nItem, nItem, bCtrl);
    } else if (!bCtrl) {
        m_nAnchor = nItem;
        SelectOnly(nItem);
    }
    RefreshItem(nItem);
    EnsureVisible(nItem);
}

void CListCtrlEx::OnBodyKey(wxKeyEvent& event) {
    const int nFocused = m_rows.GetFocusedItem();
    const int nPage = GetCountPerPage();
    int nTarget = -1;
    switch (event.GetKeyCode()) {
        case WXK_UP:
            nTarget = nFocused - 1;
            break;
        case WXK_DOWN:
            nTarget = nFocused + 1;
            break;
        case WXK_PAGEUP:
            // As in Windows: first to the top of the page, then a page further.
            nTarget = nFocused > m_nTopItem ? m_nTopItem : nFocused - nPage + 1;
            break;
        case WXK_PAGEDOWN: {
            const int nBottom = m_nTopItem + nPage - 1;
            nTarget = nFocused < nBottom ? nBottom : nFocused + nPage - 1;
            break;
        }
        case WXK_HOME:
            nTarget = 0;
            break;
        case WXK_END:
            nTarget = m_rows.GetItemCount() - 1;
            break;
        case WXK_F2:
            EditLabel(nFocused);
            return;
        case WXK_SPACE:
            if (event.ControlDown() && nFocused >= 0) {
                const unsigned nState = m_rows.GetItemState(nFocused, LVIS_SELECTED);
                m_rows.SetItemState(nFocused, nState ^ LVIS_SELECTED, LVIS_SELECTED);
                m_nAnchor = nFocused;
                RefreshItem(nFocused);
                return;
            }
            event.Skip();
            return;
        default:
            event.Skip();
            return;
    }
    if (nFocused < 0 && m_rows.GetItemCount() > 0) {
        nTarget = 0;
    }
    MoveFocus(nTarget, event.ShiftDown(), event.ControlDown());
}

void CListCtrlEx::OnBodyMouse(wxMouseEvent& event) {
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_MOUSEWHEEL) {
        const int nLines = event.GetLinesPerAction() > 0 ? event.GetLinesPerAction() : 3;
        const int nDelta = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : 120;
        const int nSteps = -event.GetWheelRotation() * nLines / nDelta;
        if (event.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL) {
            ScrollTo(m_nTopItem, m_nScrollX - nSteps * m_nRowHeight);
        } else {
            ScrollTo(m_nTopItem + nSteps, m_nScrollX);
        }
        return;
    }
    const int nItem = HitTest(event.GetPosition());
    if (type == wxEVT_LEFT_UP) {
        // A second click on the row that already was focused and selected
        // starts a label edit once it proves not to be a double click.
        if (m_nPendingEdit >= 0 && m_nPendingEdit == nItem) {
            const int nMsec = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
            m_editTimer.StartOnce(nMsec > 0 ? nMsec : 500);
        } else {
            m_nPendingEdit = -1;
        }
        event.Skip();
        return;
    }
    if (m_nEditItem >= 0) {
        EndEditLabel(false);
    }
    m_pBody->SetFocus();
    if (type == wxEVT_LEFT_DCLICK) {
        m_editTimer.Stop();
        m_nPendingEdit = -1;
        Notify(wxEVT_LISTEX_DBLCLK, nItem);
        return;
    }
    if (type == wxEVT_RIGHT_DOWN) {
        if (nItem >= 0 && m_rows.GetItemState(nItem, LVIS_SELECTED) == 0) {
            MoveFocus(nItem, false, false);
        }
        Notify(wxEVT_LISTEX_RCLICK, nItem);
        return;
    }
    // Left button down.
    m_nPendingEdit = -1;
    if (nItem < 0) {
        // The empty area below the rows: the selection goes, the focus row stays.
        if (!event.ControlDown() && !event.ShiftDown()) {
            m_rows.SetItemState(-1, 0, LVIS_SELECTED);
            m_pBody->Refresh(false);
        }
    } else if (event.ControlDown() && !event.ShiftDown()) {
        const unsigned nState = m_rows.GetItemState(nItem, LVIS_SELECTED);
        m_rows.SetItemState(nItem, nState ^ LVIS_SELECTED, LVIS_SELECTED);
        m_nAnchor = nItem;
        MoveFocus(nItem, false, true);
    } else if (event.ShiftDown()) {
        MoveFocus(nItem, true, event.ControlDown());
    } else {
        if (nItem == m_rows.GetFocusedItem() && m_rows.GetItemState(nItem, LVIS_SELECTED) &&
            m_rows.GetSelectedCount() == 1) {
            m_nPendingEdit = nItem;
        }
        MoveFocus(nItem, false, false);
    }
    Notify(wxEVT_LISTEX_CLICK, nItem);
}

void CListCtrlEx::OnEditTimer(wxTimerEvent&) {
    const int nItem = m_nPendingEdit;
    m_nPendingEdit = -1;
    if (nItem >= 0 && nItem == m_rows.GetFocusedItem()) {
        EditLabel(nItem);
    }
}

void CListCtrlEx::OnBodyScroll(wxScrollWinEvent& event) {
    const bool bVert = event.GetOrientation() == wxVERTICAL;
    const int nPos = bVert ? m_nTopItem : m_nScrollX;
    const int nLine = bVert ? 1 : m_nRowHeight;
    const int nPage = bVert ? GetCountPerPage() : m_pBody->GetClientSize().x;
    const wxEventType type = event.GetEventType();
    int nNew = nPos;
    if (type == wxEVT_SCROLLWIN_TOP) {
        nNew = 0;
    } else if (type == wxEVT_SCROLLWIN_BOTTOM) {
        nNew = bVert ? m_rows.GetItemCount() : GetTotalWidth();
    } else if (type == wxEVT_SCROLLWIN_LINEUP) {
        nNew = nPos - nLine;
    } else if (type == wxEVT_SCROLLWIN_LINEDOWN) {
        nNew = nPos + nLine;
    } else if (type == wxEVT_SCROLLWIN_PAGEUP) {
        nNew = nPos - nPage;
    } else if (type == wxEVT_SCROLLWIN_PAGEDOWN) {
        nNew = nPos + nPage;
    } else {
        nNew = event.GetPosition();
    }
    if (bVert) {
        ScrollTo(nNew, m_nScrollX);
    } else {
        ScrollTo(m_nTopItem, nNew);
    }
}

void CListCtrlEx::OnBodyFocus(wxFocusEvent& event) {
    event.Skip();
    // The label's edit box taking or giving back the focus changes no row.
    if (m_pEdit != nullptr && (event.GetWindow() == m_pEdit || m_nEditItem >= 0)) {
        return;
    }
    if (m_bFullRowSel) {
        ++m_nFocusRepaints;
        RepaintSelectedItems();
    }
}

bool CListCtrlEx::EditLabel(int nItem) {
    if (nItem < 0 || nItem >= m_rows.GetItemCount()) {
        return false;
    }
    if (m_nEditItem >= 0) {
        EndEditLabel(false);
    }
    EnsureVisible(nItem);
    if (m_pEdit == nullptr) {
        m_pEdit = new wxTextCtrl(m_pBody, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                 wxTE_PROCESS_ENTER);
        m_pEdit->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
            if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
                EndEditLabel(false);
            } else if (event.GetKeyCode() == WXK_ESCAPE) {
                EndEditLabel(true);
            } else {
                event.Skip();
            }
        });
        m_pEdit->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { EndEditLabel(false); });
        // Leaving the edit box ends the edit with its text; after the focus
        // change, not inside it.
        m_pEdit->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
            event.Skip();
            CallAfter([this] {
                if (m_nEditItem >= 0 && wxWindow::FindFocus() != m_pEdit) {
                    EndEditLabel(false);
                }
            });
        });
    }
    m_nEditItem = nItem;
    wxRect rc = GetItemRect(nItem);
    const int cxImages = m_cxStateImageOffset + (m_pSmallImages != nullptr ? kIconSize : 0);
    rc.x += cxImages;
    rc.width = std::max(m_rows.GetColumnWidth(0) - cxImages, 1);
    const int cyEdit = std::max(m_pEdit->GetBestSize().y, rc.height);
    m_pEdit->SetSize(rc.x, rc.y + (rc.height - cyEdit) / 2, rc.width, cyEdit);
    m_pEdit->ChangeValue(TextFromBytes(m_rows.GetItemText(nItem, 0)));
    m_pEdit->SelectAll();
    m_pEdit->Show();
    m_pEdit->SetFocus();
    return true;
}

void CListCtrlEx::EndEditLabel(bool bCancel) {
    const int nItem = m_nEditItem;
    if (nItem < 0) {
        return;
    }
    m_nEditItem = -1;
    const std::string strOld = m_rows.GetItemText(nItem, 0);
    CListExEvent event(wxEVT_LISTEX_END_LABEL_EDIT, GetId());
    event.SetEventObject(this);
    event.m_nItem = nItem;
    event.m_nColumn = 0;
    event.m_bEditCancelled = bCancel;
    if (!bCancel) {
        event.m_strText = m_pEdit->GetValue();
        event.m_strTextBytes = TextToBytes(event.m_strText, !IsValidUtf8(strOld));
    }
    const bool bHadFocus = wxWindow::FindFocus() == m_pEdit;
    m_pEdit->Hide();
    if (bHadFocus) {
        m_pBody->SetFocus();
    }
    GetEventHandler()->ProcessEvent(event);
    if (!bCancel && event.IsAllowed() && nItem < m_rows.GetItemCount()) {
        SetItemText(nItem, 0, event.m_strTextBytes);
    }
}

wxString CListCtrlEx::MakeShortString(wxDC& dc, const wxString& strText, int nColumnWidth,
                                      int nOffset) {
    GetMaxAsciiWidth(dc);
    const std::wstring strWide = strText.ToStdWstring();
    // The widths of all beginnings come from one measurement, so shortening a
    // long text does not measure it once per character it loses.
    wxArrayInt prefixWidths;
    const bool bPrefixes =
        dc.GetPartialTextExtents(strText, prefixWidths) && prefixWidths.size() == strWide.size();
    static const std::wstring s_strDots(L"...\0", 4);
    const CTextMeasure measure = [&](const std::wstring& str) {
        if (str == s_strDots) {
            return m_cxDots;
        }
        if (bPrefixes && !str.empty() && str.size() <= strWide.size() &&
            strWide.compare(0, str.size(), str) == 0) {
            return prefixWidths[str.size() - 1];
        }
        return dc.GetTextExtent(wxString(str)).x;
    };
    return wxString(::MakeShortString(measure, strWide, nColumnWidth, nOffset));
}

void CListCtrlEx::OnBodyPaint() {
    wxAutoBufferedPaintDC dc(m_pBody);
    PaintRows(dc, m_pBody->GetUpdateRegion().GetBox());
}

void CListCtrlEx::PaintRows(wxDC& dc, const wxRect& rcUpdate) {
    dc.SetFont(m_pBody->GetFont());
    dc.SetBackground(wxBrush(m_clrBkgnd));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(m_clrBkgnd));
    dc.DrawRectangle(rcUpdate);
    const bool bHasFocus = BodyHasFocus();
    const int nFirst = m_nTopItem + std::max(rcUpdate.y, 0) / m_nRowHeight;
    const int nLast =
        std::min(m_nTopItem + rcUpdate.GetBottom() / m_nRowHeight, m_rows.GetItemCount() - 1);
    for (int nItem = nFirst; nItem <= nLast; ++nItem) {
        DrawItem(dc, nItem, GetItemRect(nItem), bHasFocus);
    }
    if (m_rows.GetItemCount() == 0 && !m_strEmptyText.empty()) {
        dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
        dc.DrawText(m_strEmptyText, 6, m_nRowHeight / 2);
    }
}

void CListCtrlEx::SetEmptyText(const wxString& strText) {
    if (strText != m_strEmptyText) {
        m_strEmptyText = strText;
        m_pBody->Refresh();
    }
}

int CListCtrlEx::GetMaxAsciiWidth(wxDC& dc) {
    if (!m_fontMeasured.IsOk() || m_fontMeasured != dc.GetFont()) {
        m_fontMeasured = dc.GetFont();
        m_cxMaxAscii = 0;
        for (char ch = ' '; ch <= '~'; ++ch) {
            m_cxMaxAscii = std::max(m_cxMaxAscii, dc.GetTextExtent(wxString(ch)).x);
        }
        m_cxDots = dc.GetTextExtent("... ").x;
    }
    return m_cxMaxAscii;
}

void CListCtrlEx::DrawImages(wxDC& dc, int nItem, const wxRect& rcItem, bool bSelected) {
    const unsigned nState = m_rows.GetItemState(nItem, 0xFFFF);
    const int nStateImage = static_cast<int>((nState & LVIS_STATEIMAGEMASK) >> 12);
    if (nStateImage != 0 && m_pStateImages != nullptr) {
        m_pStateImages->Draw(nStateImage - 1, dc, rcItem.x, rcItem.y, wxIMAGELIST_DRAW_TRANSPARENT);
    }
    if (m_pSmallImages == nullptr || rcItem.width <= 1) {
        return;
    }
    // A cut row's image is faded into the background, a selected row's into
    // the highlight.
    const bool bBlend = (nState & LVIS_CUT) || bSelected;
    const wxColour clrBlend =
        (nState & LVIS_CUT) ? m_clrBkgnd : wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    const int x = rcItem.x + m_cxStateImageOffset;
    const int y = rcItem.y + (rcItem.height - kIconSize) / 2;
    const auto drawImage = [&](int nImage) {
        if (nImage < 0 || nImage >= m_pSmallImages->GetImageCount()) {
            return;
        }
        const wxBitmap bitmap = m_pSmallImages->GetBitmap(nImage);
        dc.DrawBitmap(bBlend ? BlendBitmap(bitmap, clrBlend) : bitmap, x, y, true);
    };
    drawImage(m_rows.GetItemImage(nItem));
    const int nOverlay = static_cast<int>((nState & LVIS_OVERLAYMASK) >> 8);
    if (nOverlay != 0) {
        drawImage(m_overlayImages[nOverlay - 1]);
    }
}

void CListCtrlEx::DrawItem(wxDC& dc, int nItem, const wxRect& rcItem, bool bHasFocus) {
    const unsigned nState = m_rows.GetItemState(nItem, 0xFFFF);
    // The list always shows its selection, with the focus or without.
    const bool bSelected = (nState & (LVIS_SELECTED | LVIS_DROPHILITED)) != 0;

    // The first column holds the state image, the row's image, then the label.
    const int cxIcon = m_pSmallImages != nullptr ? kIconSize : 0;
    const int xLabel = rcItem.x + m_cxStateImageOffset + cxIcon;
    const wxRect rcLabel(xLabel, rcItem.y, rcItem.x + m_rows.GetColumnWidth(0) - xLabel,
                         rcItem.height);
    wxRect rcHighlight =
        m_bFullRowSel ? wxRect(xLabel, rcItem.y, rcItem.GetRight() + 1 - xLabel, rcItem.height)
                      : rcLabel;
    if (m_bFullRowSel && m_bClientWidthSel && rcHighlight.GetRight() + 1 < m_cxClient) {
        rcHighlight.width = m_cxClient - rcHighlight.x;
    }
    const wxColour clrHighlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(bSelected ? clrHighlight : m_clrTextBk));
    dc.DrawRectangle(rcHighlight);
    dc.SetTextForeground(bSelected ? wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT)
                                   : m_clrText);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    if (m_pStateImages != nullptr || m_pSmallImages != nullptr) {
        DrawImages(dc, nItem, rcItem, bSelected);
    }

    // Draws one cell's text inside the column narrowed by the inset. A text that
    // does not fit is shortened, and being read from its beginning it is then
    // left-justified whatever the column's format. A fitting text is measured once.
    const int cyText = dc.GetCharHeight();
    const int cxMaxAscii = GetMaxAsciiWidth(dc);
    const auto drawCell = [&](const wxString& strText, const wxRect& rcColumn, int nOffset,
                              int nInset, int nFormat) {
        const wxRect rc = wxRect(rcColumn).Deflate(nInset, 0);
        const int y = rc.y + (rc.height - cyText) / 2;
        if (nFormat == LVCFMT_LEFT && strText.IsAscii() &&
            static_cast<int>(strText.length()) * cxMaxAscii + nOffset <= rcColumn.width) {
            // Fits even if every character were the widest: no need to measure.
            dc.DrawText(strText, rc.x, y);
            return;
        }
        const int cxText = dc.GetTextExtent(strText).x;
        if (cxText + nOffset > rcColumn.width) {
            dc.DrawText(MakeShortString(dc, strText, rcColumn.width, nOffset), rc.x, y);
        } else if (nFormat == LVCFMT_RIGHT) {
            dc.DrawText(strText, rc.GetRight() + 1 - cxText, y);
        } else if (nFormat == LVCFMT_CENTER) {
            dc.DrawText(strText, rc.x + (rc.width - cxText) / 2, y);
        } else {
            dc.DrawText(strText, rc.x, y);
        }
    };

    const std::string strLabel = m_rows.GetItemText(nItem, 0);
    if (!strLabel.empty()) {
        wxRect rcText = rcLabel;
        rcText.width -= m_cxStateImageOffset;
        drawCell(TextFromBytes(strLabel), rcText, kFirstOffset, kFirstInset, LVCFMT_LEFT);
    }
    int x = rcLabel.GetRight() + 1;
    for (int nCol = 1; nCol < m_rows.GetColumnCount(); ++nCol) {
        const CListColumn* pColumn = m_rows.GetColumn(nCol);
        const wxRect rcColumn(x, rcItem.y, pColumn->nWidth, rcItem.height);
        x += pColumn->nWidth;
        const std::string strText = m_rows.GetItemText(nItem, nCol);
        if (!strText.empty()) {
            drawCell(TextFromBytes(strText), rcColumn, kOtherOffset, kOtherInset, pColumn->nFormat);
        }
    }

    if ((nState & LVIS_FOCUSED) && bHasFocus) {
        dc.SetPen(wxPen(dc.GetTextForeground(), 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(rcHighlight);
    }
}
