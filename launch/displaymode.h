// The display-mode switch for a display below high colour, and the restart
// that some systems need before a new mode takes effect.
#pragma once

#include <windows.h>

#include <cstddef>

// The display-mode record in its 148-byte form: DEVMODEA without the two
// trailing panning fields, which the switch neither reads nor requests.
constexpr WORD kDisplayModeSize = offsetof(DEVMODEA, dmPanningWidth);
#ifndef _WIN64
static_assert(kDisplayModeSize == 148, "the 32-bit display-mode record's short form is 148 bytes");
#endif

// Depth, width and height: the only settings read and requested.
constexpr DWORD kDisplayModeFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;

// Chooses a mode of 24, 32 or 16 bits (in that order of preference), at least
// 640 x 480 and no larger than currentDisplayMode, and changes to it. Shows why
// nothing changed when no mode fits; when the change needs a restart, asks,
// registers the program to run once at the next logon and restarts.
void switchDisplayMode(HWND launcher);
