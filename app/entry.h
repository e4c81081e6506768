// The program's two starts: the relaunch form for a non-empty command tail,
// and the normal start that runs the launcher over the backdrop.
#pragma once

#include <windows.h>

// Opens program folder + commandTail with the shell, working folder the program
// folder. Nothing is opened when the tail would lead out of the program folder
// (a ".." level, a drive, a stream or a device: staysInsideFolder) or begins at
// a root ("\" or "/"), nor when the composed path does not fit.
void relaunchFromCommandTail(const char* commandTail);

// Restricts the libraries loaded from now on to the system folder, where the
// system has the call (looked up, as systems before it lack it): an elevated
// program must not load a library planted beside it. The first call of both
// starts; DSETUP.dll, bound at load time, comes before it all the same.
void restrictLibrarySearch();

// Whether the process's ANSI code page is 932, which every text and path rule
// of the program presupposes. When it is not, says so in one message box,
// readable whatever the code page, and nothing else happens.
bool requireJapaneseCodePage();

// Under code page 932 only (after restrictLibrarySearch): common controls, COM, the mutex "SETUP", the
// backdrop and the launcher dialog; returns when the launcher has ended and
// everything is released.
void runSetup(HINSTANCE instance, int showCommand);
