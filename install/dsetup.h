// The DirectX setup library DSETUP.dll, imported by ordinal and bound when the
// program loads (the disc carries the library beside the program).
#pragma once

#include <windows.h>

extern "C" {
// Ordinal 11: the installed runtime's version; the low 16 bits of the first
// value are its minor number.
INT WINAPI dsetupGetVersion(DWORD* version, DWORD* revision);
// Ordinal 5: runs the runtime's setup from root, owned by owner.
INT WINAPI dsetupRun(HWND owner, LPCSTR root, DWORD flags);
}

// The library's file name beside the program, and the runtime's setup program
// that the sample disc's stand-in runs from the source folder.
constexpr char kDsetupLibrary[] = "DSETUP.dll";
constexpr char kDxSetupProgram[] = "DXSETUP.EXE";

constexpr WORD kDsetupGetVersionOrdinal = 11;
constexpr WORD kDsetupRunOrdinal = 5;
