// Records every MessageBoxA call of the program, from any thread, and answers
// with scripted results.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/harness/imports.h"

struct RecordedMessageBox {
    HWND owner;
    std::string text, caption;  // code page 932 bytes
    UINT flags;
};

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

// A code page 932 text as UTF-8 and, so that no two texts read alike, its
// bytes in hex: tests compare texts as EXPECT_EQ(readable(a), readable(b)).
std::string readable(const std::string& cp932);
// A box as one such line: owner, caption, text and flags in hex.
std::string readable(const RecordedMessageBox& box);
