#include "tests/harness/dialogs.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

DialogDriver* activeDriver = nullptr;

// The visible dialogs of this thread, topmost first.
std::vector<HWND> threadDialogs() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) CALLBACK -> BOOL {
            char name[16];
            if (GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

// A modal dialog disables its owner, but a message box without an owner leaves
// the dialog below it enabled: the active window decides then.
HWND activeDialog() {
    HWND first = nullptr;
    for (HWND dialog : threadDialogs()) {
        if (!IsWindowEnabled(dialog)) continue;
        if (dialog == GetActiveWindow()) return dialog;
        if (first == nullptr) first = dialog;
    }
    return first;
}

HWND control(HWND dialog, int controlId) {
    HWND window = controlId == 0 ? dialog : GetDlgItem(dialog, controlId);
    if (window == nullptr) ADD_FAILURE() << "the dialog has no control " << controlId;
    return window;
}

}  // namespace

DialogDriver::DialogDriver(DWORD timeoutMs) : deadline_(GetTickCount() + timeoutMs) {
    if (activeDriver != nullptr) {
        ADD_FAILURE() << "another DialogDriver is active";
        return;
    }
    activeDriver = this;
    // A thread timer: whichever modal loop runs dispatches its WM_TIMER.
    timer_ = SetTimer(nullptr, 0, 20, &DialogDriver::tick);
}

DialogDriver::~DialogDriver() {
    if (activeDriver != this) return;
    KillTimer(nullptr, timer_);
    activeDriver = nullptr;
    if (!timedOut_) {
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog step(s) never ran";
    }
    // The launcher posts WM_QUIT when it is destroyed.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

DialogDriver& DialogDriver::when(int controlId, std::function<void(HWND dialog)> step) {
    steps_.emplace_back(controlId, std::move(step));
    return *this;
}

void CALLBACK DialogDriver::tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* driver = activeDriver;
    // A step that runs a modal loop of its own gets ticks inside it.
    if (driver == nullptr || driver->running_) return;
    driver->running_ = true;
    if (static_cast<LONG>(GetTickCount() - driver->deadline_) >= 0) {
        // Ends every dialog, so that the test returns instead of hanging.
        const std::vector<HWND> open = threadDialogs();
        if (!driver->timedOut_ && (!driver->steps_.empty() || !open.empty())) {
            driver->timedOut_ = true;
            ADD_FAILURE() << "dialog driver timed out with " << driver->steps_.size() << " step(s) left";
        }
        for (HWND dialog : open) EndDialog(dialog, -99);
    } else if (!driver->steps_.empty()) {
        HWND dialog = activeDialog();
        const int controlId = driver->steps_.front().first;
        if (dialog != nullptr && (controlId == 0 || GetDlgItem(dialog, controlId) != nullptr)) {
            const auto step = std::move(driver->steps_.front().second);
            driver->steps_.pop_front();
            step(dialog);
        }
    }
    driver->running_ = false;
}

std::string DialogDriver::text(HWND dialog, int controlId) {
    char text[1024] = "";
    if (HWND window = control(dialog, controlId)) GetWindowTextA(window, text, sizeof text);
    return text;
}

int DialogDriver::focusedControl(HWND dialog) {
    HWND focus = GetFocus();
    return focus != nullptr && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
}

void DialogDriver::press(HWND dialog, int controlId) {
    // Posted, so that a dialog the press opens runs in the dialog's own loop
    // rather than inside the timer callback.
    HWND button = control(dialog, controlId);
    if (button == nullptr) return;
    if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
        ADD_FAILURE() << "control " << controlId << " is hidden or disabled: a user cannot press it";
        return;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}
