#include "app/MainFrame.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include <string>
#include <vector>

#include "app/TavrelDoc.h"
#include "res/Menus.h"
#include "res/Resource.h"
#include "ui/DialogTemplate.h"
#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "view/TVLDlg.h"
#include "writeback/Messages.h"

namespace {

constexpr unsigned SW_SHOWNORMAL = 1;
constexpr unsigned SW_SHOWMINIMIZED = 2;
constexpr unsigned SW_SHOWMAXIMIZED = 3;

// The parts of a command's string: the status-bar prompt and the tool tip.
wxString Prompt(int nId) {
    return wxString::FromUTF8(MenuLabel(LoadResString(nId)));
}

wxString ToolTip(int nId) {
    const std::string str = LoadResString(nId);
    const auto nBreak = str.find('\n');
    return nBreak == std::string::npos ? wxString() : wxString::FromUTF8(str.substr(nBreak + 1));
}

wxPoint StoredPosition(const CWindowPlacement& wp) {
    return wxPoint(wp.nLeft, wp.nTop);
}

wxSize StoredSize(const CWindowPlacement& wp) {
    return wxSize(wp.nRight - wp.nLeft, wp.nBottom - wp.nTop);
}

}  // namespace

CMainFrame::CMainFrame(CTavrelDoc* pDoc) : m_pDoc(pDoc) {
    // Only the normal rectangle is taken; without a stored one the toolkit
    // places the window, at a size that shows the first columns.
    CWindowPlacement wp;
    const bool bStored = LoadWindowPlacement(wp);
    Create(nullptr, wxID_ANY, LoadResString(ID_APP_TITLE),
           bStored ? StoredPosition(wp) : wxDefaultPosition,
           bStored ? StoredSize(wp) : wxSize(900, 600));
    SetIcon(GetAppIcon());
    m_rcNormal = GetRect();

    CreateMenuBar();
    CreateBars();
    m_pView = new CTVLDlg(this, pDoc->m_pHistory);

    // Commands reach the view first, as the form view is their target.
    Bind(wxEVT_MENU, &CMainFrame::OnRoute, this);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnRouteUpdate, this);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, ID_APP_EXIT);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            m_pToolBar->Show(!m_pToolBar->IsShown());
            Layout();
            SendSizeEvent();
        },
        ID_VIEW_TOOLBAR);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            GetStatusBar()->Show(!GetStatusBar()->IsShown());
            SendSizeEvent();
        },
        ID_VIEW_STATUS_BAR);
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Check(m_pToolBar->IsShown()); },
        ID_VIEW_TOOLBAR);
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Check(GetStatusBar()->IsShown()); },
        ID_VIEW_STATUS_BAR);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        TrackNormalRect();
    });
    Bind(wxEVT_MOVE, [this](wxMoveEvent& event) {
        event.Skip();
        TrackNormalRect();
    });
}

void CMainFrame::CreateMenuBar() {
    auto* pMenuBar = new wxMenuBar;
    for (const CPopupRes& popup : g_mainMenu) {
        auto* pMenu = new wxMenu;
        for (std::size_t i = 0; i < popup.nItems; ++i) {
            const CMenuItemRes& item = popup.pItems[i];
            if (item.nId == ID_SEPARATOR) {
                pMenu->AppendSeparator();
            } else {
                pMenu->Append(item.nId, wxString::FromUTF8(item.pszLabel), Prompt(item.nId),
                              item.bCheck ? wxITEM_CHECK : wxITEM_NORMAL);
            }
        }
        pMenuBar->Append(pMenu, popup.pszTitle);
    }
    SetMenuBar(pMenuBar);
    // A menu label that shows its key also makes it work; the others (Exit's
    // Alt+X) go into the window's table.
    std::vector<wxAcceleratorEntry> entries;
    for (const CAccelRes& accel : g_accelerators) {
        const wxMenuItem* pItem = pMenuBar->FindItem(accel.nId);
        if (pItem == nullptr || !pItem->GetItemLabel().Contains("\t")) {
            entries.emplace_back(accel.modifier == ACCEL_ALT_KEY ? wxACCEL_ALT : wxACCEL_CTRL,
                                 accel.chKey, accel.nId);
        }
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
}

void CMainFrame::CreateBars() {
    m_pToolBar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    for (const CToolRes& tool : g_toolBar) {
        if (tool.nId == ID_SEPARATOR) {
            m_pToolBar->AddSeparator();
            continue;
        }
        m_pToolBar->AddTool(tool.nId, wxString(),
                            wxArtProvider::GetBitmap(tool.pszArt, wxART_TOOLBAR, wxSize(16, 16)),
                            ToolTip(tool.nId), wxITEM_NORMAL);
        m_pToolBar->SetToolLongHelp(tool.nId, Prompt(tool.nId));
    }
    m_pToolBar->Realize();

    wxStatusBar* pStatus = CreateStatusBar(3);
    const int cxPane = pStatus->GetTextExtent(LoadResString(ID_INDICATOR_SHOWN)).x + 12;
    const int widths[3] = {-1, cxPane, cxPane};
    pStatus->SetStatusWidths(3, widths);
    pStatus->SetStatusText(LoadResString(ID_IDLE_MESSAGE), 0);
    pStatus->SetStatusText(LoadResString(ID_INDICATOR_SHOWN), 1);
    pStatus->SetStatusText(LoadResString(ID_INDICATOR_TOTAL), 2);

    // Both bars start hidden unless they were shown when the window last closed.
    // Both bars are shown until the user hides them.
    pStatus->Show(GetSettingInt("Settings", "StatusBar", 1) != 0);
    m_pToolBar->Show(GetSettingInt("Settings", "ToolBar", 1) != 0);
    SendSizeEvent();
}

void CMainFrame::TrackNormalRect() {
    if (!IsMaximized() && !IsIconized() && !IsFullScreen()) {
        m_rcNormal = GetRect();
    }
}

void CMainFrame::OnRoute(wxCommandEvent& event) {
    if (m_pView != nullptr && event.GetEventObject() != m_pView &&
        m_pView->ProcessWindowEventLocally(event)) {
        return;
    }
    event.Skip();
}

void CMainFrame::OnRouteUpdate(wxUpdateUIEvent& event) {
    if (m_pView != nullptr && m_pView->ProcessWindowEventLocally(event)) {
        return;
    }
    event.Skip();
}

void CMainFrame::OnClose(wxCloseEvent&) {
    // The document is never modified: closing asks nothing.
    Hide();
    m_pDoc->PreCloseFrame(m_pView);
    Destroy();
}

bool CMainFrame::Destroy() {
    if (!m_bDestroying) {
        m_bDestroying = true;
        CWindowPlacement wp;
        wp.nShowCmd = IsIconized()    ? SW_SHOWMINIMIZED
                      : IsMaximized() ? SW_SHOWMAXIMIZED
                                      : SW_SHOWNORMAL;
        wp.xMin = wp.yMin = wp.xMax = wp.yMax = -1;
        wp.nLeft = m_rcNormal.x;
        wp.nTop = m_rcNormal.y;
        wp.nRight = m_rcNormal.x + m_rcNormal.width;
        wp.nBottom = m_rcNormal.y + m_rcNormal.height;
        SaveWindowPlacement(wp);
        WriteSettingInt("Settings", "StatusBar", GetStatusBar()->IsShown() ? 1 : 0);
        WriteSettingInt("Settings", "ToolBar", m_pToolBar->IsShown() ? 1 : 0);
    }
    return wxFrame::Destroy();
}
