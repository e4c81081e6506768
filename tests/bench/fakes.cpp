#include "tests/bench/fakes.h"

#include <cstring>

namespace {

// What the active fakes of one kind answer: the newest; and the real function,
// which the outermost replaced.
template <class Value>
struct Answers {
    std::vector<Value> values;
    void* real = nullptr;
    void push(Value value, void* original) {
        if (values.empty()) real = original;
        values.push_back(std::move(value));
    }
};

Answers<std::string> modulePaths, windowsDirectories;
Answers<std::map<char, UINT>> driveTypes;
ShellExecuteRecorder* shellRecorder = nullptr;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

DWORD WINAPI fakeModulePath(HMODULE module, LPSTR buffer, DWORD size) {
    if (module != nullptr && module != GetModuleHandleA(nullptr))
        return reinterpret_cast<decltype(&GetModuleFileNameA)>(modulePaths.real)(module, buffer, size);
    const std::string& path = modulePaths.values.back();
    lstrcpynA(buffer, path.c_str(), static_cast<int>(size));
    if (path.size() < size) return static_cast<DWORD>(path.size());
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

UINT WINAPI fakeWindowsDirectory(LPSTR buffer, UINT size) {
    const std::string& directory = windowsDirectories.values.back();
    if (directory.size() >= size) return static_cast<UINT>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<UINT>(directory.size());
}

UINT WINAPI fakeDriveType(LPCSTR root) {
    const std::map<char, UINT>& types = driveTypes.values.back();
    const auto type = root != nullptr ? types.find(upper(root[0])) : types.end();
    return type != types.end() ? type->second : reinterpret_cast<decltype(&GetDriveTypeA)>(driveTypes.real)(root);
}

std::string orNull(const char* text) { return text != nullptr ? text : "(null)"; }

HINSTANCE WINAPI fakeShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                  INT show) {
    shellRecorder->calls.push_back({orNull(verb), orNull(file), orNull(parameters), orNull(directory), owner, show});
    return reinterpret_cast<HINSTANCE>(42);  // above 32: success
}

}  // namespace

FakeModulePath::FakeModulePath(const std::string& path)
    : ImportPatch("kernel32.dll", "GetModuleFileNameA", reinterpret_cast<void*>(&fakeModulePath)) {
    modulePaths.push(path, original<void*>());
}
FakeModulePath::~FakeModulePath() { modulePaths.values.pop_back(); }

FakeWindowsDirectory::FakeWindowsDirectory(const std::string& directory)
    : ImportPatch("kernel32.dll", "GetWindowsDirectoryA", reinterpret_cast<void*>(&fakeWindowsDirectory)) {
    windowsDirectories.push(directory, original<void*>());
}
FakeWindowsDirectory::~FakeWindowsDirectory() { windowsDirectories.values.pop_back(); }

FakeDriveTypes::FakeDriveTypes(const std::map<char, UINT>& types)
    : ImportPatch("kernel32.dll", "GetDriveTypeA", reinterpret_cast<void*>(&fakeDriveType)) {
    std::map<char, UINT> byLetter;
    for (const auto& type : types) byLetter[upper(type.first)] = type.second;
    driveTypes.push(byLetter, original<void*>());
}
FakeDriveTypes::~FakeDriveTypes() { driveTypes.values.pop_back(); }

ShellExecuteRecorder::ShellExecuteRecorder()
    : ImportPatch("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&fakeShellExecute)) {
    shellRecorder = this;
}
ShellExecuteRecorder::~ShellExecuteRecorder() { shellRecorder = nullptr; }
