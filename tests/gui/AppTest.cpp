// The window on fixture stores: start-up, filter and history, header clicks,
// rename, remove, enable rules, missing stores, settings across starts, the
// profile choice and the single instance.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/combobox.h>
#include <wx/config.h>
#include <wx/dirdlg.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/weakref.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>

#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/TavrelDoc.h"
#include "res/Resource.h"
#include "tests/TestSupport.h"
#include "tests/gui/GuiTest.h"
#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "view/PatternHistory.h"
#include "view/TVLDlg.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Nine Netscape bookmarks; one Favorites shortcut, newer than all of them.
constexpr const char* kNetscapeFile =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"900000000\">News</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"https://news.example/a\" ADD_DATE=\"1000000000\">Alpha</A>\n"
    "        <DT><A HREF=\"https://news.example/b\" ADD_DATE=\"1000000000\">beta</A>\n"
    "        <DT><A HREF=\"https://news.example/c\" ADD_DATE=\"1100000000\">Gamma</A>\n"
    "    </DL><p>\n"
    "    <DT><H3 ADD_DATE=\"900000000\">Webmail</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"https://inbox.example/\" ADD_DATE=\"1200000000\">Inbox</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://mail.example/\" ADD_DATE=\"1300000000\">Post</A>\n"
    "    <DT><A HREF=\"https://d.example/\" ADD_DATE=\"1050000000\">Delta</A>\n"
    "    <DT><A HREF=\"https://e.example/\" ADD_DATE=\"1060000000\">Epsilon</A>\n"
    "    <DT><A HREF=\"https://z.example/\" ADD_DATE=\"1070000000\">Zeta</A>\n"
    "    <DT><A HREF=\"https://eta.example/\" ADD_DATE=\"1080000000\">Eta</A>\n"
    "</DL><p>\n";

// Answers a modal dialog of type T by running a function on it.
template <class T>
class CExpectDialog : public wxExpectModalBase<T, CExpectDialog<T>> {
public:
    explicit CExpectDialog(std::function<int(T&)> answer) : m_answer(std::move(answer)) {}

protected:
    int OnInvoked(T* pDialog) const override { return m_answer(*pDialog); }

private:
    std::function<int(T&)> m_answer;
};

const std::vector<std::string> kStartOrder = {"Wiki", "Post",    "Inbox", "Gamma", "Eta",
                                              "Zeta", "Epsilon", "Delta", "Alpha", "beta"};

class AppTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("HOME", (m_dir / "home").c_str(), 1);
        std::copy(std::begin(kInitialSortKeys), std::end(kInitialSortKeys), g_sortKeys);
        const int defaults[COL_COUNT] = {300, 100, 70, 35, 800};
        for (int i = 0; i < COL_COUNT; ++i) {
            g_columns[i].nWidth = defaults[i];
        }
        m_dir.Write("stores/bookmark.htm", kNetscapeFile);
        m_dir.Write("stores/Favorites/Wiki.url",
                    "[InternetShortcut]\r\nURL=https://wiki.example/\r\n");
        WriteRegistry(true, true, "");
    }
    void TearDown() override {
        Close();
        delete wxConfigBase::Set(nullptr);
        unsetenv("TZ");
        tzset();
    }

    void WriteRegistry(bool bFavorites, bool bNetscape, const std::string& strExtra) {
        std::string str = "Windows Registry Editor Version 5.00\n\n";
        if (bFavorites) {
            str +=
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                "User Shell Folders]\n\"Favorites\"=\"" +
                m_dir / "stores/Favorites" + "\"\n\n";
        }
        if (bNetscape) {
            str +=
                "[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Bookmark List]\n"
                "\"File Location\"=\"" +
                m_dir / "stores/bookmark.htm" + "\"\n\n";
        }
        m_dir.Write("registry.reg", str + strExtra);
        setenv("TAVREL_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
    }

    // Starts as the application does: settings, document, frame, first update.
    // With bSlowImport, the import at start-up counts as long and shows its progress.
    void Start(bool bSlowImport = false) {
        InstallSettings();
        m_pDoc = new CTavrelDoc;
        m_pFrame = new CMainFrame(m_pDoc);
        m_pView = m_pFrame->GetView();
        if (bSlowImport) {
            m_pView->m_progressDelay = std::chrono::milliseconds(0);
        }
        m_pView->OnInitialUpdate();
        m_pFrame->Show();
    }
    // Closes as the user does, and writes the settings file.
    void Close() {
        if (m_pFrame == nullptr) {
            return;
        }
        const wxWeakRef<CMainFrame> pFrame(m_pFrame);
        m_pFrame->Close(true);
        wxConfigBase::Get()->Flush();
        delete m_pDoc;
        m_pDoc = nullptr;
        m_pFrame = nullptr;
        m_pView = nullptr;
        // A closed frame is deleted when the loop next goes idle.
        EXPECT_TRUE(WaitFor([&pFrame] { return pFrame.get() == nullptr; }, 5s));
    }

    const CListRows& Rows() const { return m_pView->m_list->GetRows(); }
    CBookmark* Record(int nRow) const {
        return reinterpret_cast<CBookmark*>(Rows().GetItemData(nRow));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < Rows().GetItemCount(); ++i) {
            names.push_back(Record(i)->m_strName.str());
        }
        return names;
    }
    wxString Pane(int n) const { return m_pFrame->GetStatusBar()->GetStatusText(n); }
    void Select(std::initializer_list<int> rows) {
        m_pView->m_list->SetItemState(-1, 0, LVIS_SELECTED);
        for (int n : rows) {
            m_pView->m_list->SetItemState(n, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    // A command as the menu, the tool bar or an accelerator send it.
    void Command(int nId) {
        wxCommandEvent event(wxEVT_MENU, nId);
        event.SetEventObject(m_pFrame);
        m_pFrame->ProcessWindowEvent(event);
    }
    bool Enabled(int nId) {
        wxUpdateUIEvent event(nId);
        event.SetEventObject(m_pFrame);
        m_pFrame->ProcessWindowEvent(event);
        return event.GetSetEnabled() && event.GetEnabled();
    }
    void TypeFilter(const char* psz) { m_pView->m_comboFilter->SetValue(wxString::FromUTF8(psz)); }
    void ClickList() {
        CListExEvent event(wxEVT_LISTEX_CLICK, IDC_LIST);
        event.SetEventObject(m_pView->m_list);
        m_pView->m_list->GetEventHandler()->ProcessEvent(event);
    }
    std::vector<std::string> History() const {
        std::vector<std::string> texts;
        for (unsigned i = 0; i < m_pView->m_comboFilter->GetCount(); ++i) {
            texts.push_back(m_pView->m_comboFilter->GetString(i).utf8_string());
        }
        return texts;
    }
    void ClickHeader(int nColumn) {
        CListExEvent event(wxEVT_LISTEX_COLUMN_CLICK, IDC_LIST);
        event.m_nColumn = nColumn;
        event.SetEventObject(m_pView->m_list);
        m_pView->m_list->GetEventHandler()->ProcessEvent(event);
    }

    CEnvironmentGuard m_env{{"XDG_CONFIG_HOME", "TAVREL_REGISTRY", "PATH", "HOME"}};
    CTempDir m_dir;
    CTavrelDoc* m_pDoc = nullptr;
    CMainFrame* m_pFrame = nullptr;
    CTVLDlg* m_pView = nullptr;
};

TEST_F(AppTest, StartUpShowsEveryBookmarkNewestFirstWithItsTextsAndCounts) {
    Start();
    EXPECT_EQ(m_pFrame->GetTitle(), "Tavrel");
    EXPECT_EQ(Names(), kStartOrder);
    const int nGamma = 3;
    const char* const texts[] = {"Gamma", "News", "04-11-09", "NS", "https://news.example/c"};
    for (int nCol = 0; nCol < COL_COUNT; ++nCol) {
        EXPECT_EQ(Rows().GetItemText(nGamma, nCol), texts[nCol]) << nCol;
    }
    EXPECT_EQ(Rows().GetItemText(0, COL_BROWSER), "IE");
    EXPECT_EQ(Pane(1), "10");
    EXPECT_EQ(Pane(2), "10");
    EXPECT_EQ(Pane(0), "Ready");
    // First start: no stored settings, so both bars are shown and the
    // columns have their default widths.
    EXPECT_TRUE(m_pFrame->GetStatusBar()->IsShown());
    EXPECT_TRUE(m_pFrame->GetToolBar()->IsShown());
    EXPECT_EQ(Rows().GetColumnWidth(COL_URL), 800);
    EXPECT_TRUE(m_pView->m_checkExplorer->IsShown());
    EXPECT_TRUE(m_pView->m_checkNetscape->IsEnabled());
}

TEST_F(AppTest, TypingFiltersAndClicksBuildTheHistory) {
    Start();
    TypeFilter("mail");
    // Inbox is in the folder Webmail; Post's URL holds "mail".
    EXPECT_EQ(Names(), (std::vector<std::string>{"Post", "Inbox"}));
    EXPECT_EQ(Pane(1), "2");
    EXPECT_EQ(Pane(2), "10");
    TypeFilter("");
    EXPECT_EQ(Pane(1), "10");

    for (const char* psz : {"b", "a"}) {
        TypeFilter(psz);
        ClickList();
    }
    TypeFilter("c");
    ClickList();
    EXPECT_EQ(History(), (std::vector<std::string>{"c", "a", "b"}));
    TypeFilter("a");
    ClickList();
    EXPECT_EQ(History(), (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(m_pView->m_comboFilter->GetSelection(), 0);
    TypeFilter("News");
    ClickList();
    TypeFilter("NEWS");
    ClickList();
    EXPECT_EQ(History().size(), 5u);

    // Choosing an entry filters with it and leaves the history's order.
    m_pView->m_comboFilter->SetSelection(2);
    wxCommandEvent choose(wxEVT_COMBOBOX, IDC_FILTER);
    choose.SetEventObject(m_pView->m_comboFilter);
    m_pView->m_comboFilter->GetEventHandler()->ProcessEvent(choose);
    EXPECT_STREQ(m_pView->m_szFilter, "A");
    EXPECT_EQ(History(), (std::vector<std::string>{"NEWS", "News", "a", "c", "b"}));
}

// What is typed while an import runs waits for its end, when the list is
// filled through the box's text: until then its rows may point to records
// that the import has deleted.
TEST_F(AppTest, TypingWhileAnImportRunsIsAppliedWhenItEnds) {
    Start();
    m_pView->ImportProgress(IMPORT_START);
    TypeFilter("mail");
    EXPECT_EQ(Rows().GetItemCount(), 10);
    m_pView->ImportProgress(IMPORT_READ);
    m_pView->RefillList();
    m_pView->ImportProgress(IMPORT_DONE);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Post", "Inbox"}));
    TypeFilter("");
    EXPECT_EQ(Rows().GetItemCount(), 10);
}

TEST_F(AppTest, HeaderClicksChangeTheKeysAndKeepEachColumnsDirection) {
    Start();
    ClickHeader(COL_NAME);
    EXPECT_EQ(std::vector<int>(g_sortKeys, g_sortKeys + 4), (std::vector<int>{1, 3, 1, 0}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alpha", "beta", "Delta", "Epsilon", "Eta",
                                                 "Gamma", "Inbox", "Post", "Wiki", "Zeta"}));
    ClickHeader(COL_NAME);
    EXPECT_EQ(m_pView->m_sortDir[COL_NAME], -1);
    EXPECT_EQ(Names().front(), "Zeta");
    ClickHeader(COL_URL);
    EXPECT_EQ(std::vector<int>(g_sortKeys, g_sortKeys + 4), (std::vector<int>{5, 1, 3, 1}));
    EXPECT_EQ(m_pView->m_sortDir[COL_NAME], -1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Delta", "Epsilon", "Eta", "Inbox", "Post",
                                                 "Alpha", "beta", "Gamma", "Wiki", "Zeta"}));
    // A new filter keeps the order of the keys.
    TypeFilter("news");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
}

TEST_F(AppTest, RenameIsAcceptedRefusedOrCancelled) {
    Start();
    CBookmark* pPost = Record(1);
    const std::string strNew = "Postbox";
    EXPECT_TRUE(m_pView->OnEndLabelEdit(1, &strNew));
    EXPECT_EQ(pPost->m_strName, "Postbox");
    EXPECT_EQ(pPost->m_strOrigName, "Post");
    const std::string strAgain = "Mailbox";
    EXPECT_TRUE(m_pView->OnEndLabelEdit(1, &strAgain));
    EXPECT_EQ(pPost->m_strOrigName, "Post");  // the name before the first rename
    const std::string strEmpty;
    EXPECT_FALSE(m_pView->OnEndLabelEdit(1, &strEmpty));
    EXPECT_FALSE(m_pView->OnEndLabelEdit(1, nullptr));
    EXPECT_EQ(pPost->m_strName, "Mailbox");

    // Through the list's own edit box: Escape keeps the name, Enter renames,
    // and an unchanged name still counts as renamed.
    CBookmark* pInbox = Record(2);
    ASSERT_TRUE(m_pView->m_list->EditLabel(2));
    m_pView->m_list->EndEditLabel(true);
    EXPECT_TRUE(pInbox->m_strOrigName.empty());
    ASSERT_TRUE(m_pView->m_list->EditLabel(2));
    m_pView->m_list->EndEditLabel(false);
    EXPECT_EQ(pInbox->m_strOrigName, "Inbox");
    EXPECT_EQ(Rows().GetItemText(2, 0), "Inbox");
    // The next fill sorts by the new names.
    TypeFilter("x");
    TypeFilter("");
    EXPECT_EQ(Names()[1], "Mailbox");
}

TEST_F(AppTest, RemoveTakesExactlyTheSelectedRowsAndMarksTheirRecords) {
    Start();
    Select({1, 2, 6});
    Command(ID_BOOKMARKS_REMOVE);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Wiki", "Gamma", "Eta", "Zeta", "Delta", "Alpha", "beta"}));
    int nRemoved = 0;
    for (int i = 0; i < m_pView->m_bookmarks.GetSize(); ++i) {
        const CBookmark* pMark = m_pView->BookmarkAt(i);
        if (pMark->m_nFlags & BMF_REMOVED) {
            ++nRemoved;
            EXPECT_TRUE(pMark->m_strName == "Post" || pMark->m_strName == "Inbox" ||
                        pMark->m_strName == "Epsilon")
                << pMark->m_strName;
        }
    }
    EXPECT_EQ(nRemoved, 3);
    EXPECT_EQ(Pane(1), "10");  // until the next fill
    TypeFilter("");
    EXPECT_EQ(Pane(2), "7");
}

TEST_F(AppTest, CommandsFollowTheirEnableRules) {
    Start();
    struct {
        std::initializer_list<int> rows;
        bool bAny;
        bool bOne;
    } const cases[] = {{{}, false, false}, {{4}, true, true}, {{4, 5}, true, false}};
    for (const auto& c : cases) {
        Select(c.rows);
        EXPECT_EQ(Enabled(ID_BOOKMARKS_REMOVE), c.bAny);
        EXPECT_EQ(Enabled(ID_BOOKMARKS_CREATEHTML), c.bAny);
        EXPECT_EQ(Enabled(ID_EDIT_COPY_URLS), c.bAny);
        EXPECT_EQ(m_pView->IsCommandEnabled(IDOK), c.bOne);
        EXPECT_TRUE(Enabled(ID_EDIT_SELECT_ALL));
        EXPECT_TRUE(Enabled(ID_BOOKMARKS_SAVE));
    }
    Select({});
    Command(ID_BOOKMARKS_REMOVE);  // disabled: nothing happens
    EXPECT_EQ(Rows().GetItemCount(), 10);
    m_pView->m_list->SetItemState(3, LVIS_FOCUSED, LVIS_FOCUSED);
    Command(ID_EDIT_SELECT_ALL);
    EXPECT_EQ(Rows().GetSelectedCount(), 10);
    EXPECT_EQ(Rows().GetFocusedItem(), 3);
}

TEST_F(AppTest, AMissingStoreHidesItsBoxAndDisablesTheOther) {
    WriteRegistry(true, false, "");
    Start();
    EXPECT_FALSE(m_pView->m_checkNetscape->IsShown());
    EXPECT_TRUE(m_pView->m_checkExplorer->IsShown());
    EXPECT_FALSE(m_pView->m_checkExplorer->IsEnabled());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Wiki"}));
    Close();

    WriteRegistry(false, false, "");
    Start();
    EXPECT_FALSE(m_pView->m_checkNetscape->IsShown());
    EXPECT_FALSE(m_pView->m_checkExplorer->IsShown());
    EXPECT_EQ(Rows().GetItemCount(), 0);
    EXPECT_EQ(m_pView->m_nMissing, STORE_FAVORITES | STORE_NETSCAPE);
}

// Typed text finds names in either encoding and letter case, and Netscape
// names show their character references decoded.
TEST_F(AppTest, TheFilterFindsAccentedNamesInEitherEncodingAndCase) {
    m_dir.Write("stores/Favorites/Stadt Z\xFCrich.url",
                "[InternetShortcut]\r\nURL=https://zurich.example/\r\n");
    m_dir.Write("stores/Favorites/Z\xC3\x9CRICH Tram.url",
                "[InternetShortcut]\r\nURL=https://tram.example/\r\n");
    std::string strFile = kNetscapeFile;
    strFile.insert(strFile.rfind("</DL>"),
                   "<DT><A HREF=\"https://cafe.example/\">Caf&#233; &amp; Bar</A>\n");
    m_dir.Write("stores/bookmark.htm", strFile);
    Start();
    TypeFilter("z\xC3\xBC");
    std::vector<std::string> names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Stadt Z\xFCrich", "Z\xC3\x9CRICH Tram"}));
    TypeFilter("Z\xC3\x9C");
    EXPECT_EQ(Rows().GetItemCount(), 2);
    TypeFilter("CAF\xC3\x89 &");
    ASSERT_EQ(Rows().GetItemCount(), 1);
    EXPECT_EQ(Rows().GetItemText(0, COL_NAME), "Caf\xC3\xA9 & Bar");
}

// Without a store the list says where to find one; what the user picks is
// read at once and again at the next start.
TEST_F(AppTest, NoStoreFoundLetsTheUserChooseThemAndRemembersTheChoice) {
    WriteRegistry(false, false, "");
    Start();
    EXPECT_NE(m_pView->m_list->GetEmptyText().Find("Open Netscape bookmark file"), wxNOT_FOUND);
    wxTEST_DIALOG(Command(ID_BOOKMARKS_OPEN_NETSCAPE),
                  wxExpectModal<wxFileDialog>(m_dir / "stores/bookmark.htm"));
    EXPECT_EQ(Rows().GetItemCount(), 9);
    EXPECT_TRUE(m_pView->m_list->GetEmptyText().empty());
    EXPECT_TRUE(m_pView->m_checkNetscape->IsShown());
    EXPECT_FALSE(m_pView->m_checkExplorer->IsShown());
    // GTK's folder dialog gives no path that a test has set: the choice
    // itself is made directly, and the command is seen to ask.
    wxTEST_DIALOG(Command(ID_BOOKMARKS_CHOOSE_FAVORITES),
                  wxExpectDismissableModal<wxDirDialog>(wxID_CANCEL));
    EXPECT_EQ(Rows().GetItemCount(), 9);
    m_pView->UseFavoritesFolder(m_dir / "stores/Favorites");
    EXPECT_EQ(Rows().GetItemCount(), 10);
    EXPECT_TRUE(m_pView->m_checkExplorer->IsShown());
    EXPECT_EQ(m_pView->m_nMissing, 0u);
    // A pending removal is not dropped without asking; kept, it keeps the
    // stores as they were chosen, now and at the next start.
    Select({0});
    Command(ID_BOOKMARKS_REMOVE);
    m_dir.Write("stores/other.htm", ReadFileBytes(m_dir / "stores/bookmark.htm"));
    wxTEST_DIALOG(Command(ID_BOOKMARKS_OPEN_NETSCAPE),
                  wxExpectModal<wxFileDialog>(m_dir / "stores/other.htm"),
                  CExpectDialog<wxMessageDialog>([](wxMessageDialog&) { return wxID_NO; }));
    EXPECT_EQ(Rows().GetItemCount(), 9);
    EXPECT_EQ(m_pView->m_strChosenNSFile, m_dir / "stores/bookmark.htm");
    Close();

    Start();
    EXPECT_EQ(Rows().GetItemCount(), 10);
    EXPECT_EQ(GetSettingString("Settings", "NetscapeFile"), m_dir / "stores/bookmark.htm");
    EXPECT_EQ(GetSettingString("Settings", "FavoritesFolder"), m_dir / "stores/Favorites");
    Close();

    // A remembered store that has vanished counts as missing.
    std::filesystem::remove(m_dir / "stores/bookmark.htm");
    Start();
    EXPECT_EQ(m_pView->m_nMissing, STORE_NETSCAPE);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Wiki"}));
}

TEST_F(AppTest, SettingsAreWrittenAtCloseAndReadAtTheNextStart) {
    Start();
    m_pView->m_list->SetColumnWidth(COL_NAME, 250);
    m_pView->m_list->SetColumnWidth(COL_URL, 0x1F4);
    for (const char* psz : {"wiki", "caf\xC3\xA9", "a,b"}) {
        TypeFilter(psz);
        ClickList();
    }
    Command(ID_VIEW_TOOLBAR);
    Command(ID_VIEW_STATUS_BAR);
    m_pFrame->SetSize(40, 50, 700, 420);
    const wxRect rcBefore = m_pFrame->GetRect();
    Close();

    EXPECT_EQ(GetSettingString("Settings", "ColumnWidth"), "250,100,70,35,500");
    EXPECT_EQ(GetSettingString("Patterns", "0"), "0,a,b");
    EXPECT_EQ(GetSettingInt("Settings", "ToolBar", -1), 0);
    EXPECT_EQ(GetSettingInt("Settings", "StatusBar", -1), 0);
    CWindowPlacement wp;
    ASSERT_TRUE(LoadWindowPlacement(wp));
    EXPECT_EQ(wp.nRight - wp.nLeft, rcBefore.width);

    Start();
    EXPECT_EQ(Rows().GetColumnWidth(COL_NAME), 250);
    EXPECT_EQ(Rows().GetColumnWidth(COL_URL), 500);
    EXPECT_EQ(History(), (std::vector<std::string>{"a,b", "caf\xC3\xA9", "wiki"}));
    // The most recent pattern filters the first fill.
    EXPECT_EQ(m_pView->m_comboFilter->GetValue(), "a,b");
    EXPECT_EQ(Rows().GetItemCount(), 0);
    EXPECT_FALSE(m_pFrame->GetToolBar()->IsShown());
    EXPECT_FALSE(m_pFrame->GetStatusBar()->IsShown());
    EXPECT_EQ(m_pFrame->GetSize(), rcBefore.GetSize());
}

TEST_F(AppTest, BadSettingsFallBackToDefaults) {
    m_dir.Write("config/tavrel/settings.conf",
                "[Settings]\nWindowPos=0,1,-1,-1,-1,-1,10,20,500\nColumnWidth=junk\n"
                "ToolBar=yes\n[Patterns]\n0=no number\n1=7\n2=\n3=lost\n\x01\xFF[broken\n");
    Start();
    EXPECT_EQ(m_pFrame->GetSize(), wxSize(900, 600));  // the nine-field placement is ignored
    EXPECT_EQ(Rows().GetColumnWidth(COL_NAME), 300);
    EXPECT_TRUE(m_pFrame->GetToolBar()->IsShown());
    EXPECT_EQ(History(), (std::vector<std::string>{"no number", "7"}));
    EXPECT_EQ(m_pDoc->m_pHistory->GetEntry(1)->m_nValue, 7);
}

TEST_F(AppTest, TheProfileDialogAppearsOnlyForTwoUsableProfiles) {
    const auto profile = [this](const std::string& strUser) {
        m_dir.Write("profiles/" + strUser + "/BOOKMARK.HTM",
                    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                    "<DT><A HREF=\"https://" +
                        strUser + ".example/\">" + strUser + "</A>\n</DL><p>\n");
        return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\" + strUser +
               "]\n\"DirRoot\"=\"" + m_dir / ("profiles/" + strUser) + "\"\n\n";
    };
    WriteRegistry(false, false, profile("solo"));
    Start();  // one profile: taken without a dialog
    EXPECT_EQ(Names(), (std::vector<std::string>{"solo"}));
    Close();

    WriteRegistry(false, false, profile("anna") + profile("ben"));
    wxTEST_DIALOG(Start(), CExpectDialog<CProfileDlg>([](CProfileDlg& dlg) {
                      wxDynamicCast(dlg.FindWindow(IDC_USERS), wxComboBox)->SetSelection(1);
                      return wxID_OK;
                  }));
    EXPECT_EQ(Names(), (std::vector<std::string>{"ben"}));
}

TEST_F(AppTest, ASecondStartRaisesTheFirstAndEnds) {
    CSingleInstance first(m_dir / "config/tavrel");
    ASSERT_TRUE(first.ActivatePreviousInstance());
    bool bActivated = false;
    ASSERT_TRUE(first.Listen([&] { bActivated = true; }));

    const std::string strProgram = TAVREL_GUI;
    char* const argv[] = {const_cast<char*>(strProgram.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, strProgram.c_str(), nullptr, nullptr, argv, environ), 0);
    int nStatus = -1;
    WaitFor(
        [&] {
            int nChild = 0;
            if (nStatus == -1 && waitpid(pid, &nChild, WNOHANG) == pid) {
                nStatus = nChild;
            }
            return nStatus != -1 && bActivated;
        },
        20s);
    if (nStatus == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, &nStatus, 0);
        FAIL() << "the second start did not end";
    }
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    EXPECT_TRUE(bActivated);
}

// Row commands: the links open through a stand-in xdg-open and a stand-in
// browser on PATH that write their arguments, one per line. The user's own
// desktop entries and mimeapps.list are the test's (the system's data
// directories stay: GTK finds its MIME database there).
class CommandsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        setenv("PATH", (m_dir / "bin:" + std::getenv("PATH")).c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        Recorder("bin/xdg-open", 0);
        Recorder("bin/browser", 0);
    }
    // strMore: shell commands run after the arguments are written, their
    // output going to the same file.
    void Recorder(const std::string& strRel, int nStatus, const std::string& strMore = "") {
        const std::string strArgs = m_dir / (strRel + ".args");
        m_dir.Write(strRel, "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; " +
                                strMore + " } > \"" + strArgs + ".tmp\"\n/bin/mv \"" + strArgs +
                                ".tmp\" \"" + strArgs + "\"\nexit " + std::to_string(nStatus) +
                                "\n");
        chmod((m_dir / strRel).c_str(), 0755);
        std::filesystem::remove(strArgs);
    }
    // What the program got, once it has run; empty when it did not.
    std::string Args(const std::string& strRel, bool bWait = true) const {
        const std::string strPath = m_dir / (strRel + ".args");
        if (bWait) {
            WaitFor([&strPath] { return std::filesystem::exists(strPath); }, 3s);
        }
        return std::filesystem::exists(strPath) ? ReadFileBytes(strPath) : std::string();
    }
    // Runs the command and returns the text of the message box it showed,
    // which may come once the open action has ended.
    std::string CommandWithMessage(int nId) {
        std::string strMessage;
        const auto run = [&] {
            Command(nId);
            EXPECT_TRUE(WaitFor([&] { return !strMessage.empty(); }, 10s));
        };
        wxTEST_DIALOG(run(), CExpectDialog<wxMessageDialog>([&](wxMessageDialog& dlg) {
                          strMessage = dlg.GetMessage().utf8_string();
                          EXPECT_EQ(dlg.GetTitle(), "Tavrel");
                          return wxID_OK;
                      }));
        return strMessage;
    }

    CEnvironmentGuard m_dataHome{{"XDG_DATA_HOME"}};
};

TEST_F(CommandsTest, OpeningTakesTheFocusedRowAndReportsTheOpenersFailure) {
    Start();
    TypeFilter("nothing matches this");
    CListExEvent dblclk(wxEVT_LISTEX_DBLCLK, IDC_LIST);
    m_pView->m_list->GetEventHandler()->ProcessEvent(dblclk);
    EXPECT_EQ(Args("bin/xdg-open", false), "");

    TypeFilter("");
    Select({0, 1});
    m_pView->m_list->SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    Command(ID_OPEN);
    EXPECT_EQ(Args("bin/xdg-open"), "https://inbox.example/\n");

    // Enter opens the focused row only while exactly one row is selected.
    Recorder("bin/xdg-open", 0);
    wxKeyEvent enter(wxEVT_CHAR_HOOK);
    enter.m_keyCode = WXK_RETURN;
    m_pView->GetEventHandler()->ProcessEvent(enter);
    EXPECT_EQ(Args("bin/xdg-open", false), "");
    Select({2});
    m_pView->GetEventHandler()->ProcessEvent(enter);
    EXPECT_EQ(Args("bin/xdg-open"), "https://inbox.example/\n");

    Recorder("bin/xdg-open", 3);
    EXPECT_EQ(CommandWithMessage(ID_OPEN),
              "The link 'https://inbox.example/' cannot be shown, error code = 31. There is no "
              "application associated with the given filename extension.");
}

TEST_F(CommandsTest, ANewWindowGetsTheUrlUnchangedButNeverAsAnOption) {
    Start();
    m_pView->m_strBrowserExe = m_dir / "bin/browser";
    m_pView->m_browserCommand.argv = {"browser"};
    m_pView->m_list->SetItemState(3, LVIS_FOCUSED, LVIS_FOCUSED);
    Record(3)->m_strURL = "https://x.example/a b?q=\"1\"&r='$(id)'";
    Command(ID_OPEN_NEW_WINDOW);
    EXPECT_EQ(Args("bin/browser"), "https://x.example/a b?q=\"1\"&r='$(id)'\n");
    EXPECT_EQ(Args("bin/xdg-open", false), "");

    // A URL starting with "-" goes to the opener, which refuses it.
    Recorder("bin/browser", 0);
    Record(3)->m_strURL = "--kiosk";
    Recorder("bin/xdg-open", 1);
    EXPECT_EQ(CommandWithMessage(ID_OPEN_NEW_WINDOW),
              "The link '--kiosk' cannot be shown, error code = 2. The specified file was not "
              "found.");
    EXPECT_EQ(Args("bin/browser", false), "");

    // Without a browser program, a new window is the open action.
    m_pView->m_strBrowserExe.clear();
    Recorder("bin/xdg-open", 0);
    Record(3)->m_strURL = "https://y.example/";
    Command(ID_OPEN_NEW_WINDOW);
    EXPECT_EQ(Args("bin/xdg-open"), "https://y.example/\n");
}

TEST_F(CommandsTest, TheWindowGoesOnWhileTheOpenerRunsAndItsFailureComesWhenItEnds) {
    Start();
    Recorder("bin/xdg-open", 4, "sleep 5;");
    m_pView->m_list->SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    std::string strMessage;
    const auto run = [&] {
        const auto tStart = std::chrono::steady_clock::now();
        Command(ID_OPEN);
        EXPECT_LT(std::chrono::steady_clock::now() - tStart, 2s);
        Select({});
        Command(ID_EDIT_SELECT_ALL);
        EXPECT_EQ(Rows().GetSelectedCount(), 10);
        EXPECT_EQ(strMessage, "");
        EXPECT_TRUE(WaitFor([&] { return !strMessage.empty(); }, 10s));
    };
    wxTEST_DIALOG(run(), CExpectDialog<wxMessageDialog>([&](wxMessageDialog& dlg) {
                      strMessage = dlg.GetMessage().utf8_string();
                      return wxID_OK;
                  }));
    EXPECT_EQ(strMessage,
              "The link 'https://inbox.example/' cannot be shown, error code = 1. Without "
              "explanation.");
    EXPECT_EQ(Args("bin/xdg-open"), "https://inbox.example/\n");
}

TEST_F(CommandsTest, ANewWindowRunsTheDefaultBrowsersExecLineWithItsEnvironment) {
    Recorder("bin/envbrowser", 0, "printf 'VAR=%s\\n' \"$TAVREL_VAR\";");
    m_dir.Write("data/applications/web.desktop",
                "[Desktop Entry]\nName=Web\nExec=env TAVREL_VAR=\"x y\" envbrowser --new %u\n");
    m_dir.Write("config/mimeapps.list", "[Default Applications]\ntext/html=web.desktop\n");
    Start();
    EXPECT_EQ(m_pView->m_strBrowserExe, m_dir / "bin/envbrowser");
    m_pView->m_list->SetItemState(3, LVIS_FOCUSED, LVIS_FOCUSED);
    Record(3)->m_strURL = "https://x.example/a b?q=\"1\"&r='$(id)'%u";
    Command(ID_OPEN_NEW_WINDOW);
    EXPECT_EQ(Args("bin/envbrowser"),
              "--new\nhttps://x.example/a b?q=\"1\"&r='$(id)'%u\nVAR=x y\n");
    EXPECT_EQ(Args("bin/xdg-open", false), "");
}

TEST_F(CommandsTest, TheContextMenuHasFiveOrEightItems) {
    Start();
    for (const auto& [rows, labels] :
         {std::pair{std::vector<int>{}, std::vector<std::string>{"Remove bookmarks", "Save changes",
                                                                 "Create new HTML file", "",
                                                                 "Copy the selected entries to the "
                                                                 "clipboard"}},
          {std::vector<int>{4},
           {"Open", "Open in New Window", "", "Remove bookmarks", "Save changes",
            "Create new HTML file", "", "Copy the selected entries to the clipboard"}},
          {std::vector<int>{4, 5},
           {"Remove bookmarks", "Save changes", "Create new HTML file", "",
            "Copy the selected entries to the clipboard"}}}) {
        m_pView->m_list->SetItemState(-1, 0, LVIS_SELECTED);
        for (int n : rows) {
            m_pView->m_list->SetItemState(n, LVIS_SELECTED, LVIS_SELECTED);
        }
        wxMenu menu;
        m_pView->FillContextMenu(menu);
        std::vector<std::string> items;
        for (const wxMenuItem* pItem : menu.GetMenuItems()) {
            items.push_back(pItem->IsSeparator() ? "" : pItem->GetItemLabelText().utf8_string());
        }
        EXPECT_EQ(items, labels);
    }
}

TEST_F(CommandsTest, CopyPutsTheSelectedUrlsOnTheClipboard) {
    Start();
    Record(4)->m_strURL.clear();
    Select({1, 4, 6});
    Command(ID_EDIT_COPY_URLS);
    // Both the clipboard and the primary selection, which a middle click pastes.
    for (bool bPrimary : {false, true}) {
        wxTextDataObject data;
        {
            wxClipboardLocker locker;
            ASSERT_FALSE(!locker);
            wxTheClipboard->UsePrimarySelection(bPrimary);
            const bool bGot = wxTheClipboard->GetData(data);
            wxTheClipboard->UsePrimarySelection(false);
            ASSERT_TRUE(bGot) << bPrimary;
        }
        EXPECT_EQ(data.GetText(), "https://mail.example/\r\n\r\nhttps://e.example/\r\n")
            << bPrimary;
    }
}

TEST_F(CommandsTest, SaveFromTheMenuWritesTheStoresAndShowsThemAgain) {
    Start();
    m_pView->m_checkNetscape->SetValue(true);
    Select({0, 1});
    const std::string strMessage = CommandWithMessage(ID_BOOKMARKS_SAVE);
    EXPECT_EQ(strMessage.rfind("Backup copy of your Netscape bookmark file was created: \"", 0),
              0u);
    const std::string strFile = ReadFileBytes(m_dir / "stores/bookmark.htm");
    // The Favorites-only bookmark was exported to the Netscape file.
    EXPECT_NE(strFile.find("https://wiki.example/"), std::string::npos);
    EXPECT_EQ(Rows().GetItemText(0, COL_BROWSER), "**");
    EXPECT_EQ(Rows().GetItemCount(), 10);
    EXPECT_FALSE(m_pView->m_bProgressShown);
}

// At start-up no event loop runs yet, so the import's progress dialog runs
// one of its own, which must still be the active one when the dialog goes.
TEST_F(CommandsTest, ALongImportAtStartUpShowsItsProgressAndEndsCleanly) {
    wxEventLoopBase* const pLoop = wxEventLoopBase::GetActive();
    wxEventLoopBase::SetActive(nullptr);
    Start(true);
    wxEventLoopBase::SetActive(pLoop);
    EXPECT_TRUE(m_pView->m_bImportProgressShown);
    wxTheApp->ProcessIdle();
    EXPECT_FALSE(m_pFrame->IsFrozen());
    EXPECT_EQ(Rows().GetItemCount(), 10);
}

// A long Save shows how far its export is, and a long import how many
// bookmarks it has read; here every one counts as long.
TEST_F(CommandsTest, ALongSaveAndImportShowTheirProgress) {
    Start();
    m_pView->m_progressDelay = std::chrono::milliseconds(0);
    m_pView->m_checkExplorer->SetValue(true);
    CommandWithMessage(ID_BOOKMARKS_SAVE);
    EXPECT_TRUE(m_pView->m_bProgressShown);
    // The import after it too, with the window drawn again when it is done.
    EXPECT_TRUE(m_pView->m_bImportProgressShown);
    EXPECT_FALSE(m_pFrame->IsFrozen());
    EXPECT_TRUE(std::filesystem::exists(m_dir / "stores/Favorites/Netscape Bookmarks"));
    EXPECT_EQ(Rows().GetItemCount(), 10);
}

TEST_F(CommandsTest, TheHtmlFileIsGroupedWhenSortedByFolderAndNotWrittenWhenCancelled) {
    Start();
    const std::string strPath = m_dir / "export.htm";
    Select({2, 3});
    wxTEST_DIALOG(Command(ID_BOOKMARKS_CREATEHTML), wxExpectModal<wxFileDialog>(strPath));
    EXPECT_EQ(ReadFileBytes(strPath),
              "<!DOCTYPE Bookmark-file>\r\n<HTML>\r\n<BODY>\r\n<TITLE>Bookmarks</TITLE>\r\n"
              "<H1>Bookmarks</H1>\r\n<DL><p>\r\n"
              "  <DT><A HREF=\"https://inbox.example/\">Inbox</A>\r\n"
              "  <DT><A HREF=\"https://news.example/c\">Gamma</A>\r\n"
              "</DL>\r\n</BODY>\r\n</HTML>\r\n");

    ClickHeader(COL_FOLDER);
    m_pView->m_list->SetItemState(-1, 0, LVIS_SELECTED);
    for (int i = 0; i < Rows().GetItemCount(); ++i) {
        if (Rows().GetItemText(i, COL_FOLDER) == "News") {
            m_pView->m_list->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    wxTEST_DIALOG(Command(ID_BOOKMARKS_CREATEHTML), wxExpectModal<wxFileDialog>(strPath));
    EXPECT_NE(ReadFileBytes(strPath).find("<DL><p>\r\n  <DT><H3>News</H3>\r\n    <DL><p>\r\n"
                                          "  <DT><A HREF=\"https://news.example/c\">Gamma</A>\r\n"),
              std::string::npos);

    // A folder that is not there (or cannot be written to).
    std::string strMessage;
    wxTEST_DIALOG(Command(ID_BOOKMARKS_CREATEHTML),
                  wxExpectModal<wxFileDialog>(m_dir / "missing/x.htm"),
                  CExpectDialog<wxMessageDialog>([&](wxMessageDialog& dlg) {
                      strMessage = dlg.GetMessage().utf8_string();
                      return wxID_OK;
                  }));
    EXPECT_EQ(strMessage, "Cannot open the file \"" + m_dir / "missing/x.htm" + "\"");

    std::filesystem::remove(strPath);
    wxTEST_DIALOG(Command(ID_BOOKMARKS_CREATEHTML),
                  wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));
    EXPECT_FALSE(std::filesystem::exists(strPath));
}

}  // namespace
