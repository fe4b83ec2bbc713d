#include "res/Menus.h"

#include <iterator>

#include "res/Resource.h"

namespace {

constexpr CMenuItemRes g_bookmarksMenu[] = {
    {ID_BOOKMARKS_OPEN_NETSCAPE, "&Open Netscape bookmark file\xE2\x80\xA6", false},
    {ID_BOOKMARKS_CHOOSE_FAVORITES, "Choose &Favorites folder\xE2\x80\xA6", false},
    {ID_SEPARATOR, nullptr, false},
    {ID_BOOKMARKS_REMOVE, "&Remove", false},
    {ID_BOOKMARKS_SAVE, "&Save\tCtrl+S", false},
    {ID_BOOKMARKS_CREATEHTML, "Create &HTML\tCtrl+H", false},
    {ID_SEPARATOR, nullptr, false},
    {ID_APP_EXIT, "E&xit", false},
};
constexpr CMenuItemRes g_editMenu[] = {
    {ID_EDIT_COPY_URLS, "&Copy\tCtrl+C", false},
    {ID_SEPARATOR, nullptr, false},
    {ID_EDIT_SELECT_ALL, "Select &All\tCtrl+A", false},
};
constexpr CMenuItemRes g_viewMenu[] = {
    {ID_VIEW_TOOLBAR, "&Toolbar", true},
    {ID_VIEW_STATUS_BAR, "&Status Bar", true},
};
constexpr CMenuItemRes g_helpMenu[] = {
    {ID_HELP, "&Tips", false},
    {ID_SEPARATOR, nullptr, false},
    {ID_APP_ABOUT, "&About Tavrel...", false},
};

}  // namespace

const CPopupRes g_mainMenu[4] = {
    {"&Bookmarks", g_bookmarksMenu, std::size(g_bookmarksMenu)},
    {"&Edit", g_editMenu, std::size(g_editMenu)},
    {"&View", g_viewMenu, std::size(g_viewMenu)},
    {"&Help", g_helpMenu, std::size(g_helpMenu)},
};

const CAccelRes g_accelerators[5] = {
    {ACCEL_CTRL_KEY, 'A', ID_EDIT_SELECT_ALL},
    {ACCEL_CTRL_KEY, 'C', ID_EDIT_COPY_URLS},
    {ACCEL_CTRL_KEY, 'H', ID_BOOKMARKS_CREATEHTML},
    {ACCEL_CTRL_KEY, 'S', ID_BOOKMARKS_SAVE},
    {ACCEL_ALT_KEY, 'X', ID_APP_EXIT},
};

const CToolRes g_toolBar[7] = {
    {ID_BOOKMARKS_CREATEHTML, "wxART_NEW"}, {ID_BOOKMARKS_SAVE, "wxART_FILE_SAVE"},
    {ID_BOOKMARKS_REMOVE, "wxART_DELETE"},  {ID_SEPARATOR, nullptr},
    {ID_EDIT_COPY_URLS, "wxART_COPY"},      {ID_SEPARATOR, nullptr},
    {ID_APP_ABOUT, "wxART_INFORMATION"},
};
