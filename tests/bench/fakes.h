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
struct FakeModulePath : ImportPatch {
    explicit FakeModulePath(const std::string& path);
    ~FakeModulePath();
};

// GetWindowsDirectoryA answers directory.
struct FakeWindowsDirectory : ImportPatch {
    explicit FakeWindowsDirectory(const std::string& directory);
    ~FakeWindowsDirectory();
};

// GetDriveTypeA answers these types for roots on these letters; others are real.
struct FakeDriveTypes : ImportPatch {
    explicit FakeDriveTypes(const std::map<char, UINT>& types);
    ~FakeDriveTypes();
};

// ShellExecuteA calls, recorded instead of opening anything.
struct ShellExecuteCall {
    std::string verb, file, parameters, directory;  // "(null)" for a null pointer
    HWND owner;
    int show;
};
struct ShellExecuteRecorder : ImportPatch {
    ShellExecuteRecorder();
    ~ShellExecuteRecorder();
    std::vector<ShellExecuteCall> calls;
};
