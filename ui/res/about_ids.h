// Resource identifiers of the About box.
#pragma once

#define IDD_ABOUT 3501

// Controls of the About box
#define IDC_ABOUT_ICON 3530
#define IDC_ABOUT_PRODUCT 3531
#define IDC_ABOUT_VERSION 3532
#define IDC_ABOUT_BUILD 3533
#define IDC_ABOUT_COMPANY 3534
