// Replaces entries of the test executable's import table, so that calls from
// the statically linked program code reach a fake. GetProcAddress still
// returns the real function.
#pragma once

#include <windows.h>

class ImportPatch {
public:
    // dll as imported (case-insensitive, e.g. "user32.dll"); function by name.
    // Fails the current test when the import is not found.
    ImportPatch(const char* dll, const char* function, void* replacement);
    // The same, for an import by ordinal.
    ImportPatch(const char* dll, WORD ordinal, void* replacement);
    ~ImportPatch();  // puts the original back
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    template <class F>
    F original() const { return reinterpret_cast<F>(original_); }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
