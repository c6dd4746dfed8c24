// Resource identifiers of the options dialog and the ignore-list entry dialog.
#pragma once

// Dialog templates
#define IDD_OPTIONS 3000
#define IDD_REGADDREGISTRY 3001

// TfrmOptions; its OK and Cancel buttons are IDOK and IDCANCEL.
#define IDC_OPT_PAGES 3010
#define IDC_OPT_FOLDERGROUP 3011
#define IDC_OPT_OUTPUTFOLDER 3012
#define IDC_OPT_BROWSE 3013
#define IDC_OPT_DELETEBACKUPFILE 3014
#define IDC_OPT_INCLUDEREMOVEMEDIA 3015
#define IDC_OPT_INCLUDECDDRIVE 3016
#define IDC_OPT_IGNORELABEL 3017
#define IDC_OPT_LANGUAGELABEL 3024
#define IDC_OPT_LANGUAGE 3025
#define IDC_OPT_LANGUAGENOTE 3026
#define IDC_OPT_LISTPAGES 3018
#define IDC_OPT_VALUES 3019
#define IDC_OPT_KEYS 3020
#define IDC_OPT_ADD 3021
#define IDC_OPT_EDIT 3022
#define IDC_OPT_REMOVE 3023

// TfrmRegAddRegistry; its OK and Cancel buttons are IDOK and IDCANCEL.
#define IDC_ADD_GROUP 3030
#define IDC_ADD_KEYLABEL 3031
#define IDC_ADD_LAUNCHREGEDIT 3032
#define IDC_ADD_REGISTRYKEY 3033
#define IDC_ADD_HINT 3034
