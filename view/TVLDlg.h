// The form view: the filter box, the two export boxes and the bookmark list
// over the catalogue. Every bookmark command of the window ends here.
#pragma once

#include <wx/panel.h>

#include <chrono>
#include <memory>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "platform/Shell.h"
#include "view/ListCtrlEx.h"

class wxCheckBox;
class wxComboBox;
class wxMenu;
class wxProgressDialog;
class CStatusDlg;
class CPatternHistory;

class CTVLDlg : public wxPanel, public CTVLDlgBase {
public:
    CTVLDlg(wxWindow* pParent, CPatternHistory* pHistory);
    ~CTVLDlg() override;

    // Child windows, owned by the panel.
    wxComboBox* m_comboFilter = nullptr;
    wxCheckBox* m_checkNetscape = nullptr;
    wxCheckBox* m_checkExplorer = nullptr;
    CListCtrlEx* m_list = nullptr;
    // The filter history; null once the document has stored and dropped it.
    CPatternHistory* m_pHistory = nullptr;
    // A Save that has run this long shows its progress.
    std::chrono::milliseconds m_progressDelay{500};
    bool m_bProgressShown = false;        // since the last Save began
    bool m_bImportProgressShown = false;  // since the last import began
    // The browser's command line for a new window; m_strBrowserExe is its program.
    CExecCommand m_browserCommand;

    // Title, switches, layout, history, columns, the first import, the browser.
    void OnInitialUpdate();
    void InsertColumns();
    void SortRows();
    void FillList();
    void OnFilterEditChange();
    void OnFilterSelChange();
    void OnListClick();
    // Whether a command may be carried out now; the menu, the tool bar and
    // the accelerators all ask this.
    bool IsCommandEnabled(int nId) const;
    void OnRemove();
    // Save from the menu: the base's, with the time its progress counts from.
    void OnSave();
    void OnSelectAll();
    void OnColumnClick(int nColumn);
    // The end of a label edit: false refuses the new name.
    bool OnEndLabelEdit(int nItem, const std::string* pstrText);
    // Opens the focused row's URL: the desktop's way, or in a new window of
    // the browser program.
    void OpenLink(bool bNewWindow);
    void ShowContextMenu();
    // The context menu's items for the current selection.
    void FillContextMenu(wxMenu& menu) const;
    void CopySelectionToClipboard();
    // Asks for a file name and writes the selected rows as a bookmark file.
    void OnCreateHtmlFile();
    // Ask for a store, then, unless that would drop changes the user wants to
    // keep, remember it in the settings and read the stores again.
    void OnOpenNetscapeFile();
    void OnChooseFavorites();
    void UseFavoritesFolder(const std::string& strDir);

    // Hooks of the base.
    void MarkStoreMissing(std::uint32_t nStore) override;
    bool ChooseProfile(const std::vector<std::string>& users, int& nChosen) override;
    void ImportProgress(EImportStep step) override;
    void SaveProgress(std::size_t nDone, std::size_t nTotal) override;
    void ImportCount(std::size_t nRead) override;
    void ShowMessage(const std::string& strText, EMessageKind kind) override;
    std::vector<CBookmark*> GetSelectedRows() const override;
    CExportChoice GetExportChoice() const override;
    void RefillList() override;

private:
    void CreateControls();
    // The list fills the view below its fixed top.
    void ResizeList(int cx, int cy);
    void FindBrowser();
    void SetStatusPane(int nPane, int nValue);
    // Unless that would drop a removal or rename the user wants to keep:
    // takes the chosen store, remembers it under pszEntry of the settings and
    // reads the stores again.
    void UseChosenStore(std::string& strChosen, bool& bChosenWins, const char* pszEntry,
                        const std::string& strPath);

    CStatusDlg* m_pStatusDlg = nullptr;

    std::chrono::steady_clock::time_point m_tSaveStart;
    wxProgressDialog* m_pProgress = nullptr;
    std::chrono::steady_clock::time_point m_tImportStart;
    wxProgressDialog* m_pImportProgress = nullptr;
    wxString m_strImportStatus;
    // Set while the program itself changes the filter box.
    bool m_bSettingFilter = false;
    // Above 0 while a Save or an import runs.
    int m_nBusy = 0;
    // The row order and the filter's text are made once the window is idle.
    void PrepareFilterWhenIdle();
    // False once the view is gone; read on the window's thread only, by the
    // open action's late answers.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};
