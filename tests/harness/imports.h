// Replaces an entry of the test executable's import table, so that calls from
// the statically linked program code reach a fake; the original comes back
// when the patch goes. GetProcAddress still returns the real function.
#pragma once

#include <windows.h>

class ImportPatch {
public:
    // dll as imported (any case); the function by name or by ordinal. Fails the
    // current test when the executable does not import it.
    ImportPatch(const char* dll, const char* function, void* replacement);
    ImportPatch(const char* dll, WORD ordinal, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    template <class F>
    F original() const {
        return reinterpret_cast<F>(original_);
    }

private:
    void patch(const char* dll, const char* function, WORD ordinal, void* replacement);
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
