// Throwaway files and registry keys for one test, removed again at its end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "setupdata/programstate.h"
#include "tests/harness/imports.h"

// Puts the program state back to all zero, as at the program's start.
void resetProgramState();

// Removes folder with everything in it, when it exists.
void removeFolderTree(const std::string& folder);

// A temporary disc folder. The program's own path is faked as
// <folder>\SETUP<n>.EXE with a new n per disc (Wine caches description files
// by name), so the description file is <folder>\SETUP<n>.INI and the splash
// files <folder>\SETUP<n>0.BMP to ...3.BMP.
class TempDisc {
public:
    TempDisc();
    ~TempDisc();
    TempDisc(const TempDisc&) = delete;
    TempDisc& operator=(const TempDisc&) = delete;

    // "[InstallInfo]" and the lines (code page 932 bytes), CRLF after each.
    void writeSetupFile(const std::vector<std::string>& lines);
    void writeSplash(int index, const std::string& bytes) { writeFile(name_ + std::to_string(index) + ".BMP", bytes); }
    void writeFile(const std::string& relativePath, const std::string& bytes);
    void makeFolder(const std::string& relativePath);

    std::string folder() const { return folder_; }  // without a trailing backslash
    std::string path(const std::string& relativePath) const { return folder_ + "\\" + relativePath; }
    std::string setupFilePath() const { return path(name_ + ".INI"); }
    std::string splashPath(int index) const { return path(name_ + std::to_string(index) + ".BMP"); }

private:
    std::string folder_, name_;  // name_: SETUP<n>
    ImportPatch modulePath_;     // GetModuleFileNameA answers <folder>\<name>.EXE
};

// A unique key HKCU\Software\<name>, deleted with all below it at the end.
class TempRegistryKey {
public:
    TempRegistryKey();
    ~TempRegistryKey() { RegDeleteTreeA(HKEY_CURRENT_USER, subKey().c_str()); }
    const std::string& name() const { return name_; }  // for REG_NAME
    std::string subKey() const { return "Software\\" + name_; }
    bool exists() const;
    void setValue(const char* valueName, DWORD type, const void* data, DWORD size) const;

private:
    std::string name_;
};

// A Unix symbolic link at link (a Windows path) to the folder target, made
// with ln: Wine reports a link to a folder as a reparse point, as Windows
// reports a junction. Removed again (the link, not what it leads to) at the end.
class UnixLink {
public:
    UnixLink(const std::string& link, const std::string& target);
    ~UnixLink();
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;

private:
    std::string link_;
    std::wstring unixLink_;
};

// The user's Startup folder as a SHORTCATDIR names it below the Programs
// folder, in capitals; empty when it lies elsewhere.
std::string startupShortcutFolder();

// A bitmap file: 14-byte file header, 40-byte information header and
// bottom-up rows of 24-bit (or 32-bit, transparent) pixels, all of one colour.
std::string makeBitmapFile(int width, int height, COLORREF colour, WORD bits = 24);
