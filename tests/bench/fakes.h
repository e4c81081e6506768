// In-process fakes for what the environment cannot produce on demand; each is
// active while its object lives.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/bench/imports.h"

// GetModuleFileNameA for the executable itself (module nullptr) answers path,
// with the real function's behaviour for a short buffer.
class FakeModulePath {
public:
    explicit FakeModulePath(const std::string& path);
    ~FakeModulePath();
private:
    ImportPatch patch_;
};

// GetWindowsDirectoryA answers directory.
class FakeWindowsDirectory {
public:
    explicit FakeWindowsDirectory(const std::string& directory);
    ~FakeWindowsDirectory();
private:
    ImportPatch patch_;
};

// GetDriveTypeA answers the given type for a root on one of these drive
// letters (either case); other roots get the real answer.
class FakeDriveTypes {
public:
    explicit FakeDriveTypes(const std::map<char, UINT>& types);
    ~FakeDriveTypes();
private:
    ImportPatch patch_;
};

// Records ShellExecuteA calls instead of opening anything.
struct ShellExecuteCall {
    HWND owner;
    std::string verb, file, parameters, directory;  // "(null)" for a null pointer
    int show;
};
class ShellExecuteRecorder {
public:
    ShellExecuteRecorder();
    ~ShellExecuteRecorder();
    std::vector<ShellExecuteCall> calls() const;
private:
    ImportPatch patch_;
};
