#include "tests/harness/messagebox.h"

#include <atomic>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

std::atomic<MessageBoxRecorder*> activeRecorder{nullptr};

}  // namespace

std::string readable(const std::string& cp932) {
    wchar_t wide[2048];
    char utf8[4096];
    const int wideLength = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), wide, 2048);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, sizeof utf8, nullptr, nullptr);
    std::string result = "\"";
    for (char c : std::string(utf8, static_cast<size_t>(length)))
        result += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    result += "\" [";
    for (unsigned char c : cp932) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", c);
        result += hex;
    }
    return result + "]";
}

std::string readable(const RecordedMessageBox& box) {
    char owner[32], flags[16];
    std::snprintf(owner, sizeof owner, "owner %p", static_cast<void*>(box.owner));
    std::snprintf(flags, sizeof flags, "flags 0x%x", box.flags);
    return owner + (", caption " + readable(box.caption)) + ", text " + readable(box.text) + ", " + flags;
}

MessageBoxRecorder::MessageBoxRecorder() {
    MessageBoxRecorder* none = nullptr;
    if (!activeRecorder.compare_exchange_strong(none, this)) {
        ADD_FAILURE() << "another MessageBoxRecorder is active";
        return;
    }
    patch_ = std::make_unique<ImportPatch>("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&fake));
}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (activeRecorder.load() != this) return;
    patch_.reset();
    activeRecorder = nullptr;
}

void MessageBoxRecorder::answer(std::initializer_list<int> results) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.insert(answers_.end(), results.begin(), results.end());
}

void MessageBoxRecorder::onShow(std::function<void(size_t)> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    action_ = std::move(action);
}

std::vector<RecordedMessageBox> MessageBoxRecorder::shown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

int WINAPI MessageBoxRecorder::fake(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    MessageBoxRecorder* recorder = activeRecorder.load();
    if (recorder == nullptr) return IDOK;  // a call racing the recorder's end
    std::unique_lock<std::mutex> lock(recorder->mutex_);
    recorder->shown_.push_back({owner, text ? text : "", caption ? caption : "", flags});
    const size_t number = recorder->shown_.size() - 1;
    const std::function<void(size_t)> action = recorder->action_;
    lock.unlock();
    if (action) action(number);
    lock.lock();
    int result = (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    if (!recorder->answers_.empty()) {
        result = recorder->answers_.front();
        recorder->answers_.pop_front();
    }
    return result;
}
