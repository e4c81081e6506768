// The DirectX setup library DSETUP.dll, imported by ordinal and bound when the
// program loads (the disc carries the library beside the program).
#pragma once

#include <windows.h>

#include "setupdata/setupnames.h"  // its file name and the two ordinals

extern "C" {
// Ordinal 11: the installed runtime's version; the low 16 bits of the first
// value are its minor number.
INT WINAPI dsetupGetVersion(DWORD* version, DWORD* revision);
// Ordinal 5: runs the runtime's setup from root, owned by owner.
INT WINAPI dsetupRun(HWND owner, LPCSTR root, DWORD flags);
}
