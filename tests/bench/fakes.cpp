#include "tests/bench/fakes.h"

#include <cstring>
#include <vector>

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

Answers<std::string> windowsDirectories;
Answers<std::map<char, UINT>> driveTypes;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

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

}  // namespace

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
