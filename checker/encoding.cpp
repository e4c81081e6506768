// The description file's encoding, and the test for UTF-8 that AUTORUN.INF's
// check shares.
#include <windows.h>

#include <string>

#include "checker/check.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"

namespace {

// The description file is read this far to tell its encoding.
constexpr DWORD kEncodingProbeBytes = 1u << 20;

}  // namespace

// Whether bytes are UTF-8 with at least one character beyond ASCII: text in
// code page 932 almost never is, as its double-byte characters' second bytes
// are mostly ASCII or lead bytes.
bool isUtf8BeyondAscii(const std::string& bytes) {
    bool beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead < 0x80                    ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        // No overlong three- or four-byte forms.
        const auto second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90)) return false;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

// SETUP.EXE reads its description file as text in code page 932: in another
// encoding its Japanese names come out garbled, in the window titles, the
// install folder and the shortcuts. Returns whether it said so.
bool checkEncoding(Check& check) {
    HANDLE file = CreateFileA(programState.descriptionPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;  // openDisc has said so
    std::string bytes(kEncodingProbeBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), kEncodingProbeBytes, &read, nullptr)) read = 0;
    CloseHandle(file);
    bytes.resize(read);
    // A probe that ends inside a character is cut back to the last whole one.
    if (read == kEncodingProbeBytes) {
        while (!bytes.empty() && (static_cast<unsigned char>(bytes.back()) & 0x80) != 0) bytes.pop_back();
    }
    const char* encoding = nullptr;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding = "UTF-8 (BOM 付き) で書かれています";
    } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        encoding = "UTF-16 (BOM 付き) で書かれています";
    } else if (isUtf8BeyondAscii(bytes)) {
        encoding = "UTF-8 で書かれています";
    }
    if (encoding == nullptr) return false;
    error(check, "encoding", lastPathComponent(programState.descriptionPath),
          {encoding,
           "。SETUP.EXE はコードページ 932 (Shift_JIS) として読むため、日本語の名前が文字化けします。"
           "エディタで文字コードを Shift_JIS (CP932)、BOM なしにして保存し直してください"});
    return true;
}
