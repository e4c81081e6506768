// Records every MessageBoxA call of the program, from any thread, and answers
// with scripted results.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/bench/imports.h"

struct RecordedMessageBox {
    HWND owner;
    std::string text, caption;  // code page 932 bytes
    UINT flags;
};
void PrintTo(const RecordedMessageBox& box, std::ostream* out);

class MessageBoxRecorder {
public:
    MessageBoxRecorder();  // one at a time
    ~MessageBoxRecorder();
    // Answers for the next boxes, in order; then IDOK (IDYES for yes/no boxes).
    void answer(std::initializer_list<int> results);
    // Runs before each box is answered, with its number (from 0), on the
    // thread that shows it.
    void onShow(std::function<void(size_t number)> action);
    std::vector<RecordedMessageBox> shown() const;

private:
    static int WINAPI fake(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
    mutable std::mutex mutex_;
    std::vector<RecordedMessageBox> shown_;
    std::deque<int> answers_;
    std::function<void(size_t)> action_;
    std::unique_ptr<ImportPatch> patch_;
};

// A code page 932 text as UTF-8 and in hex, for failure messages.
std::string readable(const std::string& cp932);

// Byte-for-byte comparisons that show code page 932 texts readably.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected);
::testing::AssertionResult isMessageBox(const RecordedMessageBox& box, HWND owner, const std::string& text,
                                        const std::string& caption, UINT flags);
