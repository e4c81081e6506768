#include "tests/bench/dialogs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

DialogDriver* activeDriver = nullptr;

bool isDialog(HWND window) {
    char className[16];
    return GetClassNameA(window, className, sizeof className) > 0 && lstrcmpA(className, "#32770") == 0;
}

// The visible dialogs of this thread, topmost first.
std::vector<HWND> threadDialogs() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) -> BOOL {
            if (isDialog(window) && IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

HWND control(HWND dialog, int controlId) {
    HWND window = controlId == 0 ? dialog : GetDlgItem(dialog, controlId);
    if (window == nullptr) ADD_FAILURE() << "the dialog has no control " << controlId;
    return window;
}

}  // namespace

HWND activeDialog() {
    // A modal dialog disables its owner, but a message box without an owner
    // leaves the dialog below it enabled: the active window decides then.
    HWND active = GetActiveWindow();
    HWND first = nullptr;
    for (HWND dialog : threadDialogs()) {
        if (!IsWindowEnabled(dialog)) continue;
        if (dialog == active) return dialog;
        if (first == nullptr) first = dialog;
    }
    return first;
}

DialogDriver::DialogDriver(DWORD timeoutMs) : deadline_(GetTickCount() + timeoutMs) {
    if (activeDriver != nullptr) {
        ADD_FAILURE() << "another DialogDriver is active; this one drives nothing";
        return;
    }
    activeDriver = this;
    // A thread timer: its WM_TIMER is dispatched by whichever modal loop runs.
    timer_ = SetTimer(nullptr, 0, 20, &DialogDriver::tick);
    if (timer_ == 0) ADD_FAILURE() << "SetTimer failed, error " << GetLastError();
}

DialogDriver::~DialogDriver() {
    if (activeDriver != this) return;
    if (timer_ != 0) KillTimer(nullptr, timer_);
    activeDriver = nullptr;
    if (!timedOut_) {
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog step(s) never ran";
    }
    // The launcher posts WM_QUIT when it is destroyed; left in the queue it
    // would end the next modal loop at once.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

DialogDriver& DialogDriver::when(int controlId, std::function<void(HWND dialog)> step) {
    steps_.push_back({controlId, std::move(step)});
    return *this;
}

bool DialogDriver::finished() const { return steps_.empty(); }

void CALLBACK DialogDriver::tick(HWND, UINT, UINT_PTR, DWORD) {
    if (activeDriver != nullptr) activeDriver->onTick();
}

void DialogDriver::onTick() {
    // A step that runs a modal loop of its own gets ticks inside it.
    if (running_) return;
    running_ = true;
    if (static_cast<LONG>(GetTickCount() - deadline_) >= 0) {
        // Ends every dialog so that the test returns instead of hanging.
        std::vector<HWND> open = threadDialogs();
        if (!timedOut_ && (!steps_.empty() || !open.empty())) {
            timedOut_ = true;
            ADD_FAILURE() << "dialog driver timed out with " << steps_.size() << " step(s) left and " << open.size()
                          << " dialog(s) open";
        }
        if (timedOut_)
            for (HWND dialog : open) EndDialog(dialog, -99);
    } else if (!steps_.empty()) {
        HWND dialog = activeDialog();
        const int controlId = steps_.front().controlId;
        if (dialog != nullptr && (controlId == 0 || GetDlgItem(dialog, controlId) != nullptr)) {
            Step step = std::move(steps_.front());
            steps_.pop_front();
            step.run(dialog);
        }
    }
    running_ = false;
}

std::string DialogDriver::text(HWND dialog, int controlId) {
    HWND window = control(dialog, controlId);
    if (window == nullptr) return {};
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

bool DialogDriver::visible(HWND dialog, int controlId) {
    // The control's own flag: a step may look before its dialog is shown.
    HWND window = control(dialog, controlId);
    return window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool DialogDriver::enabled(HWND dialog, int controlId) {
    HWND window = control(dialog, controlId);
    return window != nullptr && IsWindowEnabled(window);
}

int DialogDriver::focusedControl(HWND dialog) {
    HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(dialog, focus)) return 0;
    // The edit inside a combo box has the focus for its combo box.
    while (GetParent(focus) != dialog) focus = GetParent(focus);
    return GetDlgCtrlID(focus);
}

void DialogDriver::press(HWND dialog, int controlId) {
    // Posted, so that a dialog the press opens runs in the dialog's own loop
    // rather than inside this timer callback.
    HWND button = control(dialog, controlId);
    if (button == nullptr) return;
    // A user cannot click a button that is hidden or disabled.
    if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
        ADD_FAILURE() << "control " << controlId << " cannot be pressed: it is "
                      << (IsWindowVisible(button) ? "disabled" : "hidden");
        return;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}
