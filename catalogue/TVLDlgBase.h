// The form view's data and its operations that are not about widgets: the
// catalogue, what discovery found, both readers, the merge, the row filter and
// the row order. The window, the command-line tool and the tests derive from it
// and supply the user interface through the virtual hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Bookmark.h"
#include "platform/FileSystem.h"

class CRegistry;

// Bits of m_nMissing, and the store named to MarkStoreMissing.
constexpr std::uint32_t STORE_FAVORITES = 1;
constexpr std::uint32_t STORE_NETSCAPE = 2;

// Name of the Netscape root's directory below the Favorites directory.
constexpr const char* kNetscapeRootName = "Netscape Bookmarks";

// Shortcut files larger than this are not shortcuts and are not read.
constexpr std::uint64_t kMaxShortcutSize = 1 << 20;

// Folders nested deeper than this in either store are read as if at this
// depth (Netscape) or not listed (Favorites), so that a hostile store cannot
// make the work, or the file that Save writes, grow with the square of its size.
constexpr int kMaxFolderDepth = 1000;

// A Netscape file with a longer line, or without an "<H1>" line within its
// first kMaxNetscapeHead bytes, is no bookmark file: it counts as missing
// rather than being read in part and then written back cut.
constexpr std::size_t kMaxNetscapeLine = std::size_t{16} << 20;
constexpr std::size_t kMaxNetscapeHead = std::size_t{1} << 20;

enum EMessageKind { MSG_INFO, MSG_ERROR };

// What a Save exports besides writing back renames and removals: the
// Netscape-only bookmarks into the Favorites, the Favorites-only ones into the
// Netscape file.
struct CExportChoice {
    bool bAddToExplorer = false;
    bool bAddToNetscape = false;
};

// The list's columns, in column order.
enum : int { COL_NAME = 0, COL_FOLDER, COL_DATE, COL_BROWSER, COL_URL, COL_COUNT };

// The titles are the window's strings.
struct CColumnInfo {
    int nWidth;  // pixels; replaced by the stored width at start-up
    int nDir;    // initial sort direction
};
extern CColumnInfo g_columns[COL_COUNT];

// Sort keys of the list, primary first: a column number plus one; a value
// outside 1 to 5 ends the list.
extern int g_sortKeys[4];
constexpr int kInitialSortKeys[4] = {3, 1, 0, 0};

// Steps of the import run, reported to the window for its status text.
enum EImportStep { IMPORT_START, IMPORT_FAVORITES, IMPORT_NETSCAPE, IMPORT_READ, IMPORT_DONE };

// The detection log while a logging discovery runs; null otherwise.
extern std::FILE* g_pLogFile;

class CTVLDlgBase {
public:
    CTVLDlgBase();
    virtual ~CTVLDlgBase();
    CTVLDlgBase(const CTVLDlgBase&) = delete;
    CTVLDlgBase& operator=(const CTVLDlgBase&) = delete;

    CBookmarkArray m_bookmarks;  // owns every record, folders included
    // The names and URLs of the records read, which the records point into;
    // freed with the records at the next import.
    CTextStore m_texts;
    int m_sortDir[COL_COUNT];  // +1 ascending, anything else descending
    // The filter keeps at most this many bytes of its text.
    static constexpr std::size_t kMaxFilter = 63;
    char m_szFilter[kMaxFilter + 1] = {};  // upper case
    // The filter as case-folded characters, for a filter that is not ASCII.
    std::u32string m_strFilterFolded;
    bool m_bMSIE = false;
    bool m_bNetscape = false;
    bool m_bNSRegistry = false;
    std::string m_strNSFile;
    std::string m_strNSProfileFile;
    std::string m_strBrowserExe;
    int m_nShown = 0;
    std::string m_strFavorites;
    std::string m_strNSHeader;
    // A large Netscape file is read in two parts at once, the second from the
    // middle on; m_nNSSplitFrom, when not 0, sets where the second part is
    // looked for. How many parts the last read took.
    std::uint64_t m_nNSSplitFrom = 0;
    int m_nNSParts = 1;
    // Whether the Netscape file had a page heading; without one the whole
    // file is its head.
    bool m_bNSHeading = false;
    // The Netscape file as it was read; none when it was not.
    std::optional<CFileStamp> m_stampNSFile;
    bool m_bLog = false;
    std::string m_strNSOption;
    // Stores the user chose from the menu, remembered in the settings. They
    // are used when the switch and the registry give none that is there, and
    // also over those in the run in which they were chosen.
    std::string m_strChosenNSFile;
    std::string m_strChosenFavorites;
    bool m_bChosenNSWins = false;
    bool m_bChosenFavoritesWin = false;
    std::uint32_t m_nMissing = 0;
    CFileSystem* m_pFileSystem;

    CBookmark* BookmarkAt(int i) const { return static_cast<CBookmark*>(m_bookmarks[i]); }

    // A store was not found or could not be read. The window hides that
    // browser's export box and disables the other; the base records the bit.
    virtual void MarkStoreMissing(std::uint32_t nStore) { m_nMissing |= nStore; }

    // Two or more Communicator profiles are usable: the user picks one of the
    // sorted names. False when the choice is cancelled.
    virtual bool ChooseProfile(const std::vector<std::string>& users, int& nChosen) {
        (void)users;
        nChosen = 0;
        return true;
    }
    virtual void ImportProgress(EImportStep step) { (void)step; }
    // How many records the running import has read: now and then while a
    // store is read, and when each one is done.
    virtual void ImportCount(std::size_t nRead) { (void)nRead; }
    // How far a Save's export into the Favorites is: now and then while it
    // runs, and once more when nDone reaches nTotal.
    virtual void SaveProgress(std::size_t nDone, std::size_t nTotal) {
        (void)nDone;
        (void)nTotal;
    }
    // A message box with the application's title, the exclamation icon and OK.
    virtual void ShowMessage(const std::string& strText, EMessageKind kind) {
        (void)strText;
        (void)kind;
    }
    // The records of the selected rows, in row order.
    virtual std::vector<CBookmark*> GetSelectedRows() const { return {}; }
    // The user's export choice for the next Save.
    virtual CExportChoice GetExportChoice() const { return {}; }
    // The catalogue was rebuilt: fill the list through the current filter.
    virtual void RefillList() {}

    // Rebuilds the catalogue from the stores: discovery, then ReadStores.
    void ImportBookmarks();
    // Whether a removal or a rename waits for Save.
    bool HasUnsavedChanges() const;
    // Both readers and the merge, on the stores that discovery last found.
    void ReadStores();
    // Finds the stores through the registry file of this user.
    virtual void DetectStores();
    void DetectStores(CRegistry& registry);
    void ProbeCommunicator45(CRegistry& registry);
    // After the registry: the chosen bookmark file, then the places where
    // Netscape-format files live on Linux.
    void ProbeOtherNetscapeFiles();
    // ~/.netscape/bookmarks.html, then the bookmark files of Mozilla Suite
    // and SeaMonkey profiles; none without HOME.
    std::vector<std::string> HomeBookmarkFiles();
    // Picks the Communicator profile whose bookmark file is read.
    void RunProfileChoice(CRegistry& registry);

    // Writes renames and removals back into both stores, exports the distinct
    // bookmarks as the export choice says, and imports again. Its failures
    // are shown together in one message.
    void SaveChanges();
    // A failure of the running Save, or a message of its own outside one.
    void ReportError(const std::string& strText);
    // The failures of one Save listed in one text: the first kMaxListed, then
    // how many more there were.
    static constexpr std::size_t kMaxListed = 20;
    static std::string FailureList(const std::vector<std::string>& failures);
    // A rename in the list: the name for both stores; the old one is kept
    // until Save has renamed the file.
    void RenameBookmark(CBookmark& bookmark, const std::string& strName);
    // Deletes and renames shortcut files, and exports Netscape-only bookmarks.
    void SaveFavorites(const std::vector<CBookmark*>& selected);
    enum ESaveResult { SAVE_DONE, SAVE_FAILED, SAVE_CHANGED };
    // Replaces the Netscape file, keeping the old one as a backup. Unless the
    // new file is whole and in place, the old one stays as it was and no
    // backup is left.
    ESaveResult SaveNetscapeFile(const std::vector<CBookmark*>& selected);
    // SAVE_CHANGED, with its message, when the Netscape file at the path is no
    // longer the one that was read; SAVE_FAILED when that cannot be told.
    ESaveResult CheckNetscapeFile(const std::string& strPath);
    // The Favorites-only records that go into the export folder at the end of
    // the Netscape file, ordered as WriteTree needs, after the start folder
    // exportRoot; only the start folder when there are none.
    void BuildExportList(const std::vector<CBookmark*>& selected, const CKeyParts& parts,
                         CBookmark& exportRoot, CBookmarkArray& list);
    // Puts pStart and then the records in the order WriteTree needs: every
    // folder directly before its contents, siblings in the order of their
    // parts and names. Records whose Netscape folder is not among them sit
    // directly in pStart. Linear in the records but for the sorting of siblings.
    static void OrderTree(CBookmark* pStart, const std::vector<CBookmark*>& records,
                          const CKeyParts& parts, CBookmarkArray& list);
    // The whole Netscape file: the head, the tree (ordered, its root first)
    // and the export folder when the export list holds more than its start.
    void WriteNetscapeText(const CBookmarkArray& tree, const CBookmarkArray& exports,
                           CTextFileWriter& file) const;
    // Writes the records of an ordered list from the second one on; the first
    // is the start folder.
    static void WriteTree(const CBookmarkArray& list, CTextFileWriter& file, bool bCloseFirst);
    // The sort parts of folders whose plain parts would collide.
    CKeyParts FindKeyCollisions() const;

    // A file's place below the Favorites directory.
    struct CShortcutPlace {
        std::vector<std::string> dirs;
        std::string strFile;
    };
    // Where a Favorites record's file is: the names its folders and the file
    // have on disk. False when one of them cannot stand as a name.
    static bool FavoritesPlace(const CBookmark& bookmark, CShortcutPlace& place);
    // Where a Netscape bookmark's shortcut file goes: below "Netscape
    // Bookmarks", a directory for each Netscape folder that has a name.
    static bool ExportPlace(const CBookmark& bookmark, CShortcutPlace& place);
    // The path of the place's first nDirs directories, and of its file.
    std::string PlacePath(const CShortcutPlace& place, std::size_t nDirs, bool bWithFile) const;
    // Creates the missing directories of the place. On failure strPath is the
    // path up to the directory where it stopped.
    bool EnsureDirectories(CDirectoryTree& tree, const CShortcutPlace& place, std::string& strPath);
    // The Favorites path that a failed shortcut names: the path itself, or
    // only its drive ("Q:") when no folder on it is there.
    std::string FavoritesPathAsFarAsThere() const;
    // Creates the shortcut file of a Netscape bookmark under a free name; false,
    // with a message, when it could not be made.
    bool WriteShortcut(CDirectoryTree* pTree, const CBookmark& bookmark);
    static std::string ShortcutText(std::string_view strURL);
    // Renames a renamed Favorites bookmark's file, to a free name.
    static void RenameShortcut(CDirectoryTree& tree, const CShortcutPlace& place,
                               const CBookmark& bookmark);
    // Writes the selected rows as a new bookmark file.
    void CreateHtmlFile(const std::string& strPath);
    static void WriteHtmlExport(const std::vector<CBookmark*>& rows, CTextFileWriter& file);
    // The clipboard text: each selected row's URL and CR LF.
    std::size_t GetSelectionTextSize() const;
    // Writes the text and one zero byte.
    void GetSelectionText(char* pBuffer) const;

    // What a walk of the Favorites found: its root and records in catalogue
    // order, or that the root could not be listed. nRead counts the records
    // while the walk runs, for the progress shown by another thread.
    struct CFavoritesRead {
        CBookmarkArray records;
        CTextStore texts;  // the records' names and URLs
        std::atomic<std::size_t> nRead{0};
        bool bMissing = false;
    };
    // Reads only the view's settings and the file system, so that it can run
    // on a thread of its own beside the Netscape reader.
    void WalkFavorites(CFavoritesRead& read) const;
    // A walk on a thread of its own, with the settings it walks by; destroyed,
    // it waits for the walk to end.
    struct CFavoritesWalk {
        CFavoritesRead read;
        bool bMSIE = false;
        std::string strFavorites;
        const CFileSystem* pFileSystem = nullptr;
        std::future<void> done;
        // Whether the walk is of the Favorites that the view's settings name.
        bool Walks(const CTVLDlgBase& view) const {
            return bMSIE == view.m_bMSIE && strFavorites == view.m_strFavorites &&
                   pFileSystem == view.m_pFileSystem;
        }
    };
    std::unique_ptr<CFavoritesWalk> StartFavoritesWalk() const;
    // Puts the walk's records before the catalogue's, and marks a missing store.
    void TakeFavorites(CFavoritesRead& read);
    // Readers: each appends its root and records to the catalogue.
    void ReadFavorites();
    void ReadNetscapeFile();
    // The body of ReadNetscapeFile after the file is open; pRoot is the Netscape
    // root. False when the input is no bookmark file within the limits above;
    // the records read until then are still in the catalogue.
    bool ReadNetscapeStream(CTextFileReader& reader, CBookmark* pRoot);
    // The URL of an Internet-shortcut file; false when the file holds none.
    static bool ReadShortcut(CTextFileReader& reader, std::string& strURL);

    // Joins each Favorites bookmark with the Netscape bookmark for the same link.
    void MergeDuplicates();
    static bool SameURL(std::string_view a, std::string_view b);
    // Names equal without case; a shortcut file's "Name (2)", which Save gives
    // a bookmark whose name was taken, is the Netscape bookmark "Name".
    static bool SameName(std::string_view strFavorites, std::string_view strNetscape);
    // The name without a trailing " (n)", n from 2 on; else the name itself.
    static std::string_view NumberedBase(std::string_view strName);
    // Row order under g_sortKeys and pView->m_sortDir: negative when A goes first.
    static int CompareRows(const CBookmark* pA, const CBookmark* pB, const CTVLDlgBase* pView);

    // Row filter: the text is cut to kMaxFilter bytes and upper-cased. A
    // filter that is not ASCII matches in either encoding and without case
    // for the letters beyond ASCII too.
    void SetFilter(std::string_view strText);
    // The part of a text that the filter keeps; UTF-8 is not cut inside a
    // character.
    static std::string_view FilterText(std::string_view strText);
    bool PassesFilter(const CBookmark& bookmark) const;
    // The rows of the list: the records that are rows and pass the filter, in
    // row order. Returns the number of rows without the filter. The order of
    // all rows is kept between calls, so a new filter only picks from it.
    int SortedRows(std::vector<CBookmark*>& rows);
    // Orders the rows and makes their search text where that is not done
    // yet, so that the next filter need not; for a moment of idle time.
    void PrepareFilter();
    // The catalogue, the sort keys or a name changed: the next SortedRows
    // orders the rows again.
    void InvalidateRowOrder();
    // A removal in the list: the record is no row until Save deletes it.
    void RemoveRow(CBookmark& bookmark);
    // A click on a column header: the primary key's direction flips, any other
    // column becomes the primary key.
    void ClickColumn(int nColumn);
    // Orders rows with CompareRows, keeping rows that compare equal in their order.
    void SortRowPointers(std::vector<CBookmark*>& rows) const;
    // The order that SortRowPointers gives, as indices into rows: first the
    // index of the row that goes first, and so on.
    std::vector<std::size_t> RowOrder(const std::vector<CBookmark*>& rows) const;

    static std::string GetColumnText(const CBookmark& bookmark, int nColumn);
    static std::string FormatDate(CTime t, const char* pszFormat);
    static const char* BrowserText(const CBookmark& bookmark);

private:
    // How many filters' rows are kept.
    static constexpr std::size_t kKnownFilters = 6;
    // Whether every text that the narrower filter matches also matches the
    // wider one (both as held in m_szFilter).
    static bool Narrows(const std::string& strWider, const std::string& strNarrower);
    // m_order of all rows, unless it is valid.
    void MakeOrder();
    // The body of SaveChanges; false when the stores are not read again.
    bool WriteChanges();

    // What a running Save has to say: its failures, then the backup it made.
    struct CSaveReport {
        std::vector<std::string> failures;
        std::string strBackup;
    };
    CSaveReport* m_pSaveReport = nullptr;
    // The Favorites as a Save left them, walked while it wrote the Netscape
    // file, for the import that follows it.
    std::unique_ptr<CFavoritesWalk> m_pSavedWalk;
    // Every record that is a row, in row order, while m_bOrderValid. Rows
    // that compare equal keep their catalogue order, so filtering the sorted
    // rows gives what sorting the filtered rows would.
    std::vector<CBookmark*> m_order;
    // Rows of m_order removed since it was made, and how many.
    std::vector<bool> m_rowGone;
    std::size_t m_nGone = 0;
    bool m_bOrderValid = false;
    bool m_bRowsRemoved = false;  // m_rowGone does not yet know of every removal
    // The filter's texts of m_order's rows, made by PrepareFilter or else by
    // the first filter.
    struct CSearchText;
    std::unique_ptr<CSearchText> m_pSearch;
    // The rows of the last few filters, most recent last, as the ascending
    // indices of their texts in m_pSearch: typing a letter only narrows the
    // rows of the filter before it, and deleting it again finds them here.
    struct CFilterRows {
        std::string strFilter;
        std::vector<std::uint32_t> texts;
    };
    std::vector<CFilterRows> m_filterRows;
};
