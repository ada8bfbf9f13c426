#pragma once
// Strings of the extension's string table.
#define IDS_PROJNAME 100
#define IDS_UPLOAD_TO 101
#define IDS_UPLOAD_HELP 102
#define IDS_NO_COMMON_FOLDER 103
// The registry script of the context-menu class (resource type "REGISTRY").
#define IDR_SHELLEXTCONTEXTMENU 102
