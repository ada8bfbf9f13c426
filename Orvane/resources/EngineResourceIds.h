#pragma once
// Resource numbers of the engine's dialogs (EngineDialogs.rc); the engine's strings are in
// Orvane/engine/tasks/EngineStrings.h. Shared by the resource script and the code.
#define IDD_FTP_TASK_RESULT 12350
#define IDD_FTP_BROWSE_FOLDER 12351
#define IDD_FTP_LIST_OUTPUT 12355
#define IDI_FTP_FOLDER 12352
#define IDI_FTP_PARENT_FOLDER 12353
#define IDI_FTP_WAITING 12356

#define IDC_RESULT_TEXT 5001
#define IDC_RESULT_ERROR_ICON 5002
#define IDC_RESULT_INFO_ICON 5003
#define IDC_BROWSE_LIST 5000
#define IDC_BROWSE_TROUBLESHOOT 5007
#define IDC_BROWSE_ADDRESS 5008
#define IDC_BROWSE_NEW_FOLDER 5009
#define IDC_BROWSE_OK 5010
