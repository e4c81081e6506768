#include "install/directsound.h"

#include "install/dsetup.h"
#include "setupdata/setupfile.h"

namespace {

constexpr char kQuestionText[] = "DirectSoundをインストールしますか？";
constexpr char kQuestionCaption[] = "確認";
constexpr DWORD kFirstRuntimeWithSound = 3;
constexpr DWORD kSetupFlags = 2;

}  // namespace

void offerDirectSound(HWND owner) {
    if (readSetupInt(kDxOptionKey) != 1) return;

    // Zero first: a query that fills nothing reads as no runtime, and the user
    // is asked rather than silently passed over.
    DWORD version = 0;
    DWORD revision = 0;
    (void)dsetupGetVersion(&version, &revision);
    if (LOWORD(version) >= kFirstRuntimeWithSound) return;
    if (MessageBoxA(owner, kQuestionText, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;

    char root[kPathSize];
    if (!getSourceFolder(root)) return;
    // What the runtime's setup achieves does not change the install's outcome.
    (void)dsetupRun(owner, root, kSetupFlags);
}
