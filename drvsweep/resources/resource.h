// Resource ids of drvsweep.
#pragma once
#define IDD_UNINSTALL 102
#define IDI_UNINSTALL 132
#define IDC_PROGRESS 1000
#define IDC_RUN_TIP 1001
#define IDC_FILE_LINE 1002
#define IDC_BLANK_LINE 1003
#define IDC_FILE_LABEL 1004
