// The main window: menu, accelerators, tool bar, status bar with the two
// count panes, and the form view as its client. It opens where it was closed.
#pragma once

#include <wx/frame.h>

class wxToolBar;
class CTavrelDoc;
class CTVLDlg;

class CMainFrame : public wxFrame {
public:
    // Creates the window at the stored placement, its bars and the view.
    explicit CMainFrame(CTavrelDoc* pDoc);

    // Stores the placement and the bars' visibility, then destroys the window.
    bool Destroy() override;

    CTVLDlg* GetView() const { return m_pView; }
    wxToolBar* GetToolBar() const { return m_pToolBar; }

private:
    void CreateMenuBar();
    void CreateBars();
    void OnRoute(wxCommandEvent& event);
    void OnRouteUpdate(wxUpdateUIEvent& event);
    void OnClose(wxCloseEvent& event);
    void TrackNormalRect();

    CTavrelDoc* m_pDoc;
    CTVLDlg* m_pView = nullptr;
    wxToolBar* m_pToolBar = nullptr;
    wxRect m_rcNormal;  // the last rectangle while neither maximised nor minimised
    bool m_bDestroying = false;
};
