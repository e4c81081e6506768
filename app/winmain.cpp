// The program's entry: a non-empty command tail is a relaunch request.
#include <windows.h>

#include "app/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int showCommand) {
    if (commandTail != nullptr && commandTail[0] != '\0') {
        relaunchFromCommandTail(commandTail);
    } else {
        runSetup(instance, showCommand);
    }
    return 0;
}
