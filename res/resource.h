#pragma once
// Numeric IDs of dialogs, controls, icons and strings. The handlers reach every
// control by these IDs at the moment of use; no control is bound to a member.

// Dialog templates, icons and strings.
constexpr int IDD_VORNAK_DIALOG = 102;
constexpr int IDD_ABOUTBOX = 132;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDI_DISCONNECTED = 129;
constexpr int IDI_CONNECTED = 131;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDM_ABOUTBOX = 0x0010;

// Identity and firmware panel.
constexpr int IDC_PORT_NAME = 1000;
constexpr int IDC_CONNECT = 1001;
constexpr int IDC_DISCONNECT = 1002;
constexpr int IDC_VERSION = 1003;
constexpr int IDC_DOT_CLOSED = 1004;
constexpr int IDC_DOT_OPEN = 1005;
constexpr int IDC_SERIAL = 1006;
constexpr int IDC_GET_DEVICE_INFO = 1007;
constexpr int IDC_FACTORY_TEST = 1008;
constexpr int IDC_PACKAGE_LIST = 1009;
constexpr int IDC_UPGRADE = 1010;
constexpr int IDC_STATUS = 1011;
constexpr int IDC_DATA_EXCHANGE = 1022;
constexpr int IDC_SAVE_LOG = 1023;
constexpr int IDC_JUMP = 1024;
constexpr int IDC_TARGET_FILE = 1025;
constexpr int IDC_BROWSE = 1026;
constexpr int IDC_SEND_FILE = 1027;
constexpr int IDC_BAUD_RATE = 1028;
constexpr int IDC_VERSION_LABEL = 1030;
constexpr int IDC_SERIAL_LABEL = 1031;
constexpr int IDC_ADVANCED_TOGGLE = 1033;
constexpr int IDC_LOAD_ADDRESS = 1102;
// The transfer progress bar, shown only while a firmware update or a file
// download runs.
constexpr int IDC_PROGRESS = 1103;

// Settings panel buttons (the option controls take their IDs from the option table).
constexpr int IDC_WRITE_SETTINGS = 1029;
constexpr int IDC_READ_SETTINGS = 1080;
constexpr int IDC_FACTORY_RESET = 1081;

// Tester information dialog.
constexpr int IDC_TESTER_GET_VERSION = 1014;
constexpr int IDC_TESTER_FW_VERSION = 1015;
constexpr int IDC_TESTER_SERIAL = 1016;
constexpr int IDC_TESTER_PACKAGES = 1017;
constexpr int IDC_TOOL_VERSION = 1018;
constexpr int IDC_BUILD_TIME = 1019;
constexpr int IDC_TESTER_UPGRADE = 1020;
constexpr int IDC_TESTER_STATUS = 1021;
