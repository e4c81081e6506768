// Resource and control ids shared by the resource script and the code.
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

#ifdef __cplusplus
constexpr int kDialogLauncher = IDD_LAUNCHER;
constexpr int kDialogProgress = IDD_PROGRESS;
constexpr int kDialogFolder = IDD_FOLDER;
constexpr int kDialogUninstall = IDD_UNINSTALL;
constexpr int kIconSetup = IDI_SETUP;

constexpr int kProgressBar = IDC_PROGRESS_BAR;
constexpr int kButtonInstallUninstall = IDC_INSTALL_UNINSTALL;
constexpr int kButtonRun = IDC_RUN;
constexpr int kUninstallFolderText = IDC_UNINSTALL_FOLDER;
constexpr int kButtonBrowse = IDC_BROWSE;
constexpr int kInstallFolderText = IDC_INSTALL_FOLDER;
constexpr int kSpaceText = IDC_SPACE;
constexpr int kStatusText = IDC_STATUS;
#endif
