// Resource and control ids, one name each, shared by the resource script, the
// program and the programs that drive it from outside.
#pragma once

#define IDD_LAUNCHER 101
#define IDD_PROGRESS 102
#define IDD_FOLDER 103
#define IDD_UNINSTALL 105
#define IDI_SETUP 106

#define IDC_PROGRESS_BAR 1001
#define IDC_INSTALL_UNINSTALL 1002
#define IDC_RUN 1003
#define IDC_UNINSTALL_FOLDER 1006
#define IDC_BROWSE 1007
#define IDC_INSTALL_FOLDER 1008
#define IDC_SPACE 1009
#define IDC_STATUS 1010
