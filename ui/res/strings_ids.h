// Identifiers of the string table each language holds (lang/*.rc). Texts with %1, %2, ... take
// their arguments in that order wherever the language puts them.
#pragma once

// Main window
#define IDS_TITLE_HINT 2000
#define IDS_TASKS 2001
#define IDS_LINK_SCAN 2002
#define IDS_LINK_REPAIR 2003
#define IDS_LINK_RESTORE 2004
#define IDS_SECTIONS 2005
#define IDS_PROBLEMS_FOUND_STATUS 2006
#define IDS_PROBLEMS_SELECTED 2007
#define IDS_SCAN_STOPPED_IN 2008
#define IDS_SCAN_STOPPED 2009
#define IDS_SCAN_STOPPED_BEFORE 2010
#define IDS_NOT_SCANNED 2011
#define IDS_SCAN_INCOMPLETE 2012
#define IDS_LIST_SEPARATOR 2015
#define IDS_NODE_COUNT 2013
#define IDS_NODE_COUNT_STOPPED 2014

// Menu commands' messages
#define IDS_CHECK_REGEDIT 2020
#define IDS_SAVE_FULL_REGISTRY 2021
#define IDS_REG_FILTER 2022
#define IDS_FILE_EXISTS_OVERWRITE 2023
#define IDS_BACKING_UP_REGISTRY 2024
#define IDS_WINDOWS_BACKUP_PROGRAM 2025
#define IDS_NO_BACKUP_PROGRAM 2026
#define IDS_THE_SYSTEM_FOLDER 2027
#define IDS_THE_HELP 2028
#define IDS_THE_HOME_PAGE 2029
#define IDS_THE_REGISTRY_EDITOR 2030
#define IDS_SAVE_RESULTS 2031
#define IDS_CSV_FILTER 2032
#define IDS_FILE_EXISTS_REPLACE 2033
#define IDS_CANNOT_WRITE 2034
#define IDS_CANNOT_WRITE_BECAUSE 2035
#define IDS_CANNOT_FIND 2036
#define IDS_CANNOT_OPEN 2037
#define IDS_NO_REASON 2038
#define IDS_UNEXPECTED_ERROR 2039
#define IDS_PICK_FOLDER 2040

// Progress windows
#define IDS_PROBLEMS_FOUND 2050

// Restore dialog
#define IDS_COLUMN_BACKUP_FILE 2060
#define IDS_COLUMN_DATE 2061
#define IDS_COLUMN_SIZE 2062
#define IDS_COLUMN_PROBLEM 2074
#define IDS_COLUMN_REGISTRY_KEY 2075
#define IDS_COLUMN_VALUE 2076
#define IDS_COLUMN_PROGRAM 2078
#define IDS_BACKUP_FOLDER_MISSING 2063
#define IDS_RESTORE_QUESTION 2064
#define IDS_RESTORING_REGISTRY 2065
#define IDS_FILE_DELETED 2066
#define IDS_FILE_KEPT 2067
#define IDS_RESTORED 2068
#define IDS_RESTORE_NOT_ENDED 2069
#define IDS_RESTORE_UNREADABLE 2070
#define IDS_RESTORE_REFUSED 2071
#define IDS_RESTORE_INCOMPLETE 2072
#define IDS_REPAIR_AGAIN_LATER 2073
#define IDS_REPAIR_STOPPED 2077

// Options dialog and its pages
#define IDS_TAB_GENERAL 2080
#define IDS_TAB_IGNORE_LISTS 2081
#define IDS_TAB_SCHEDULE 2082
#define IDS_TAB_VALUES 2083
#define IDS_TAB_KEYS 2084
#define IDS_COLUMN_ITEMS 2085
#define IDS_FOLDER_DOES_NOT_EXIST 2086
#define IDS_WINDOWS_LANGUAGE 2087
#define IDS_ADD_HINT_VALUE 2088
#define IDS_ADD_HINT_KEY 2089
#define IDS_SCHEDULE_ABOUT 2090
#define IDS_SCHEDULE_OTHER 2091
#define IDS_SCHEDULER_UNREACHABLE_NOTE 2092
#define IDS_SCHEDULER_UNREACHABLE 2093
#define IDS_SCHEDULE_NOT_CHANGED 2094
#define IDS_SCHEDULE_NOT_KEPT 2095
// What the settings store says (the engine's TextId::SettingsNotWritten and SettingsNotRead, in
// that order): the other languages' words for the first, English keeping the engine's own; the
// second as the window says it, with what it means for this run.
#define IDS_SETTINGS_NOT_WRITTEN 2096
#define IDS_SETTINGS_NOT_READ 2097

// The main window's newer texts.
#define IDS_SCAN_RUNNING 2120
#define IDS_FULL_BACKUP_WRITTEN 2121
#define IDS_FULL_BACKUP_EMPTY 2122
#define IDS_FULL_BACKUP_STOPPED 2123
#define IDS_PROGRAM_HEADING 2124
#define IDS_NO_PROGRAM_HEADING 2125

// About box
#define IDS_VERSION 2100
#define IDS_BUILT_ON 2101

// Category tree: IDS_NODE_FIRST + the category's code
#define IDS_NODE_FIRST 2200

// Translations of the engine's English texts, which the English table does not repeat: the
// categories' names (IDS_CATEGORY_FIRST + code), scan captions (IDS_CAPTION_FIRST + code), the
// rows' reasons (IDS_REASON_FIRST + the pattern's id) and problem names (IDS_PROBLEM_FIRST + number),
// what the repair, its backup and the undo say (IDS_REPAIR_TEXT_FIRST + the text's place among them),
// and a row's program with its state (IDS_PROGRAM_TEXT_FIRST + the text's place among them).
#define IDS_CATEGORY_FIRST 2300
#define IDS_CAPTION_FIRST 2400
#define IDS_REASON_FIRST 2500
#define IDS_PROBLEM_FIRST 2600
#define IDS_REPAIR_TEXT_FIRST 2700
#define IDS_PROGRAM_TEXT_FIRST 2800
