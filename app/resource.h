// Resource and control ids shared by the resource script and the code.
#pragma once

#define IDD_LAUNCHER 101
#define IDI_SETUP 106

#define IDC_INSTALL_UNINSTALL 1002
#define IDC_RUN 1003
#define IDC_STATUS 1010

#ifdef __cplusplus
constexpr int kDialogLauncher = IDD_LAUNCHER;
constexpr int kIconSetup = IDI_SETUP;
constexpr int kButtonInstallUninstall = IDC_INSTALL_UNINSTALL;
constexpr int kButtonRun = IDC_RUN;
constexpr int kStatusText = IDC_STATUS;
#endif
