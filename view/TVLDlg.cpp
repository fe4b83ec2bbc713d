#include "view/TVLDlg.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/combobox.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "discovery/CommandLine.h"
#include "platform/Desktop.h"
#include "platform/Path.h"
#include "platform/Shell.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "ui/DialogTemplate.h"
#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "ui/WxText.h"
#include "view/PatternHistory.h"
#include "writeback/Messages.h"

namespace {

// The columns' titles, in column order.
constexpr int kColumnTitles[COL_COUNT] = {IDS_COLUMN_NAME, IDS_COLUMN_FOLDER, IDS_COLUMN_DATE,
                                          IDS_COLUMN_BROWSER, IDS_COLUMN_URL};

CBookmark* RecordOf(std::intptr_t lParam) {
    return reinterpret_cast<CBookmark*>(lParam);
}

// When a command may be carried out.
enum ECommandRule { CMD_ALWAYS, CMD_ANY_SELECTED, CMD_ONE_SELECTED };

struct CCommand {
    int nId;
    void (*pfnRun)(CTVLDlg& view);
    ECommandRule rule;
};

// Every command of the form view, however it comes: menu, tool bar,
// accelerator, context menu or Enter.
const CCommand kCommands[] = {
    {IDOK, [](CTVLDlg& view) { view.OpenLink(false); }, CMD_ONE_SELECTED},
    {ID_OPEN, [](CTVLDlg& view) { view.OpenLink(false); }, CMD_ALWAYS},
    {ID_OPEN_NEW_WINDOW, [](CTVLDlg& view) { view.OpenLink(true); }, CMD_ALWAYS},
    {ID_BOOKMARKS_OPEN_NETSCAPE, [](CTVLDlg& view) { view.OnOpenNetscapeFile(); }, CMD_ALWAYS},
    {ID_BOOKMARKS_CHOOSE_FAVORITES, [](CTVLDlg& view) { view.OnChooseFavorites(); }, CMD_ALWAYS},
    {ID_BOOKMARKS_REMOVE, [](CTVLDlg& view) { view.OnRemove(); }, CMD_ANY_SELECTED},
    {ID_BOOKMARKS_SAVE, [](CTVLDlg& view) { view.OnSave(); }, CMD_ALWAYS},
    {ID_BOOKMARKS_CREATEHTML, [](CTVLDlg& view) { view.OnCreateHtmlFile(); }, CMD_ANY_SELECTED},
    {ID_EDIT_COPY_URLS, [](CTVLDlg& view) { view.CopySelectionToClipboard(); }, CMD_ANY_SELECTED},
    {ID_EDIT_SELECT_ALL, [](CTVLDlg& view) { view.OnSelectAll(); }, CMD_ALWAYS},
};

// The filter box's text as the program's bytes, cut as the filter is.
std::string FilterBytes(const wxString& strText) {
    return std::string(CTVLDlgBase::FilterText(TextToBytes(strText, false)));
}

}  // namespace

CTVLDlg::CTVLDlg(wxWindow* pParent, CPatternHistory* pHistory)
    : wxPanel(pParent, IDD_TAVREL_FORM), m_pHistory(pHistory) {
    CreateControls();
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        const wxSize size = GetClientSize();
        ResizeList(size.x, size.y);
    });
    for (const CCommand& command : kCommands) {
        // A command its rule disables is not carried out, however it came.
        Bind(
            wxEVT_MENU,
            [this, &command](wxCommandEvent&) {
                if (IsCommandEnabled(command.nId)) {
                    command.pfnRun(*this);
                }
            },
            command.nId);
        Bind(
            wxEVT_UPDATE_UI,
            [this](wxUpdateUIEvent& event) { event.Enable(IsCommandEnabled(event.GetId())); },
            command.nId);
    }
    // Enter opens the focused row, as the form's default command; not while
    // a name is being edited, where it ends the edit.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        const int nKey = event.GetKeyCode();
        if ((nKey == WXK_RETURN || nKey == WXK_NUMPAD_ENTER) &&
            m_list->GetEditControl() == nullptr && !event.HasAnyModifiers()) {
            wxCommandEvent command(wxEVT_MENU, IDOK);
            command.SetEventObject(this);
            ProcessWindowEvent(command);
            return;
        }
        event.Skip();
    });
}

CTVLDlg::~CTVLDlg() {
    *m_pAlive = false;
    if (m_pStatusDlg != nullptr) {
        m_pStatusDlg->Destroy();
    }
}

void CTVLDlg::CreateControls() {
    const CDialogTemplate* pTemplate = FindDialogTemplate(IDD_TAVREL_FORM);
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const CDialogItem& item = pTemplate->pItems[i];
        if (item.nId == IDC_LIST) {
            const wxRect rc = DialogUnitsToPixels(this, item.x, item.y, item.cx, item.cy);
            m_list = new CListCtrlEx(this, IDC_LIST, rc.GetPosition(), rc.GetSize());
            continue;
        }
        wxWindow* pWindow = CreateDialogItem(this, item);
        if (item.nId == IDC_FILTER) {
            m_comboFilter = wxDynamicCast(pWindow, wxComboBox);
        } else if (item.nId == IDC_ADD_EXPLORER) {
            m_checkExplorer = wxDynamicCast(pWindow, wxCheckBox);
        } else if (item.nId == IDC_ADD_NETSCAPE) {
            m_checkNetscape = wxDynamicCast(pWindow, wxCheckBox);
        }
    }
    wxASSERT(m_list && m_comboFilter && m_checkExplorer && m_checkNetscape);
    // The toolkit's controls may be larger than the template's: keep the
    // boxes beside each other and the list below them.
    const int xNetscape = m_checkExplorer->GetRect().GetRight() + 8;
    if (m_checkNetscape->GetPosition().x < xNetscape) {
        m_checkNetscape->Move(xNetscape, m_checkNetscape->GetPosition().y);
    }
    int yBelow = m_list->GetPosition().y;
    for (const wxWindow* pWindow :
         {static_cast<wxWindow*>(m_comboFilter), static_cast<wxWindow*>(m_checkExplorer),
          static_cast<wxWindow*>(m_checkNetscape)}) {
        yBelow = std::max(yBelow, pWindow->GetRect().GetBottom() + 3);
    }
    m_list->Move(m_list->GetPosition().x, yBelow);

    m_list->SetTextCallback([](std::intptr_t lParam, int nColumn) {
        return GetColumnText(*RecordOf(lParam), nColumn);
    });
    // While a Save or an import runs, the list's rows may point to records
    // it has deleted; what is typed then is applied when it ends, which
    // fills the list through the box's text.
    m_comboFilter->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        if (!m_bSettingFilter && m_nBusy == 0) {
            OnFilterEditChange();
        }
    });
    m_comboFilter->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) {
        if (!m_bSettingFilter && m_nBusy == 0) {
            OnFilterSelChange();
        }
    });
    m_list->Bind(wxEVT_LISTEX_COLUMN_CLICK, [this](CListExEvent& event) {
        if (m_nBusy == 0) {
            OnColumnClick(event.m_nColumn);
        }
    });
    m_list->Bind(wxEVT_LISTEX_CLICK, [this](CListExEvent&) { OnListClick(); });
    m_list->Bind(wxEVT_LISTEX_DBLCLK, [this](CListExEvent&) { OpenLink(false); });
    m_list->Bind(wxEVT_LISTEX_RCLICK, [this](CListExEvent&) { ShowContextMenu(); });
    m_list->Bind(wxEVT_LISTEX_END_LABEL_EDIT, [this](CListExEvent& event) {
        if (!OnEndLabelEdit(event.m_nItem,
                            event.m_bEditCancelled ? nullptr : &event.m_strTextBytes)) {
            event.Veto();
        }
    });
}

void CTVLDlg::OnInitialUpdate() {
    wxGetTopLevelParent(this)->SetLabel(LoadResString(ID_APP_TITLE));
    std::string strIgnored;
    m_bLog = GetCommandLineOption("log", strIgnored, nullptr);
    GetCommandLineOption("NS", m_strNSOption, nullptr);

    const wxSize size = GetClientSize();
    ResizeList(size.x, size.y);
    m_comboFilter->SetMaxLength(128);
    m_bSettingFilter = true;
    m_pHistory->LoadInto(*m_comboFilter);
    m_bSettingFilter = false;
    m_list->SetFullRowSel(true);

    int widths[COL_COUNT];
    for (int i = 0; i < COL_COUNT; ++i) {
        widths[i] = g_columns[i].nWidth;
    }
    const std::string strWidths = GetSettingString("Settings", "ColumnWidth");
    if (!strWidths.empty()) {
        ScanColumnWidths(strWidths, widths);
    }
    for (int i = 0; i < COL_COUNT; ++i) {
        g_columns[i].nWidth = widths[i];
    }
    InsertColumns();

    m_strChosenNSFile = GetSettingString("Settings", "NetscapeFile");
    m_strChosenFavorites = GetSettingString("Settings", "FavoritesFolder");
    m_nMissing = 0;
    ImportBookmarks();
    FindBrowser();
}

void CTVLDlg::InsertColumns() {
    for (int i = 0; i < COL_COUNT; ++i) {
        m_list->InsertColumn(i, LoadResString(kColumnTitles[i]), g_columns[i].nWidth);
        m_sortDir[i] = g_columns[i].nDir;
    }
    m_szFilter[0] = '\0';
}

void CTVLDlg::ResizeList(int cx, int cy) {
    if (m_list == nullptr) {
        return;
    }
    m_list->SetSize(cx, std::max(cy - m_list->GetPosition().y, 0));
}

void CTVLDlg::FindBrowser() {
    std::string strDir;
    for (const char* pszName : {"TEMPDIR", "TEMP", "TMP", "TMPDIR"}) {
        const char* pszValue = std::getenv(pszName);
        if (pszValue != nullptr && *pszValue != '\0') {
            strDir = pszValue;
            break;
        }
    }
    if (strDir.empty()) {
        strDir = kTempFallbackDir;
    }
    char szStamp[32];
    const std::time_t tNow = std::time(nullptr);
    std::strftime(szStamp, sizeof(szStamp), "%y%m%d%H%M%S.HTM", std::localtime(&tNow));
    const std::string strProbe = strDir + kPathSep + "$tvl$" + szStamp;
    std::FILE* pFile = std::fopen(strProbe.c_str(), "wx");
    if (pFile == nullptr) {
        return;
    }
    std::fclose(pFile);
    std::string strProgram;
    CExecCommand command;
    if (FindAssociatedProgram(strProbe, strProgram, command) > 32) {
        m_strBrowserExe = strProgram;
        m_browserCommand = command;
    }
    std::remove(strProbe.c_str());
}

void CTVLDlg::SortRows() {
    const CListRows& rows = m_list->GetRows();
    std::vector<CBookmark*> records(static_cast<std::size_t>(rows.GetItemCount()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i] = RecordOf(rows.GetItemData(static_cast<int>(i)));
    }
    m_list->Reorder(RowOrder(records));
    PrepareFilterWhenIdle();
}

void CTVLDlg::FillList() {
    wxBusyCursor wait;
    std::vector<CBookmark*> rows;
    const int nTotal = SortedRows(rows);
    std::vector<std::intptr_t> data(rows.size());
    std::transform(rows.begin(), rows.end(), data.begin(),
                   [](CBookmark* pMark) { return reinterpret_cast<std::intptr_t>(pMark); });
    m_list->SetItems(data);
    m_nShown = static_cast<int>(rows.size());
    PrepareFilterWhenIdle();
    SetStatusPane(1, m_nShown);
    SetStatusPane(2, nTotal);
}

void CTVLDlg::PrepareFilterWhenIdle() {
    // Not while a Save or an import runs, whose progress may let this run:
    // the catalogue is being rebuilt then, and its end fills the list anew.
    CallAfter([this] {
        if (m_nBusy == 0) {
            PrepareFilter();
        }
    });
}

void CTVLDlg::SetStatusPane(int nPane, int nValue) {
    wxFrame* pFrame = wxDynamicCast(wxGetTopLevelParent(this), wxFrame);
    if (pFrame != nullptr && pFrame->GetStatusBar() != nullptr) {
        pFrame->GetStatusBar()->SetStatusText(wxString::Format("%d", nValue), nPane);
    }
}

void CTVLDlg::OnFilterEditChange() {
    SetFilter(TextToBytes(m_comboFilter->GetValue(), false));
    FillList();
}

void CTVLDlg::OnFilterSelChange() {
    const int nSel = m_comboFilter->GetSelection();
    const CPatternHistory* pHistory = m_pHistory;
    const CPatternEntry* pEntry =
        nSel >= 0 && pHistory != nullptr ? pHistory->GetEntry(nSel) : nullptr;
    if (pEntry == nullptr) {
        return;
    }
    SetFilter(pEntry->m_strText);
    FillList();
}

void CTVLDlg::OnListClick() {
    if (m_pHistory == nullptr) {
        return;  // the window is closing
    }
    m_bSettingFilter = true;
    m_pHistory->Remember(FilterBytes(m_comboFilter->GetValue()), 0, *m_comboFilter);
    m_bSettingFilter = false;
}

void CTVLDlg::RefillList() {
    m_list->SetEmptyText(
        (m_nMissing & (STORE_FAVORITES | STORE_NETSCAPE)) == (STORE_FAVORITES | STORE_NETSCAPE)
            ? wxString::FromUTF8("No bookmarks were found. Bookmarks menu: Open Netscape bookmark "
                                 "file\xE2\x80\xA6 or Choose Favorites folder\xE2\x80\xA6")
            : wxString());
    OnFilterEditChange();
}

void CTVLDlg::OnColumnClick(int nColumn) {
    if (nColumn < 0 || nColumn >= COL_COUNT) {
        return;
    }
    ClickColumn(nColumn);
    SortRows();
}

bool CTVLDlg::OnEndLabelEdit(int nItem, const std::string* pstrText) {
    CBookmark* pMark = RecordOf(m_list->GetRows().GetItemData(nItem));
    if (pstrText == nullptr || pstrText->empty() || pMark == nullptr) {
        return false;
    }
    RenameBookmark(*pMark, *pstrText);
    return true;
}

bool CTVLDlg::IsCommandEnabled(int nId) const {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [nId](const CCommand& command) { return command.nId == nId; });
    const int nSelected = m_list->GetRows().GetSelectedCount();
    switch (it != std::end(kCommands) ? it->rule : CMD_ALWAYS) {
        case CMD_ANY_SELECTED:
            return nSelected != 0;
        case CMD_ONE_SELECTED:
            return nSelected == 1;
        default:
            return true;
    }
}

void CTVLDlg::OnRemove() {
    const CListRows& rows = m_list->GetRows();
    m_list->BeginUpdate();
    for (int i = rows.GetNextItem(-1, LVNI_SELECTED); i >= 0;
         i = rows.GetNextItem(i - 1, LVNI_SELECTED)) {
        RemoveRow(*RecordOf(rows.GetItemData(i)));
        m_list->DeleteItem(i);
    }
    m_list->EndUpdate();
}

void CTVLDlg::OnSelectAll() {
    m_list->BeginUpdate();
    for (int i = 0; i < m_list->GetRows().GetItemCount(); ++i) {
        m_list->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    }
    m_list->EndUpdate();
}

void CTVLDlg::MarkStoreMissing(std::uint32_t nStore) {
    CTVLDlgBase::MarkStoreMissing(nStore);
    if (nStore & STORE_FAVORITES) {
        m_checkExplorer->Hide();
        m_checkNetscape->Disable();
    }
    if (nStore & STORE_NETSCAPE) {
        m_checkNetscape->Hide();
        m_checkExplorer->Disable();
    }
}

bool CTVLDlg::ChooseProfile(const std::vector<std::string>& users, int& nChosen) {
    CProfileDlg dlg(this, users);
    if (dlg.ShowModal() != wxID_OK) {
        return false;
    }
    nChosen = dlg.GetChosen();
    return true;
}

void CTVLDlg::ImportProgress(EImportStep step) {
    switch (step) {
        case IMPORT_START:
            ++m_nBusy;
            m_tImportStart = std::chrono::steady_clock::now();
            m_bImportProgressShown = false;
            m_pStatusDlg = new CStatusDlg(nullptr);
            m_pStatusDlg->Centre();
            wxBeginBusyCursor();
            break;
        case IMPORT_FAVORITES:
            m_strImportStatus = "Importing MSIE bookmarks";
            m_pStatusDlg->SetStatus(m_strImportStatus);
            break;
        case IMPORT_NETSCAPE:
            m_strImportStatus = "Importing Netscape bookmarks";
            m_pStatusDlg->SetStatus(m_strImportStatus);
            break;
        case IMPORT_READ:
            m_pStatusDlg->Destroy();
            m_pStatusDlg = nullptr;
            break;
        case IMPORT_DONE:
            if (m_pImportProgress != nullptr) {
                // Deleted now, not at the next idle time: at start-up the
                // dialog runs an event loop of its own, which must still be
                // the active one when the dialog goes.
                delete m_pImportProgress;
                m_pImportProgress = nullptr;
                wxGetTopLevelParent(this)->Thaw();
            }
            wxEndBusyCursor();
            --m_nBusy;
            break;
    }
}

void CTVLDlg::OnSave() {
    m_tSaveStart = std::chrono::steady_clock::now();
    m_bProgressShown = false;
    ++m_nBusy;
    SaveChanges();
    --m_nBusy;
    if (m_pProgress != nullptr) {
        delete m_pProgress;
        m_pProgress = nullptr;
    }
}

void CTVLDlg::SaveProgress(std::size_t nDone, std::size_t nTotal) {
    if (m_pProgress == nullptr && nDone < nTotal &&
        std::chrono::steady_clock::now() - m_tSaveStart >= m_progressDelay) {
        m_pProgress = new wxProgressDialog(LoadResString(ID_APP_TITLE), "Saving the bookmarks",
                                           static_cast<int>(nTotal), wxGetTopLevelParent(this),
                                           wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
        m_bProgressShown = true;
    }
    if (m_pProgress != nullptr) {
        m_pProgress->Update(
            static_cast<int>(std::min(nDone, nTotal)),
            wxString::Format("Exported %zu of %zu bookmarks to the Favorites", nDone, nTotal));
    }
}

void CTVLDlg::ImportCount(std::size_t nRead) {
    if (m_pImportProgress == nullptr) {
        if (std::chrono::steady_clock::now() - m_tImportStart < m_progressDelay) {
            return;
        }
        // The progress dialog lets the toolkit run; the window must not draw
        // the list's rows, which may point to records the import deleted.
        wxGetTopLevelParent(this)->Freeze();
        m_pImportProgress =
            new wxProgressDialog(LoadResString(ID_APP_TITLE), m_strImportStatus, 100,
                                 wxGetTopLevelParent(this), wxPD_APP_MODAL | wxPD_ELAPSED_TIME);
        m_bImportProgressShown = true;
    }
    m_pImportProgress->Pulse(wxString::Format("%s: %zu read", m_strImportStatus, nRead));
}

void CTVLDlg::ShowMessage(const std::string& strText, EMessageKind) {
    wxMessageBox(TextFromBytes(strText), LoadResString(ID_APP_TITLE), wxOK | wxICON_EXCLAMATION,
                 this);
}

std::vector<CBookmark*> CTVLDlg::GetSelectedRows() const {
    std::vector<CBookmark*> rows;
    const CListRows& list = m_list->GetRows();
    for (int i = list.GetNextItem(-1, LVNI_SELECTED); i >= 0;
         i = list.GetNextItem(i, LVNI_SELECTED)) {
        rows.push_back(RecordOf(list.GetItemData(i)));
    }
    return rows;
}

CExportChoice CTVLDlg::GetExportChoice() const {
    return {m_checkExplorer->IsChecked(), m_checkNetscape->IsChecked()};
}

void CTVLDlg::OpenLink(bool bNewWindow) {
    const CListRows& rows = m_list->GetRows();
    const int nItem = rows.GetNextItem(-1, LVNI_FOCUSED);
    if (nItem < 0) {
        return;
    }
    const std::string strURL = RecordOf(rows.GetItemData(nItem))->m_strURL.str();
    // A URL that starts with "-" would reach the browser as an option.
    if (bNewWindow && !m_strBrowserExe.empty() && !m_browserCommand.argv.empty() &&
        (strURL.empty() || strURL[0] != '-')) {
        SpawnProgram(m_strBrowserExe, ExecArgv(m_browserCommand, strURL), m_browserCommand.env);
        return;
    }
    // The answer comes on another thread, whenever xdg-open ends; the window
    // may be closed by then.
    ShellOpenAsync(strURL, [this, pAlive = m_pAlive, strURL](int nCode) {
        wxAppConsole* const pApp = wxTheApp;
        if (nCode > 32 || pApp == nullptr) {
            return;
        }
        pApp->CallAfter([this, pAlive, strURL, nCode] {
            if (*pAlive) {
                ShowMessage(OpenFailureMessage(strURL, static_cast<unsigned>(nCode)), MSG_ERROR);
            }
        });
    });
}

void CTVLDlg::FillContextMenu(wxMenu& menu) const {
    const auto append = [&menu](int nId) {
        menu.Append(nId, wxString::FromUTF8(MenuLabel(LoadResString(nId))));
    };
    if (m_list->GetRows().GetSelectedCount() == 1) {
        append(ID_OPEN);
        append(ID_OPEN_NEW_WINDOW);
        menu.AppendSeparator();
    }
    append(ID_BOOKMARKS_REMOVE);
    append(ID_BOOKMARKS_SAVE);
    append(ID_BOOKMARKS_CREATEHTML);
    menu.AppendSeparator();
    append(ID_EDIT_COPY_URLS);
}

void CTVLDlg::ShowContextMenu() {
    const wxPoint pt = ScreenToClient(wxGetMousePosition());
    wxMenu menu;
    FillContextMenu(menu);
    // The menu shows every item enabled; the chosen command meets its rule
    // when it is carried out.
    menu.Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) { event.Enable(true); });
    PopupMenu(&menu, pt);
}

void CTVLDlg::CopySelectionToClipboard() {
    if (m_list->GetRows().GetSelectedCount() == 0) {
        return;
    }
    std::string strText(GetSelectionTextSize() + 1, '\0');
    GetSelectionText(strText.data());
    strText.pop_back();
    if (CopyTextToSystemClipboard(strText, GetHandle())) {
        return;
    }
    wxClipboardLocker locker;
    if (!locker) {
        return;
    }
    const wxString strURLs = TextFromBytes(strText);
    wxTheClipboard->SetData(new wxTextDataObject(strURLs));
    // Where there is a primary selection, a middle click pastes the URLs too.
    wxTheClipboard->UsePrimarySelection(true);
    wxTheClipboard->SetData(new wxTextDataObject(strURLs));
    wxTheClipboard->UsePrimarySelection(false);
}

void CTVLDlg::OnOpenNetscapeFile() {
    wxFileDialog dlg(this, wxFileSelectorPromptStr, wxString(), wxString(),
                     "Bookmark Files (*.htm;*.html)|*.htm;*.html;*.HTM;*.HTML|All Files (*.*)|*.*",
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dlg.ShowModal() == wxID_CANCEL) {
        return;
    }
    // The directory and the name, as GTK's dialog gives them also when its
    // path was set before it was shown.
    const std::string strFile =
        TextToBytes(wxFileName(dlg.GetDirectory(), dlg.GetFilename()).GetFullPath(), false);
    UseChosenStore(m_strChosenNSFile, m_bChosenNSWins, "NetscapeFile", strFile);
}

void CTVLDlg::OnChooseFavorites() {
    wxDirDialog dlg(this, wxDirSelectorPromptStr, wxString(),
                    wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dlg.ShowModal() == wxID_CANCEL) {
        return;
    }
    UseFavoritesFolder(TextToBytes(dlg.GetPath(), false));
}

void CTVLDlg::UseFavoritesFolder(const std::string& strDir) {
    UseChosenStore(m_strChosenFavorites, m_bChosenFavoritesWin, "FavoritesFolder", strDir);
}

void CTVLDlg::UseChosenStore(std::string& strChosen, bool& bChosenWins, const char* pszEntry,
                             const std::string& strPath) {
    if (HasUnsavedChanges() &&
        wxMessageBox("Your changes are not saved. Read the bookmarks again without them?",
                     LoadResString(ID_APP_TITLE), wxYES_NO | wxICON_EXCLAMATION, this) != wxYES) {
        return;
    }
    strChosen = strPath;
    bChosenWins = true;
    WriteSettingString("Settings", pszEntry, strPath);
    // Both boxes as before any store was found missing.
    m_checkExplorer->Show();
    m_checkExplorer->Enable();
    m_checkNetscape->Show();
    m_checkNetscape->Enable();
    m_nMissing = 0;
    ImportBookmarks();
}

void CTVLDlg::OnCreateHtmlFile() {
    wxFileDialog dlg(nullptr, wxFileSelectorPromptStr, wxString(), wxString(),
                     "Bookmark Files (*.htm)|*.htm|All Files (*.*)|*.*",
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dlg.ShowModal() == wxID_CANCEL) {
        return;
    }
    wxString strPath = wxFileName(dlg.GetDirectory(), dlg.GetFilename()).GetFullPath();
    // A name without an extension gets the default one; the dialog asked
    // about replacing the name without it.
    if (wxFileName(strPath).GetExt().empty()) {
        strPath += ".HTM";
        if (wxFileExists(strPath) &&
            wxMessageBox(
                wxString::Format("%s already exists.\nDo you want to replace it?", strPath),
                LoadResString(ID_APP_TITLE), wxYES_NO | wxICON_EXCLAMATION, this) != wxYES) {
            return;
        }
    }
    CreateHtmlFile(TextToBytes(strPath, false));
}
