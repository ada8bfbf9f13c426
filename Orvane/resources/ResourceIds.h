#pragma once
// Resource numbers of the uploader (Orvane.rc, AppStrings.rc), shared by the scripts and the code.
#define IDD_ABOUTBOX 100
#define IDD_MAINDLG 129
#define IDD_TEST_CONNECTION 202
#define IDD_FTP_DESTINATION 205
#define IDR_MAINFRAME 128
#define IDC_STATIC -1

// Main dialog
#define IDC_DESTINATIONS 1011
#define IDC_ADD 1012
#define IDC_REMOVE 1013
#define IDC_PROPERTIES 1014
#define IDC_SET_DEFAULT 1015
#define IDC_CLOSE 1016
#define IDC_ABOUT 1018
// About box
#define IDC_ABOUT_TEXT 1033
// Destination properties
#define IDC_SERVER 1000
#define IDC_PASSWORD 1001
#define IDC_DIRECTORY 1002
#define IDC_USERNAME 1003
#define IDC_DISPLAY_NAME 1004
#define IDC_TEST 3
#define IDC_BROWSE 4
// Connection test
#define IDC_TEST_TEXT 1019
#define IDC_TEST_ERROR_ICON 1020
#define IDC_TEST_INFO_ICON 1021

// Strings
#define IDS_TEST_SUCCEEDED 129
#define IDS_TEST_FAILED 130
#define IDS_COLUMN_NAME 133
#define IDS_COLUMN_SERVER 134
#define IDS_COLUMN_FOLDER 135
#define IDS_DESTINATION_CAPTION 136
#define IDS_SERVER_EMPTY 137
#define IDS_USERNAME_EMPTY 138
#define IDS_PASSWORD_EMPTY 139
#define IDS_INCORRECT_AT 140
#define IDS_INCORRECT_COLON 141
#define IDS_DISPLAY_NAME_EMPTY 142
#define IDS_CONNECTING 162
