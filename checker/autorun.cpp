// A hand-made AUTORUN.INF, as the shell reads it.
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "checker/check.h"
#include "report/console.h"
#include "report/peimage.h"
#include "setupdata/setupnames.h"
#include "setupdata/text.h"

namespace {

// What the shell shows of an AutoPlay label.
constexpr size_t kShownLabelLength = 32;
// AUTORUN.INF is read this far; one made by hand is a few lines.
constexpr DWORD kAutorunProbeBytes = 64u << 10;

// A value of AUTORUN.INF's [autorun] section as the shell reads it; false when the key is missing.
template <size_t N>
bool readAutorunValue(const wchar_t* path, const wchar_t* key, wchar_t (&value)[N]) {
    constexpr wchar_t kMissing[] = L"\x1";
    GetPrivateProfileStringW(L"autorun", key, kMissing, value, static_cast<DWORD>(N), path);
    return lstrcmpW(value, kMissing) != 0;
}

}  // namespace

// A hand-made AUTORUN.INF (SETUPMK writes a sound one): how the shell reads
// it, whether AutoPlay starts this disc's SETUP.EXE, and the drive's icon and
// label. Only what it says of the drive is judged: a wrong one never keeps the
// game from installing, but one that starts something else does.
void checkAutorun(Check& check) {
    char path[kPathSize];
    if (!joinText(path, {check.programFolder, kAutorunFileName}) || !PathFileExistsA(path)) return;
    wchar_t widePath[kPathSize];
    HANDLE file = MultiByteToWideChar(kTextCodePage, 0, path, -1, widePath, kPathSize) != 0
                      ? CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        error(check, "autorun-open", kAutorunFileName, {"読めません。自動再生は SETUP.EXE を起動しません"});
        return;
    }
    std::string bytes(kAutorunProbeBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), kAutorunProbeBytes, &read, nullptr)) read = 0;
    CloseHandle(file);
    bytes.resize(read);
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
        (!utf16 && isUtf8BeyondAscii(bytes))) {
        error(check, "autorun-encoding", kAutorunFileName,
              {"UTF-8 か UTF-16 ビッグエンディアンで書かれています。Windows はこれを読めず、ラベルは文字化けするか、"
               "自動再生の指定ごと読まれません。UTF-16 LE (BOM 付き) で保存し直してください"});
        return;
    }
    if (!utf16 && !ascii) {
        warning(check, "autorun-encoding", kAutorunFileName,
                {"BOM の無いコードページ 932 (Shift_JIS) です。日本語の Windows 以外ではラベルが文字化けします。"
                 "UTF-16 LE (BOM 付き) で保存してください"});
    }

    wchar_t value[kPathSize];
    char shown[kPathSize];
    if (!readAutorunValue(widePath, L"open", value)) {
        error(check, "autorun-open", kAutorunFileName, {"open= がありません。自動再生で SETUP.EXE が起動されません"});
    } else {
        const wchar_t* name = value + (value[0] == L'\\' ? 1 : value[0] == L'.' && value[1] == L'\\' ? 2 : 0);
        if (lstrcmpiW(name, kSetupProgramNameW.text) != 0) {
            toShownText(value, shown);
            error(check, "autorun-open", kAutorunFileName,
                  {"open= は「", shown, "」です。自動再生でこのディスクの SETUP.EXE (引数なし) が起動されません"});
        }
    }
    if (readAutorunValue(widePath, L"icon", value) && value[0] != L'\0') {
        // "FILE[,N]", relative to the disc's root.
        wchar_t* comma = std::wcsrchr(value, L',');
        const UINT index = comma != nullptr ? static_cast<UINT>(std::wcstoul(comma + 1, nullptr, 10)) : 0;
        if (comma != nullptr) *comma = L'\0';
        wchar_t discFolder[kPathSize];
        wchar_t iconPath[kPathSize];
        const bool fits = MultiByteToWideChar(kTextCodePage, 0, check.programFolder, -1, discFolder, kPathSize) > 0 &&
                          joinText(iconPath, {discFolder, value + (value[0] == L'\\' ? 1 : 0)});
        toShownText(value, shown);
        if (!fits || GetFileAttributesW(iconPath) == INVALID_FILE_ATTRIBUTES) {
            warning(check, "autorun-icon", kAutorunFileName,
                    {"icon= の ", shown, " がディスクにありません。ドライブは既定のアイコンで表示されます"});
        } else if (iconCount(iconPath) <= index) {
            warning(check, "autorun-icon", kAutorunFileName,
                    {"icon= の ", shown, " に ", number(index).text,
                     " 番のアイコンがありません。ドライブは既定のアイコンで表示されます"});
        }
    }
    if (readAutorunValue(widePath, L"label", value) && static_cast<size_t>(lstrlenW(value)) > kShownLabelLength) {
        warning(check, "autorun-label", kAutorunFileName,
                {"label= は ", number(static_cast<unsigned long>(lstrlenW(value))).text, " 文字あり、Windows は最初の ",
                 number(kShownLabelLength).text, " 文字しか表示しません"});
    }
}
