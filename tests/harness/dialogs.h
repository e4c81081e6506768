// Drives real dialogs from inside their modal loop: a thread timer runs queued
// steps against the active dialog of the test's thread, so a test calls
// DialogBoxParamA itself and the steps read controls and press buttons.
// Nested dialogs work alike: a step presses a button, the next step waits for
// the dialog that opens.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

class DialogDriver {
public:
    explicit DialogDriver(DWORD timeoutMs = 15000);
    // Fails the test when steps are left; removes a WM_QUIT that a dialog left
    // in the thread's queue, so that later modal loops run.
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Queues a step: it runs once the active dialog (visible, enabled, class
    // #32770) has a control with this id (0: any dialog).
    DialogDriver& when(int controlId, std::function<void(HWND dialog)> step);

    static std::string text(HWND dialog, int controlId);  // 0: the dialog's title
    static int focusedControl(HWND dialog);               // 0 when the focus is elsewhere
    // Posts the button's click to the dialog, as the button itself would.
    static void press(HWND dialog, int controlId);

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    std::deque<std::pair<int, std::function<void(HWND)>>> steps_;
    UINT_PTR timer_ = 0;
    DWORD deadline_;
    bool timedOut_ = false;
    bool running_ = false;
};
