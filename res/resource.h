#pragma once

// Command, control and resource ids. They keep their numbers: QActions, dialogs and tests
// refer to them by these names.

// Icons, menus, toolbars, bitmaps, dialogs.
constexpr int IDR_MAINFRAME = 128;    // icon, accelerators, first toolbar, document string
constexpr int IDI_TRAY = 5;           // tray icon
constexpr int IDI_ENCODING = 6;       // the second toolbar's encoding button
constexpr int IDR_TRAY_MENU = 130;    // tray menu; also the tray icon id
constexpr int IDR_READER_BAR = 144;   // second toolbar and its bitmap
constexpr int IDB_MAIN_BAR = 150;     // first toolbar's 48 x 48 images
constexpr int IDB_TOOLBAR_BACK = 141; // toolbar background
constexpr int IDB_ABOUT = 151;        // About picture
constexpr int IDB_CHAPTER_LIST = 160; // the chapter-list button, 16 x 16
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_OPTION = 131;
constexpr int IDD_READ_MARK = 142;
constexpr int IDD_GOTO_PAGE = 146;

// Standard dialog results and the command ids of a dialog's OK and Cancel buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Standard commands.
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_EDIT_COPY_COMMAND = 32788; // Ctrl+C: copies the marked line

// Reader commands.
constexpr int ID_TRAY_EXIT = 32773;
constexpr int ID_OPTION_MENU = 32775;
constexpr int ID_OPEN_READ_MARK = 32782;
constexpr int ID_NET_LIBRARY = 32783;
constexpr int ID_OPTION = 32784;
constexpr int ID_JOKE = 32785;
constexpr int ID_TOOLBAR_SPARE1 = 32786;
constexpr int ID_TOOLBAR_SPARE2 = 32787;
constexpr int ID_MARK_OPEN = 32790;
constexpr int ID_MARK_DELETE = 32791;
constexpr int ID_ROW_DIS_SMALLER = 32792;
constexpr int ID_FONT_BIGGER = 32793;
constexpr int ID_FONT_SMALLER = 32794;
constexpr int ID_ROW_DIS_BIGGER = 32795;
constexpr int ID_NEXT_PAGE = 32798;
constexpr int ID_PREV_PAGE = 32799;
constexpr int ID_NEXT_SCREEN = 32800;
constexpr int ID_PREV_SCREEN = 32801;
constexpr int ID_GOTO_PAGE = 32805;
constexpr int ID_AUTO_SCROLL = 32808;
constexpr int ID_TRAY_SETTINGS = 32812;
constexpr int ID_TRAY_OPEN = 32813;
// Chapters and search.
constexpr int ID_CHAPTER_LIST = 32840;
constexpr int ID_PREV_CHAPTER = 32841;
constexpr int ID_NEXT_CHAPTER = 32842;
constexpr int ID_FIND = 32843;
constexpr int ID_FIND_NEXT = 32844;
constexpr int ID_FIND_PREV = 32845;
constexpr int ID_SHELF = 32846;       // 书架
constexpr int ID_FULL_SCREEN = 32870; // F11
// Reader keys without a button.
constexpr int ID_NEXT_LINE = 32871;
constexpr int ID_PREV_LINE = 32872;
constexpr int ID_ESCAPE = 32873; // stops a search, closes the find bar, leaves full screen, hides

// Control ids.
constexpr int IDC_FONT_HEIGHT = 1000;
constexpr int IDC_CHOOSE_FONT_COLOR = 1001;
constexpr int IDC_CHOOSE_BACK_COLOR = 1002;
constexpr int IDC_FONT_COLOR = 1003;
constexpr int IDC_BACK_COLOR = 1005;
constexpr int IDC_LINK_JOKE = 1005;
constexpr int IDC_LOCAL_LIST = 1007;
constexpr int IDC_NET_LIST = 1008;
constexpr int IDC_CLEAR_LOCAL = 1009;
constexpr int IDC_CLEAR_NET = 1010;
constexpr int IDC_MARK_OK = 1011;
constexpr int IDC_PAGE = 1013;
constexpr int IDC_TOTAL_PAGE = 1014;
constexpr int IDC_LINK_MAIL = 1015;
constexpr int IDC_LINK_HOME = 1016;
constexpr int IDC_READING = 1040; // settings: opens the reading page
constexpr int IDC_RULES = 1041;   // settings: opens the chapter and clean-up rules

// The tray menu's exit code.
constexpr int TRAY_EXIT_CODE = 16;
