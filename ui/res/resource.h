// Resource identifiers shared by the .rc file and the windows.
#pragma once

#define IDI_TAMRISK 100
#define IDB_STATEIMAGES 101

// String table
#define IDS_PRODUCT_NAME 1000
#define IDS_HOME_PAGE 1001

// Menus
#define IDR_MAINMENU 200
#define IDR_LISTPOPUP 201
#define IDR_ACCELERATORS 202

// Dialog templates
#define IDD_REGPROGRESSHINT 300
#define IDD_BACKUPHINT 301

// Controls of the main window. A button and the menu item that runs its handler share one id, so
// both arrive as the same WM_COMMAND.
#define IDC_BANNER 1100
#define IDC_TITLE 1101
#define IDC_TITLEHINT 1102
#define IDC_TASKS 1103
#define IDC_SCANREGISTRY 1104
#define IDC_REPAIRREGISTRY 1105
#define IDC_RESTOREREGISTRY 1106
#define IDC_SECTIONS 1107
#define IDC_REGISTRYTREE 1108
#define IDC_REGISTRYDATA 1109
#define IDC_STATUSBAR 1110

// Menu commands
#define IDM_BACKUPFULLREGISTRY 1200
#define IDM_WINDOWSBACKUP 1201
#define IDM_EXIT 1202
#define IDM_SELECTALL 1203
#define IDM_SELECTALLTYPE 1204
#define IDM_SELECTNONE 1205
#define IDM_SELECTNONETYPE 1206
#define IDM_OPENREGEDIT 1207
#define IDM_OPTIONS 1208
#define IDM_HELP 1209
#define IDM_HOMEPAGE 1210
#define IDM_ABOUT 1211
#define IDM_SCANREGISTRY IDC_SCANREGISTRY
#define IDM_REPAIRREGISTRY IDC_REPAIRREGISTRY
#define IDM_RESTOREREGISTRY IDC_RESTOREREGISTRY
#define IDM_SAVERESULTS 3400
#define IDM_IGNOREVALUE 3401
#define IDM_IGNOREKEY 3402
#define IDM_FIND 3410
#define IDM_FINDNEXT 3411

// Controls of the progress windows
#define IDC_SCANTASK 1300
#define IDC_SCANKEY 1301
#define IDC_PROGRESS 1302
#define IDC_STOP 1303
#define IDC_HINT 1304
