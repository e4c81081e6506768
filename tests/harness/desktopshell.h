// The desktop's shell as the run action walks it to start the game as the
// desktop's user: ShellWindows from CoCreateInstance (faked in the import
// table), the desktop window, its top-level browser, its shell view, the
// view's background object, its Application and that object's ShellExecute.
// Each step can be made to fail; every reference handed out is counted.
#pragma once

#include <string>
#include <vector>

#include "tests/harness/imports.h"

// The steps in the order the walk takes them.
extern const char* const kDesktopShellSteps[10];

class FakeDesktopShell {
public:
    // failingStep: one of kDesktopShellSteps, or nullptr for a shell that
    // answers every step. CoCreateInstance of any other class goes on to the
    // real one.
    explicit FakeDesktopShell(const char* failingStep);
    ~FakeDesktopShell();
    FakeDesktopShell(const FakeDesktopShell&) = delete;
    FakeDesktopShell& operator=(const FakeDesktopShell&) = delete;

    // Each ShellExecute as "file|arguments|folder|operation|show", with "-"
    // for an argument left empty.
    std::vector<std::string> executed() const;
    // References handed out and not yet released.
    int heldReferences() const;

private:
    ImportPatch create_;
};
