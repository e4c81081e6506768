// In-process fakes for what the environment cannot produce on demand; each is
// active while its object lives, and they may nest (the newest answers).
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "tests/bench/imports.h"

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
