#include "app/launcher.h"

#include "app/splash.h"
#include "install/folderdialog.h"
#include "launch/rungame.h"
#include "res/messages.h"
#include "res/resource.h"
#include "setupdata/installrecord.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/splashfile.h"
#include "setupdata/text.h"
#include "uninstall/uninstall.h"

namespace {

constexpr char kInitFailedText[] = "初期化に失敗しました";
constexpr char kUnsafeFolderText[] =
    "プログラムが想定外のフォルダで実行された形跡があります。\n"
    "安全の為にインストールされたプログラムのアンインストールはしません。";
constexpr char kUnsafeFolderCaption[] = "注意";
constexpr char kRunUninstallStatus[] = "%sの実行および\r\nアンインストールを行います";
constexpr char kInstallStatus[] = "%sのインストールを行います";
constexpr char kInstallCaption[] = "インストール";
constexpr char kUninstallCaption[] = "ｱﾝｲﾝｽﾄｰﾙ";

// The status text from statusFormat (one "%s") and the game name, the name cut
// at a character boundary where the whole would not fit.
void setStatusText(HWND dialog, const char* statusFormat) {
    char status[256];
    formatTextCut(status, statusFormat, programState.gameName);
    SetDlgItemTextA(dialog, IDC_STATUS, status);
}

}  // namespace

bool checkInstalledCopy() {
    if (!buildRegistrySubKey()) return false;
    char recordedFolder[kPathSize];
    const RecordedCopy copy = readRecordedCopy(recordedFolder);
    if (copy == RecordedCopy::unsafeFolder) {
        MessageBoxA(nullptr, kUnsafeFolderText, kUnsafeFolderCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return copy == RecordedCopy::present;
}

void selectLauncherMode(HWND dialog) {
    HWND installUninstall = GetDlgItem(dialog, IDC_INSTALL_UNINSTALL);
    HWND run = GetDlgItem(dialog, IDC_RUN);
    // While the dialog initialises, the dialog manager places the focus itself
    // once it is shown; a focus set now would only cost a trip to the window
    // system.
    const bool placeFocus = IsWindowVisible(dialog) != FALSE;
    if (checkInstalledCopy()) {
        setStatusText(dialog, kRunUninstallStatus);
        ShowWindow(run, SW_SHOW);
        SetWindowTextA(installUninstall, kUninstallCaption);
        programState.installedMode = 1;
        if (placeFocus) SetFocus(run);
    } else {
        SetWindowTextA(installUninstall, kInstallCaption);
        setStatusText(dialog, kInstallStatus);
        ShowWindow(run, SW_HIDE);
        ShowWindow(installUninstall, SW_SHOW);
        programState.installedMode = 0;
        if (placeFocus) SetFocus(installUninstall);
    }
}

bool prepareLauncher(HWND dialog) {
    char modulePath[kPathSize];
    if (!getModulePath(modulePath)) return false;
    if (!deriveDescriptionPath(modulePath)) return false;

    readSetupString(kGameNameKey, programState.gameName);
    if (isNoData(programState.gameName)) return false;

    // A title that cannot be set changes nothing else.
    (void)SetWindowTextA(dialog, programState.gameName);
    (void)SetWindowTextA(GetParent(dialog), programState.gameName);

    // SETUP.EXE looks for SETUP0.BMP to SETUP3.BMP; a path too long for the
    // splash names simply has no splash images.
    char basePath[kSplashPathSize];
    if (splashBasePath(modulePath, basePath)) loadSplashBitmaps(basePath);

    selectLauncherMode(dialog);
    return true;
}

INT_PTR CALLBACK launcherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!prepareLauncher(dialog)) {
            MessageBoxA(dialog, kInitFailedText, kMessageCaption, MB_OK);
            EndDialog(dialog, 0);
            return FALSE;
        }
        drawSplashBitmaps(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RUN) {
            runInstalledGame(dialog);  // the mode is not selected again afterwards
            return FALSE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_INSTALL_UNINSTALL) {
            // Whatever the child dialog ended with, the check decides the mode.
            if (programState.installedMode != 0) {
                (void)DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_UNINSTALL), dialog,
                                      uninstallDialogProc, 0);
            } else {
                (void)DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_FOLDER), dialog, folderDialogProc, 0);
            }
            selectLauncherMode(dialog);
        }
        return FALSE;
    case WM_LBUTTONDOWN:
        // A press anywhere on the client area drags the dialog like its caption.
        PostMessageA(dialog, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}
