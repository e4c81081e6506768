// The program's two starts: the relaunch form for a non-empty command tail,
// and the normal start that runs the launcher over the backdrop.
#pragma once

#include <windows.h>

// Opens program folder + commandTail with the shell, working folder the program
// folder. Nothing is opened when the composed path does not fit.
void relaunchFromCommandTail(const char* commandTail);

// Whether the process's ANSI code page is 932, which every text and path rule
// of the program presupposes. When it is not, says so in one message box,
// readable whatever the code page, and nothing else happens.
bool requireJapaneseCodePage();

// Under code page 932 only: common controls, COM, the mutex "SETUP", the
// backdrop and the launcher dialog; returns when the launcher has ended and
// everything is released.
void runSetup(HINSTANCE instance, int showCommand);
