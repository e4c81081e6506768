// SETUPCHK.EXE [--json] [DISC_FOLDER]: checks a disc layout before it is
// pressed. One line per finding in the console's code page and a summary, or
// the same as JSON in UTF-8. Exit code 0 without errors, 1 with errors, 2 when
// the folder or its SETUP.INI cannot be read.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "checker/discchecker.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

// Every text of the program and of the description file is code page 932.
constexpr UINT kTextCodePage = 932;
constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitUnreadable = 2;
constexpr char kUsage[] = "使い方: SETUPCHK.EXE [--json] [ディスクのフォルダ]\r\n"
                          "フォルダを省くと SETUPCHK.EXE のあるフォルダを調べます。\r\n";

struct Output {
    HANDLE handle;
    bool json;
    UINT codePage;  // of the console, for the text form
    unsigned errors;
    unsigned warnings;
};

void writeBytes(const Output& out, const char* bytes, size_t length) {
    DWORD written = 0;
    // Output that cannot be written has nowhere else to go.
    (void)WriteFile(out.handle, bytes, static_cast<DWORD>(length), &written, nullptr);
}

// text (code page 932) in codePage; characters that it lacks become "?".
void writeConverted(const Output& out, const char* text, UINT codePage) {
    if (codePage == kTextCodePage) {
        writeBytes(out, text, std::strlen(text));
        return;
    }
    wchar_t wide[2048];
    char converted[8192];
    const int wideLength = MultiByteToWideChar(kTextCodePage, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    const int length = wideLength > 0 ? WideCharToMultiByte(codePage, 0, wide, wideLength, converted,
                                                            sizeof converted, nullptr, nullptr)
                                      : 0;
    if (length > 1) writeBytes(out, converted, static_cast<size_t>(length - 1));
}

// A JSON string in UTF-8, quoted and escaped.
void writeJsonString(const Output& out, const char* text) {
    wchar_t wide[2048];
    const int wideLength = MultiByteToWideChar(kTextCodePage, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    wchar_t escaped[6 * 2048 + 3];
    size_t length = 0;
    escaped[length++] = L'"';
    for (int i = 0; i + 1 < wideLength; ++i) {
        const wchar_t c = wide[i];
        if (c == L'"' || c == L'\\') {
            escaped[length++] = L'\\';
            escaped[length++] = c;
        } else if (c < 0x20) {
            wsprintfW(escaped + length, L"\\u%04x", static_cast<unsigned>(c));
            length += 6;
        } else {
            escaped[length++] = c;
        }
    }
    escaped[length++] = L'"';
    char utf8[3 * (6 * 2048 + 3)];
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, escaped, static_cast<int>(length), utf8, sizeof utf8,
                                               nullptr, nullptr);
    if (utf8Length > 0) writeBytes(out, utf8, static_cast<size_t>(utf8Length));
}

void writeAscii(const Output& out, const char* text) { writeBytes(out, text, std::strlen(text)); }

void printFinding(const Finding& finding, void* context) {
    auto& out = *static_cast<Output*>(context);
    const bool isError = finding.severity == Severity::error;
    const char* severity = isError ? "error" : "warning";
    if (out.json) {
        writeAscii(out, out.errors + out.warnings == 0 ? "\n    " : ",\n    ");
        writeAscii(out, "{\"severity\": \"");
        writeAscii(out, severity);
        writeAscii(out, "\", \"check\": \"");
        writeAscii(out, finding.check);
        writeAscii(out, "\", \"key\": ");
        writeJsonString(out, finding.key);
        writeAscii(out, ", \"problem\": ");
        writeJsonString(out, finding.problem);
        writeAscii(out, "}");
    } else {
        char line[sizeof finding.key + sizeof finding.problem + 32];
        joinText(line, {severity, ": ", finding.key, ": ", finding.problem, "\r\n"});
        writeConverted(out, line, out.codePage);
    }
    ++(isError ? out.errors : out.warnings);
}

void printSummary(const Output& out) {
    if (out.json) {
        char counts[96];
        wsprintfA(counts, "%s],\n  \"errors\": %u,\n  \"warnings\": %u\n}\n", out.errors + out.warnings ? "\n  " : "",
                  out.errors, out.warnings);
        writeAscii(out, counts);
    } else {
        char summary[96];
        wsprintfA(summary, "SETUPCHK: エラー %u 件、警告 %u 件\r\n", out.errors, out.warnings);
        writeConverted(out, summary, out.codePage);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Output out = {GetStdHandle(STD_OUTPUT_HANDLE), false, GetConsoleOutputCP(), 0, 0};
    // Without a console (output to a file or pipe) the OEM code page is what
    // a console would have used.
    if (out.codePage == 0) out.codePage = GetOEMCP();

    const char* folderArgument = nullptr;
    bool help = false;
    bool usageError = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            out.json = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "/?") == 0) {
            help = true;
        } else if (argv[i][0] == '-' || folderArgument != nullptr) {
            usageError = true;
        } else {
            folderArgument = argv[i];
        }
    }
    if (help || usageError) {
        Output usage = out;
        if (usageError) usage.handle = GetStdHandle(STD_ERROR_HANDLE);
        writeConverted(usage, kUsage, out.codePage);
        return usageError ? kExitUnreadable : kExitClean;
    }

    // A folder that cannot be named in full stays empty and reads as unreadable.
    char folder[kPathSize] = "";
    if (folderArgument == nullptr) {
        (void)getProgramFolder(folder);
    } else {
        const DWORD length = GetFullPathNameA(folderArgument, kPathSize, folder, nullptr);
        if (length == 0 || length >= kPathSize) folder[0] = '\0';
    }

    if (out.json) {
        writeAscii(out, "{\n  \"disc\": ");
        writeJsonString(out, folder);
        writeAscii(out, ",\n  \"findings\": [");
    }
    const DiscVerdict verdict = checkDisc(folder, printFinding, &out);
    printSummary(out);
    if (verdict == DiscVerdict::unreadable) return kExitUnreadable;
    return out.errors > 0 ? kExitErrors : kExitClean;
}
