// Records every MessageBoxA call of the program (from any thread) and answers
// with scripted results.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "tests/bench/imports.h"

struct RecordedMessageBox {
    HWND owner;
    std::string text;     // code page 932 bytes
    std::string caption;  // code page 932 bytes
    UINT flags;
    DWORD threadId;
};
void PrintTo(const RecordedMessageBox& box, std::ostream* out);

class MessageBoxRecorder {
public:
    MessageBoxRecorder();  // one at a time
    ~MessageBoxRecorder();
    // Answers for the next calls, in order; once they are used up every call
    // answers IDOK (IDYES for MB_YESNO and MB_YESNOCANCEL).
    void answer(std::initializer_list<int> results);
    // Runs before each box is answered, with the box's number (from 0); on the
    // thread that shows it.
    void onShow(std::function<void(size_t number)> action);
    std::vector<RecordedMessageBox> shown() const;

private:
    static int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
    mutable std::mutex mutex_;
    std::vector<RecordedMessageBox> shown_;
    std::deque<int> answers_;
    std::function<void(size_t)> action_;
    std::unique_ptr<ImportPatch> patch_;
};

// A code page 932 text as readable UTF-8 followed by its bytes in hex.
std::string readable(const std::string& cp932);

// Compares texts byte for byte; a failure shows both readably and in hex.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected);

// Whether box has exactly this owner, text, caption and flags.
::testing::AssertionResult isMessageBox(const RecordedMessageBox& box, HWND owner, const std::string& text,
                                        const std::string& caption, UINT flags);
