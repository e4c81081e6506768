// A finding of the two tools, as checkDisc and SETUPMK make them and the
// report prints them: how grave, which check, which key or file, and what is
// wrong, in code page 932.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "setupdata/text.h"

// A note tells something that matters only in some cases; it is counted
// neither as an error nor as a warning and leaves the exit code alone.
enum class Severity { error, warning, note };

struct Finding {
    Severity severity;
    const char* check;    // a stable name for build pipelines, such as "missing-file"
    char key[kPathSize];  // the description-file key, or the file or folder concerned
    // The file or folder as the game folder names it, shown instead of key:
    // for a name code page 932 cannot hold, or a path longer than key holds.
    wchar_t wideKey[2 * kPathSize] = L"";
    char problem[1024];  // code page 932, cut at a character boundary when long
    // A summary's every name, where the problem names only the first few; or nullptr.
    const std::vector<std::string>* names = nullptr;
};

// The one way a finding is made: its problem is the parts one after another,
// cut at a character boundary where they do not fit.
Finding makeFinding(Severity severity, const char* check, const char* key, std::initializer_list<const char*> parts);
// The same about a file or folder named in UTF-16, as the game folder names it;
// cut where it does not fit.
Finding makeFinding(Severity severity, const char* check, const wchar_t* key, std::initializer_list<const char*> parts);

// A number as the findings' texts write it.
struct Number {
    char text[16];
};
Number number(unsigned long value);
// The longest path the program composes, kPathSize - 1 bytes, as the texts name it.
extern const Number kLongestPath;

using FindingSink = void (*)(const Finding& finding, void* context);
