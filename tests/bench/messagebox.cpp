#include "tests/bench/messagebox.h"

#include <atomic>
#include <cstdio>
#include <sstream>

namespace {

std::atomic<MessageBoxRecorder*> activeRecorder{nullptr};

std::string toUtf8(const std::string& cp932) {
    if (cp932.empty()) return {};
    const int wideLength = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string hexWord(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

std::string readable(const std::string& cp932) {
    // Control characters are escaped so that a message stays on one line.
    std::string result = "\"";
    for (char c : toUtf8(cp932)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') result += "\\n";
        else if (c == '\r') result += "\\r";
        else if (c == '\t') result += "\\t";
        else if (c == '"' || c == '\\') (result += '\\') += c;
        else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            result += escape;
        } else result += c;
    }
    result += "\" [";
    for (size_t i = 0; i < cp932.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(cp932[i]));
        if (i > 0) result += ' ';
        result += hex;
    }
    return result + "]";
}

void PrintTo(const RecordedMessageBox& box, std::ostream* out) {
    *out << "{owner " << static_cast<const void*>(box.owner) << ", text " << readable(box.text) << ", caption "
         << readable(box.caption) << ", flags " << hexWord(box.flags) << ", thread " << box.threadId << "}";
}

::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text     " << readable(actual) << "\n  expected " << readable(expected);
}

::testing::AssertionResult isMessageBox(const RecordedMessageBox& box, HWND owner, const std::string& text,
                                        const std::string& caption, UINT flags) {
    std::string differences;
    if (box.owner != owner) {
        std::ostringstream line;
        line << "\n  owner   " << static_cast<const void*>(box.owner) << ", expected "
             << static_cast<const void*>(owner);
        differences += line.str();
    }
    if (box.text != text) differences += "\n  text    " + readable(box.text) + ", expected " + readable(text);
    if (box.caption != caption)
        differences += "\n  caption " + readable(box.caption) + ", expected " + readable(caption);
    if (box.flags != flags) differences += "\n  flags   " + hexWord(box.flags) + ", expected " + hexWord(flags);
    if (differences.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the message box differs:" << differences;
}

MessageBoxRecorder::MessageBoxRecorder() {
    MessageBoxRecorder* none = nullptr;
    if (!activeRecorder.compare_exchange_strong(none, this)) {
        ADD_FAILURE() << "another MessageBoxRecorder is active; this one records nothing";
        return;
    }
    patch_ = std::make_unique<ImportPatch>("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&fakeMessageBoxA));
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

int WINAPI MessageBoxRecorder::fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    MessageBoxRecorder* recorder = activeRecorder.load();
    if (recorder == nullptr) return IDOK;  // a call racing the recorder's end
    std::function<void(size_t)> action;
    size_t number = 0;
    {
        std::lock_guard<std::mutex> lock(recorder->mutex_);
        recorder->shown_.push_back(
            {owner, text != nullptr ? text : "", caption != nullptr ? caption : "", flags, GetCurrentThreadId()});
        number = recorder->shown_.size() - 1;
        action = recorder->action_;
    }
    if (action) action(number);
    std::lock_guard<std::mutex> lock(recorder->mutex_);
    if (!recorder->answers_.empty()) {
        const int result = recorder->answers_.front();
        recorder->answers_.pop_front();
        return result;
    }
    const UINT type = flags & MB_TYPEMASK;
    return (type == MB_YESNO || type == MB_YESNOCANCEL) ? IDYES : IDOK;
}
