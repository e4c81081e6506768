// In-process fakes for what the environment cannot produce on demand; each is
// active while its object lives, and they may nest (the newest answers).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/bench/imports.h"

// GetModuleFileNameA for the executable itself answers path (cut like the
// real function in a short buffer).
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

// GetDriveTypeA answers these types for roots on these letters; others are real.
class FakeDriveTypes {
public:
    explicit FakeDriveTypes(const std::map<char, UINT>& types);
    ~FakeDriveTypes();
private:
    ImportPatch patch_;
};

// ShellExecuteA calls, recorded instead of opening anything.
struct ShellExecuteCall {
    std::string verb, file, parameters, directory;  // "(null)" for a null pointer
    HWND owner;
    int show;
};
class ShellExecuteRecorder {
public:
    ShellExecuteRecorder();
    ~ShellExecuteRecorder();
    std::vector<ShellExecuteCall> calls;
private:
    ImportPatch patch_;
};
