// Where the folder dialog puts the game: the default install folder and the
// one below a folder the user picked. Apart from the dialog, so that what
// composes the paths can be used without it.
#pragma once

#include "setupdata/text.h"

// The default install folder: the Windows directory's drive root +
// "Program Files\" + defaultDirName. False, and folder empty, when it does not fit.
bool composeDefaultInstallFolder(const char* defaultDirName, char (&folder)[kPathSize]);

// The install folder below a chosen parent: parent + "\" (unless it ends in
// one) + defaultDirName. False, and folder empty, when it does not fit.
bool composeInstallFolder(const char* parent, const char* defaultDirName, char (&folder)[kPathSize]);
