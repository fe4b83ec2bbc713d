// The string table: titles, command prompts ("prompt\ntool tip"), pane texts.
#include <algorithm>
#include <iterator>

#include "res/Resource.h"

namespace {

struct CStringEntry {
    int nId;
    const char* pszText;
};

constexpr CStringEntry g_strings[] = {
    {IDS_COLUMN_NAME, "Name"},
    {IDS_COLUMN_URL, "URL"},
    {IDS_COLUMN_DATE, "Date"},
    {IDS_COLUMN_BROWSER, "B"},
    {IDS_COLUMN_FOLDER, "Folder"},
    {ID_BOOKMARKS_OPEN_NETSCAPE,
     "Read the bookmarks of a Netscape bookmark file\nOpen bookmark file"},
    {ID_BOOKMARKS_CHOOSE_FAVORITES, "Read the bookmarks of a Favorites folder\nChoose Favorites"},
    {ID_BOOKMARKS_REMOVE, "Remove bookmarks\nRemove"},
    {ID_BOOKMARKS_SAVE, "Save changes\nSave changes"},
    {ID_BOOKMARKS_CREATEHTML, "Create new HTML file\nCreate new"},
    {ID_INDICATOR_SHOWN, "00000"},
    {ID_INDICATOR_TOTAL, "00000"},
    {ID_EDIT_COPY_URLS, "Copy the selected entries to the clipboard\nCopy to clipboard"},
    {ID_OPEN, "Open"},
    {ID_OPEN_NEW_WINDOW, "Open in New Window"},
    {ID_APP_TITLE, "Tavrel"},
    {ID_IDLE_MESSAGE, "Ready"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_HELP, "Tips & Hints\nTips"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
};

}  // namespace

const char* LoadResString(int nId) {
    const auto it = std::find_if(std::begin(g_strings), std::end(g_strings),
                                 [nId](const CStringEntry& e) { return e.nId == nId; });
    return it != std::end(g_strings) && it->nId == nId ? it->pszText : "";
}
