// The application: one instance per user, the settings, then the document,
// the main window and its view, whose first update runs the import.
#pragma once

#include <wx/app.h>

#include <memory>

class CMainFrame;
class CInstanceChannel;
class CTavrelDoc;

class CTavrelApp : public wxApp {
public:
    CTavrelApp();
    ~CTavrelApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

    void OnAppAbout(wxCommandEvent& event);
    void OnHelpTips(wxCommandEvent& event);

private:
    std::unique_ptr<CInstanceChannel> m_pInstance;
    CTavrelDoc* m_pDoc = nullptr;
    // The running instance was brought forward: this start has done its job.
    bool m_bForwarded = false;
};

wxDECLARE_APP(CTavrelApp);
