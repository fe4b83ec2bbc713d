// Numbers of the dialogs, controls, commands and strings of the window. They
// are the numbers the settings, the tests and the string table agree on.
#pragma once

// Dialog templates and the frame's menu, accelerators, tool bar and icon.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDD_TAVREL_FORM = 130;
constexpr int IDD_TIPS = 132;
constexpr int IDD_STATUS = 138;
constexpr int IDD_PROFILE = 142;

// Controls. On Windows the toolkit's headers bring windows.h, which defines
// the first two with the same numbers.
#ifndef IDOK
constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
constexpr int IDCANCEL = 2;
#endif
constexpr int IDC_LIST = 1000;
constexpr int IDC_STATUS_TEXT = 1002;
constexpr int IDC_ADD_EXPLORER = 1004;
constexpr int IDC_ADD_NETSCAPE = 1005;
constexpr int IDC_FILTER = 1008;
constexpr int IDC_USERS = 1009;
constexpr int IDC_TIPS_TEXT = 1034;
constexpr int IDC_STATIC = -1;

// Column titles.
constexpr int IDS_COLUMN_NAME = 102;
constexpr int IDS_COLUMN_URL = 103;
constexpr int IDS_COLUMN_DATE = 104;
constexpr int IDS_COLUMN_BROWSER = 105;
constexpr int IDS_COLUMN_FOLDER = 106;

// Commands; each has a string "prompt\ntool tip". They keep the numbers of
// the Windows resources less 0x7000, since wx menu ids stay below 0x7FFF.
constexpr int CommandId(int nWindowsId) {
    return nWindowsId - 0x7000;
}
constexpr int ID_BOOKMARKS_REMOVE = CommandId(32772);
constexpr int ID_BOOKMARKS_SAVE = CommandId(32773);
constexpr int ID_BOOKMARKS_CREATEHTML = CommandId(32778);
constexpr int ID_INDICATOR_SHOWN = CommandId(32779);
constexpr int ID_INDICATOR_TOTAL = CommandId(32780);
constexpr int ID_EDIT_COPY_URLS = CommandId(32783);
constexpr int ID_OPEN = CommandId(32784);
constexpr int ID_OPEN_NEW_WINDOW = CommandId(32785);
constexpr int ID_BOOKMARKS_OPEN_NETSCAPE = CommandId(32790);
constexpr int ID_BOOKMARKS_CHOOSE_FAVORITES = CommandId(32791);
constexpr int ID_EDIT_SELECT_ALL = CommandId(57642);
constexpr int ID_APP_ABOUT = CommandId(57664);
constexpr int ID_APP_EXIT = CommandId(57665);
constexpr int ID_HELP = CommandId(57670);
constexpr int ID_VIEW_TOOLBAR = CommandId(59392);
constexpr int ID_VIEW_STATUS_BAR = CommandId(59393);
// Strings only.
constexpr int ID_APP_TITLE = 57344;     // the application's name
constexpr int ID_IDLE_MESSAGE = 57345;  // "Ready"

// The string of a resource number; empty when there is none.
const char* LoadResString(int nId);
