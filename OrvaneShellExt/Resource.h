#pragma once
// Strings of the extension's string table.
#define IDS_PROJNAME 100
#define IDS_UPLOAD_TO 101
#define IDS_UPLOAD_HELP 102
#define IDS_NO_COMMON_FOLDER 103
#define IDS_DRIVE_ROOT 104
#define IDS_TOO_MANY_ITEMS 105
#define IDS_NOT_RECORDED 106
#define IDS_NO_PROGRAM_PATH 107
#define IDS_CANNOT_START 108
#define IDS_NO_ANSWER 109
// The registry script of the context-menu class (resource type "REGISTRY").
#define IDR_SHELLEXTCONTEXTMENU 102
