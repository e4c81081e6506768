// What the drivers that work the real SETUP.EXE from outside share: Unix
// commands and pictures, the step being worked and its failure, and finding,
// reading, pressing and waiting for the program's windows. The program is the
// process in `setup`, started by start().
#pragma once

#include <windows.h>

#include <functional>
#include <string>

constexpr DWORD kStepTimeoutMs = 30000;
constexpr int kBoxText = 0xFFFF;  // a message box's text

extern std::string shots, failures;  // Unix folders for pictures
extern bool touring;                 // shot() takes pictures only while touring
extern int shotNumber;
extern std::string step;
extern PROCESS_INFORMATION setup;

// --- the outside world ------------------------------------------------------------

void runUnix(const std::string& command);
void picture(const std::string& folder, const std::string& name);
void shot(const std::string& name);
[[noreturn]] void fail(const std::string& detail);
void expect(bool condition, const std::string& detail);
void begin(const std::string& name);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
ULONGLONG lastWriteTime(const std::string& path);
// The folder the install record below HKCU\recordKey names; empty when there is none.
std::string recordedFolder(const std::string& recordKey, LSTATUS* status = nullptr);

// --- windows of the program -----------------------------------------------------------

std::string text(HWND window);
std::string controlText(HWND dialog, int id);
// A window's text as the system holds it, in UTF-16, and a code page 932 text
// in UTF-16: message boxes are compared as the user sees them, whatever the
// system code page.
std::wstring wideText(HWND window);
std::wstring fromCodePage932(const std::string& text);
std::string title(HWND window);
HWND findDialog(const std::function<bool(HWND)>& passes);
HWND waitFor(const std::string& what, const std::function<bool(HWND)>& passes);
HWND waitForDialog(const std::string& wanted, bool launcher = false);
void click(HWND dialog, int id);
void answerBox(const std::string& caption, const std::string& expected, int button, const char* screen = nullptr);

// --- the program's process ------------------------------------------------------------

void start(const std::string& program, const std::string& folder);
DWORD waitForEnd();
