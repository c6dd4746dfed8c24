// Resource identifiers of the options dialog's Schedule page.
#pragma once

#define IDD_SCHEDULEPAGE 3100

#define IDC_SCH_OFF 3110
#define IDC_SCH_DAILY 3111
#define IDC_SCH_WEEKLY 3112
#define IDC_SCH_LOGON 3113
#define IDC_SCH_TIMELABEL 3114
#define IDC_SCH_TIME 3115
#define IDC_SCH_DAYLABEL 3116
#define IDC_SCH_DAY 3117
#define IDC_SCH_REPORTONLY 3118
#define IDC_SCH_NOTE 3119
