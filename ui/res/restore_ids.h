// Resource identifiers of the restore dialog and the About box.
#pragma once

// Dialog templates
#define IDD_RESTORE 3500
#define IDD_ABOUT 3501

// Controls of the restore dialog
#define IDC_RESTORE_FOLDERGROUP 3510
#define IDC_RESTORE_FOLDER 3511
#define IDC_RESTORE_BROWSE 3512
#define IDC_RESTORE_LIST 3513
#define IDC_RESTORE_RESTORE 3514
#define IDC_RESTORE_OPENDIR 3515
#define IDC_RESTORE_DELETE 3516
#define IDC_RESTORE_CLOSE 3517

// Controls of the About box
#define IDC_ABOUT_ICON 3530
#define IDC_ABOUT_PRODUCT 3531
#define IDC_ABOUT_VERSION 3532
#define IDC_ABOUT_BUILD 3533
#define IDC_ABOUT_COMPANY 3534
