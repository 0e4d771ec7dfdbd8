// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_SETTINGS 101
#define IDI_KIVO 102
#define IDC_NEWS_BUTTON 1000
#define IDC_COUNT_SLIDER 1001
#define IDS_DESCRIPTION 1
