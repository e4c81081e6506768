#include "tests/bench/imports.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The import-table slot of dll!function (or dll!#ordinal when function is
// nullptr) in the executable, or nullptr. A DLL may have several descriptors.
void** findImportSlot(const char* dll, const char* function, WORD ordinal) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return nullptr;

    for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) continue;
        // The bound slots hold addresses now; the names are in the lookup table.
        if (descriptor->OriginalFirstThunk == 0) continue;
        auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) {
                if (function == nullptr && IMAGE_ORDINAL(lookup->u1.Ordinal) == ordinal)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            } else if (function != nullptr) {
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

// Writes the slot even where the loader left the table read-only; the store is
// atomic because other threads may be calling through it.
void* exchangeSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection)) {
        ADD_FAILURE() << "VirtualProtect of an import slot failed, error " << GetLastError();
        return nullptr;
    }
    void* previous = InterlockedExchangePointer(slot, value);
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof *slot, oldProtection, &ignored);
    return previous;
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement) {
    slot_ = findImportSlot(dll, function, 0);
    if (slot_ == nullptr) {
        ADD_FAILURE() << "the test executable does not import " << dll << "!" << function;
        return;
    }
    original_ = exchangeSlot(slot_, replacement);
    if (original_ == nullptr) slot_ = nullptr;
}

ImportPatch::ImportPatch(const char* dll, WORD ordinal, void* replacement) {
    slot_ = findImportSlot(dll, nullptr, ordinal);
    if (slot_ == nullptr) {
        ADD_FAILURE() << "the test executable does not import " << dll << " ordinal " << ordinal;
        return;
    }
    original_ = exchangeSlot(slot_, replacement);
    if (original_ == nullptr) slot_ = nullptr;
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr) exchangeSlot(slot_, original_);
}
