// The one disc check both tools report: SETUPCHK.EXE on the folder it is
// given, SETUPMK.EXE on the disc it has just written. Declared here, beside
// the report, so that neither tool includes the other; defined by the checker
// (checker/), which both tools link. It applies the setup program's own rules
// to a disc folder and reports every mistake a user would otherwise meet only
// while installing.
#pragma once

#include "report/finding.h"
#include "setupdata/splashfile.h"

enum class DiscVerdict {
    checked,     // every finding has been reported
    unreadable,  // the folder or its SETUP.INI cannot be read at all (one finding says which)
};

// Checks the disc whose SETUP.EXE lies in discFolder, as that SETUP.EXE would
// find its files, and hands each finding to sink. Uses the program state for
// the description file, as the program does.
DiscVerdict checkDisc(const char* discFolder, FindingSink sink, void* context);

// Why SETUP.EXE does not show a splash file, in words (code page 932), and
// how to save it so that it does.
const char* splashProblemText(SplashProblem problem);
