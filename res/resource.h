// Resource and control identifiers. Plain #defines: read by the resource compiler and by
// the C++ sources of both builds.
#pragma once

#define IDR_MAINFRAME 128
#define IDR_MANIFEST 1

#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102
#define IDD_SELECT_DIR 138

#define IDS_ABOUTBOX 101

#define IDM_ABOUTBOX 0x0010

#define IDB_FOLDER_CLOSED 134
#define IDB_FOLDER_CLOSED_SEL 135
#define IDB_FOLDER_OPEN 136
#define IDB_FOLDER_OPEN_SEL 137

// Main dialog (102)
#define IDC_DISPLAY_NAME 1001
#define IDC_DEPENDENCIES 1002
#define IDC_STARTUP 1003
#define IDC_ARGUMENTS 1005
#define IDC_REMOVE 1006
#define IDC_INSTALL 1007
#define IDC_WORKING_DIR 1008
#define IDC_EXECUTABLE 1010
#define IDC_SERVICE_NAME 1011
#define IDC_HELP_BUTTON 1012
#define IDC_BROWSE_EXE 1013
#define IDC_BROWSE_DIR 1014

// Select Directory dialog (138)
#define IDC_DIR_NAME 1014
#define IDC_DIR_TREE 1015
#define IDC_DRIVE 1019

// Private message of the directory tree to its parent (WM_USER + 10).
#define WM_DIRTREE_CHANGED 0x040A
