#include "launch/rungame.h"

#include "setupdata/programstate.h"
#include "launch/displaymode.h"
#include "setupdata/installrecord.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit start-up record is 68 bytes");
#endif

constexpr char kCaption[] = "SETUP";
constexpr char kHighColourNote[] =
    "このゲームのグラフィックはフルカラーで描かれています\n"
    "ハイカラーでも動作はしますが製作者の意図した画面が再現できない場合があります";
constexpr char kDepthQuestion[] =
    "このゲームはハイカラー以上の設定で動作するように設計されています。\n"
    "現在の画面モードでは正常に動作しないので、画面モードを切り替えます。\n"
    "よろしいですか？";
constexpr char kDepthAdvice[] =
    "このゲームは、ハイカラー以上の設定で、動作するように設計されています。\n"
    "「コントロールパネル」の「画面」でモードをハイカラー以上に設定してください。";

void captureDisplayMode() {
    DEVMODEA& mode = programState.currentDisplayMode;
    mode.dmSize = kDisplayModeSize;
    mode.dmDriverExtra = 0;  // the record has no room for driver data
    mode.dmFields = kDisplayModeFields;
    // Not examined: a failed read leaves the record as it was, all zero at the
    // first run, and a depth of 0 leads to the depth question, which is safe.
    (void)EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
}

// Starts the game without waiting for it. False when its path does not fit,
// so that no cut path is ever started.
bool startGame(const char* recordedFolder) {
    char exeName[kPathSize];
    readSetupString(kExeNameKey, exeName);  // "NoData" when missing: that path just fails to start
    char gamePath[kPathSize];
    if (!joinText(gamePath, {recordedFolder, "\\", exeName})) return false;

    // The path is also the application name, so that a path with blanks never
    // starts another program at one of its blank-separated prefixes; the
    // command line stays the bare path the game has always been given.
    char commandLine[kPathSize];
    copyText(commandLine, gamePath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // A game that cannot be started is not reported: the launcher ends anyway.
    if (CreateProcessA(gamePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return true;
}

}  // namespace

void runInstalledGame(HWND launcher) {
    char recordedFolder[kPathSize];
    readInstallRecord(recordedFolder);
    if (isNoData(recordedFolder)) {
        MessageBoxA(launcher, kNotInstalledText, kCaption, MB_OK);
        return;
    }

    captureDisplayMode();
    const DWORD depth = programState.currentDisplayMode.dmBitsPerPel;
    if (depth == 16) {
        MessageBoxA(launcher, kHighColourNote, kCaption, MB_OK);
    } else if (depth < 24) {
        if (MessageBoxA(launcher, kDepthQuestion, kCaption, MB_YESNO) == IDNO) {
            MessageBoxA(launcher, kDepthAdvice, kCaption, MB_OK);
        } else {
            switchDisplayMode(launcher);
        }
        return;
    }

    if (!startGame(recordedFolder)) {
        MessageBoxA(launcher, kNotInstalledText, kCaption, MB_OK);
        return;
    }
    EndDialog(launcher, 0);
}
