#include "tests/bench/fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

namespace {

// What the active fakes of one kind answer. Fakes of a kind may nest: the
// newest answers, and the real function is the one the outermost replaced.
template <class Value>
class FakeValues {
public:
    void push(Value value, void* real) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (values_.empty()) real_ = real;
        values_.push_back(std::move(value));
    }
    void pop() {
        std::lock_guard<std::mutex> lock(mutex_);
        values_.pop_back();
    }
    Value current() {
        std::lock_guard<std::mutex> lock(mutex_);
        return values_.back();
    }
    template <class F>
    F real() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reinterpret_cast<F>(real_);
    }

private:
    std::mutex mutex_;
    std::vector<Value> values_;
    void* real_ = nullptr;
};

FakeValues<std::string> modulePaths;
FakeValues<std::string> windowsDirectories;
FakeValues<std::map<char, UINT>> driveTypes;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

DWORD WINAPI fakeGetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module != nullptr && module != GetModuleHandleA(nullptr))
        return modulePaths.real<decltype(&GetModuleFileNameA)>()(module, buffer, size);
    const std::string path = modulePaths.current();
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // Vista and later: as much as fits with a terminator, the buffer size returned.
    if (size > 0) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

UINT WINAPI fakeGetWindowsDirectoryA(LPSTR buffer, UINT size) {
    const std::string directory = windowsDirectories.current();
    if (directory.size() >= size) return static_cast<UINT>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<UINT>(directory.size());
}

UINT WINAPI fakeGetDriveTypeA(LPCSTR root) {
    if (root != nullptr && root[0] != '\0') {
        const std::map<char, UINT> types = driveTypes.current();
        const auto type = types.find(upper(root[0]));
        if (type != types.end()) return type->second;
    }
    return driveTypes.real<decltype(&GetDriveTypeA)>()(root);
}

std::mutex shellExecuteMutex;
std::vector<ShellExecuteCall> shellExecuteCalls;
ShellExecuteRecorder* activeShellExecuteRecorder = nullptr;

std::string orNull(const char* text) { return text != nullptr ? text : "(null)"; }

HINSTANCE WINAPI fakeShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                   INT show) {
    std::lock_guard<std::mutex> lock(shellExecuteMutex);
    shellExecuteCalls.push_back({owner, orNull(verb), orNull(file), orNull(parameters), orNull(directory), show});
    return reinterpret_cast<HINSTANCE>(42);  // above 32: success
}

}  // namespace

FakeModulePath::FakeModulePath(const std::string& path)
    : patch_("kernel32.dll", "GetModuleFileNameA", reinterpret_cast<void*>(&fakeGetModuleFileNameA)) {
    modulePaths.push(path, patch_.original<void*>());
}

FakeModulePath::~FakeModulePath() { modulePaths.pop(); }

FakeWindowsDirectory::FakeWindowsDirectory(const std::string& directory)
    : patch_("kernel32.dll", "GetWindowsDirectoryA", reinterpret_cast<void*>(&fakeGetWindowsDirectoryA)) {
    windowsDirectories.push(directory, patch_.original<void*>());
}

FakeWindowsDirectory::~FakeWindowsDirectory() { windowsDirectories.pop(); }

FakeDriveTypes::FakeDriveTypes(const std::map<char, UINT>& types)
    : patch_("kernel32.dll", "GetDriveTypeA", reinterpret_cast<void*>(&fakeGetDriveTypeA)) {
    std::map<char, UINT> byLetter;
    for (const auto& type : types) byLetter[upper(type.first)] = type.second;
    driveTypes.push(byLetter, patch_.original<void*>());
}

FakeDriveTypes::~FakeDriveTypes() { driveTypes.pop(); }

ShellExecuteRecorder::ShellExecuteRecorder()
    : patch_("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&fakeShellExecuteA)) {
    std::lock_guard<std::mutex> lock(shellExecuteMutex);
    if (activeShellExecuteRecorder != nullptr) ADD_FAILURE() << "another ShellExecuteRecorder is active";
    activeShellExecuteRecorder = this;
    shellExecuteCalls.clear();
}

ShellExecuteRecorder::~ShellExecuteRecorder() {
    std::lock_guard<std::mutex> lock(shellExecuteMutex);
    if (activeShellExecuteRecorder == this) activeShellExecuteRecorder = nullptr;
}

std::vector<ShellExecuteCall> ShellExecuteRecorder::calls() const {
    std::lock_guard<std::mutex> lock(shellExecuteMutex);
    return shellExecuteCalls;
}
