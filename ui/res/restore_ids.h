// Resource identifiers of the restore dialog.
#pragma once

// Dialog templates
#define IDD_RESTORE 3500

// Controls of the restore dialog
#define IDC_RESTORE_FOLDERGROUP 3510
#define IDC_RESTORE_FOLDER 3511
#define IDC_RESTORE_BROWSE 3512
#define IDC_RESTORE_LIST 3513
#define IDC_RESTORE_RESTORE 3514
#define IDC_RESTORE_OPENDIR 3515
#define IDC_RESTORE_DELETE 3516
#define IDC_RESTORE_CLOSE 3517
#define IDC_RESTORE_STATUS 3518
