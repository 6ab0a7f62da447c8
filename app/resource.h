#pragma once

// Resource and control ids of the converter, shared by the resource script and the code.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONVERTER 102
#define IDS_CONVERT_ANYWAY 103
#define IDR_MAINFRAME 128

#define IDC_SOURCE_PATH 1000
#define IDC_SOURCE_BROWSE 1001
#define IDC_DEST_PATH 1002
#define IDC_DEST_BROWSE 1003
#define IDC_SOURCE_VERSION 1004
#define IDC_TARGET_VERSION 1005
#define IDC_CLOSE 1006

#define IDM_ABOUTBOX 0x0010
