// What the two console tools share: their command line, and their report of
// findings, one line each or JSON, with a summary and the exit code. A console
// gets the report in UTF-16, so that it reads right whatever its code page; a
// file or pipe gets it in the console's code page, or in UTF-8 as JSON.
#pragma once

#include <windows.h>

#include "report/finding.h"

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitUnusable = 2;  // bad arguments, or input that cannot be read

struct Report {
    HANDLE handle;
    bool console;  // handle is a console: written in UTF-16
    bool json;
    UINT codePage;     // of the console, for the text form to a file or pipe
    const char* tool;  // "SETUPCHK", named in the summary
    unsigned errors;
    unsigned warnings;
    unsigned notes;  // counted apart: they leave the exit code alone
    bool begun;      // the JSON head is written
};

Report openReport(const char* tool);

// The arguments as the user typed them, in UTF-16 (argument 0 the program);
// nullptr when there are none to be had. Free with LocalFree.
wchar_t** readArguments(int& count);

// Handles --json, --help and /?; false for any other argument.
bool takeReportOption(const wchar_t* argument, Report& report, bool& help);

// text in the ANSI code page, which the program's calls read (932 under the
// Japanese locale); false when it does not fit or holds a character that code
// page lacks: nothing is substituted, not even by a similar character.
bool toAnsiText(const wchar_t* text, char* converted, int size);
template <int N>
bool toAnsiText(const wchar_t* text, char (&converted)[N]) {
    return toAnsiText(text, converted, N);
}

// text in code page 932 for a finding's words: a character the code page
// lacks becomes "?", never a similar one; "?" alone when it does not fit.
void toShownText(const wchar_t* text, char* shown, int size);
template <int N>
void toShownText(const wchar_t* text, char (&shown)[N]) {
    toShownText(text, shown, N);
}

// The usage text (code page 932): to standard error after a wrong command line.
void printUsage(const Report& report, const char* usage, bool wrongCommandLine);

// Opens the JSON form's findings with the folder concerned; nothing in text form.
void beginReport(Report& report, const char* folder);

// A FindingSink; context is the Report.
void printFinding(const Finding& finding, void* context);

// Reports one error of the tool itself in the findings' form.
void printError(Report& report, const char* check, const char* key, std::initializer_list<const char*> parts);

// Ends the report with its summary; returns the exit code: kExitUnusable when
// unusable, else by the errors counted.
int finishReport(Report& report, bool unusable);
