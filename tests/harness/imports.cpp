#include "tests/harness/imports.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

// The slot of dll!function (dll!#ordinal when function is nullptr); a DLL may
// have several descriptors.
void** findImportSlot(const char* dll, const char* function, WORD ordinal) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         imports.VirtualAddress != 0 && d->Name != 0; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || d->OriginalFirstThunk == 0) continue;
        // The bound slots hold addresses now; the names are in the lookup table.
        auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++slot) {
            const bool byOrdinal = IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal);
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
            if (function == nullptr
                    ? byOrdinal && IMAGE_ORDINAL(lookup->u1.Ordinal) == ordinal
                    : !byOrdinal && std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slot->u1.Function);
        }
    }
    return nullptr;
}

// Atomic, for other threads may be calling through the slot.
void* exchangeSlot(void** slot, void* value) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    void* previous = InterlockedExchangePointer(slot, value);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return previous;
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement) {
    patch(dll, function, 0, replacement);
}

ImportPatch::ImportPatch(const char* dll, WORD ordinal, void* replacement) {
    patch(dll, nullptr, ordinal, replacement);
}

void ImportPatch::patch(const char* dll, const char* function, WORD ordinal, void* replacement) {
    slot_ = findImportSlot(dll, function, ordinal);
    if (slot_ == nullptr) {
        ADD_FAILURE() << "the test executable does not import " << dll << "!" << (function ? function : "#")
                      << (function ? "" : std::to_string(ordinal));
        return;
    }
    original_ = exchangeSlot(slot_, replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr) exchangeSlot(slot_, original_);
}
