#include "report/console.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>

#include "setupdata/text.h"

namespace {

void writeBytes(const Report& report, const char* bytes, size_t length) {
    DWORD written = 0;
    // Output that cannot be written has nowhere else to go.
    (void)WriteFile(report.handle, bytes, static_cast<DWORD>(length), &written, nullptr);
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// Converted this many UTF-16 units at a time.
constexpr int kWidePiece = 1024;

// text to the report: as it is to a console; else in UTF-8 for JSON or in the
// console's code page, where a character it lacks becomes "?", never a
// similar one.
void writeWide(const Report& report, const wchar_t* text, int length) {
    if (report.console) {
        DWORD written = 0;
        // As writeBytes: nowhere else to go.
        if (length > 0) (void)WriteConsoleW(report.handle, text, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    const UINT codePage = report.json ? CP_UTF8 : report.codePage;
    while (length > 0) {
        int piece = length < kWidePiece ? length : kWidePiece;
        // A surrogate pair stays whole.
        if (piece < length && IS_HIGH_SURROGATE(text[piece - 1])) --piece;
        char bytes[4 * kWidePiece];
        int size = WideCharToMultiByte(codePage, codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, text, piece, bytes,
                                       sizeof bytes, nullptr, nullptr);
        // The few code pages that take no flags (the ISO-2022 ones, UTF-7) have no similar characters either.
        if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
            size = WideCharToMultiByte(codePage, 0, text, piece, bytes, sizeof bytes, nullptr, nullptr);
        }
        if (size > 0) writeBytes(report, bytes, static_cast<size_t>(size));
        text += piece;
        length -= piece;
    }
}

void writeWide(const Report& report, const wchar_t* text) { writeWide(report, text, lstrlenW(text)); }

void writeAscii(const Report& report, const char* text) {
    wchar_t wide[256];
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    writeWide(report, wide, length - 1);
}

// A text of the tools (code page 932) to the report.
void writeConverted(const Report& report, const char* text) {
    wchar_t wide[2048];
    const int length = MultiByteToWideChar(kTextCodePage, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    writeWide(report, wide, length - 1);
}

// A JSON string, quoted and escaped.
void writeJsonString(const Report& report, const wchar_t* text) {
    wchar_t escaped[kWidePiece + 8];
    int length = 0;
    escaped[length++] = L'"';
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (*p == L'"' || *p == L'\\') {
            escaped[length++] = L'\\';
            escaped[length++] = *p;
        } else if (*p < 0x20) {
            length += wsprintfW(escaped + length, L"\\u%04x", static_cast<unsigned>(*p));
        } else {
            escaped[length++] = *p;
        }
        if (length >= kWidePiece && !IS_HIGH_SURROGATE(*p)) {
            writeWide(report, escaped, length);
            length = 0;
        }
    }
    escaped[length++] = L'"';
    writeWide(report, escaped, length);
}

void writeJsonString(const Report& report, const char* text) {
    wchar_t wide[2048];
    if (MultiByteToWideChar(kTextCodePage, 0, text, -1, wide, static_cast<int>(std::size(wide))) == 0) wide[0] = L'\0';
    writeJsonString(report, wide);
}

}  // namespace

Report openReport(const char* tool) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    Report report = {output, isConsole(output), false, GetConsoleOutputCP(), tool, 0, 0, 0, false};
    // Without a console (output to a file or pipe) the OEM code page is what
    // a console would have used.
    if (report.codePage == 0) report.codePage = GetOEMCP();
    return report;
}

wchar_t** readArguments(int& count) {
    count = 0;
    return CommandLineToArgvW(GetCommandLineW(), &count);
}

bool takeReportOption(const wchar_t* argument, Report& report, bool& help) {
    if (lstrcmpW(argument, L"--json") == 0) {
        report.json = true;
    } else if (lstrcmpW(argument, L"--help") == 0 || lstrcmpW(argument, L"/?") == 0) {
        help = true;
    } else {
        return false;
    }
    return true;
}

bool toAnsiText(const wchar_t* text, char* converted, int size) {
    BOOL substituted = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, converted, size, nullptr, &substituted);
    // And back again: a character the conversion took for another is refused too.
    wchar_t back[kPathSize * 4];
    if (length == 0 || substituted ||
        MultiByteToWideChar(CP_ACP, 0, converted, -1, back, static_cast<int>(std::size(back))) == 0 ||
        lstrcmpW(back, text) != 0) {
        if (size > 0) converted[0] = '\0';
        return false;
    }
    return true;
}

void toShownText(const wchar_t* text, char* shown, int size) {
    if (WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, text, -1, shown, size, "?", nullptr) == 0) {
        copyTextCut(shown, static_cast<size_t>(size), "?");
    }
}

void printUsage(const Report& report, const char* usage, bool wrongCommandLine) {
    Report out = report;
    out.json = false;
    if (wrongCommandLine) {
        out.handle = GetStdHandle(STD_ERROR_HANDLE);
        out.console = isConsole(out.handle);
    }
    writeConverted(out, usage);
}

void beginReport(Report& report, const char* folder) {
    if (!report.json || report.begun) return;
    report.begun = true;
    writeAscii(report, "{\n  \"disc\": ");
    writeJsonString(report, folder);
    writeAscii(report, ",\n  \"findings\": [");
}

void printFinding(const Finding& finding, void* context) {
    auto& report = *static_cast<Report*>(context);
    const char* const severities[] = {"error", "warning", "note"};
    const char* severity = severities[static_cast<int>(finding.severity)];
    const bool wideKey = finding.wideKey[0] != L'\0';
    if (report.json) {
        beginReport(report, "");
        writeAscii(report, report.errors + report.warnings + report.notes == 0 ? "\n    " : ",\n    ");
        writeAscii(report, "{\"severity\": \"");
        writeAscii(report, severity);
        writeAscii(report, "\", \"check\": \"");
        writeAscii(report, finding.check);
        writeAscii(report, "\", \"key\": ");
        wideKey ? writeJsonString(report, finding.wideKey) : writeJsonString(report, finding.key);
        writeAscii(report, ", \"problem\": ");
        writeJsonString(report, finding.problem);
        if (finding.names != nullptr) {
            writeAscii(report, ", \"names\": [");
            for (size_t i = 0; i < finding.names->size(); ++i) {
                if (i > 0) writeAscii(report, ", ");
                writeJsonString(report, (*finding.names)[i].c_str());
            }
            writeAscii(report, "]");
        }
        writeAscii(report, "}");
    } else {
        writeAscii(report, severity);
        writeAscii(report, ": ");
        wideKey ? writeWide(report, finding.wideKey) : writeConverted(report, finding.key);
        writeAscii(report, ": ");
        writeConverted(report, finding.problem);
        writeAscii(report, "\r\n");
    }
    ++(finding.severity == Severity::error     ? report.errors
       : finding.severity == Severity::warning ? report.warnings
                                               : report.notes);
}

void printError(Report& report, const char* check, const char* key, std::initializer_list<const char*> parts) {
    printFinding(makeFinding(Severity::error, check, key, parts), &report);
}

int finishReport(Report& report, bool unusable) {
    if (report.json) {
        beginReport(report, "");
        char counts[128];
        wsprintfA(counts, "%s],\n  \"errors\": %u,\n  \"warnings\": %u,\n  \"notes\": %u\n}\n",
                  report.errors + report.warnings + report.notes ? "\n  " : "", report.errors, report.warnings,
                  report.notes);
        writeAscii(report, counts);
    } else {
        char summary[128];
        wsprintfA(summary, "%s: エラー %u 件、警告 %u 件", report.tool, report.errors, report.warnings);
        writeConverted(report, summary);
        wsprintfA(summary, report.notes > 0 ? "、注記 %u 件\r\n" : "\r\n", report.notes);
        writeConverted(report, summary);
    }
    if (unusable) return kExitUnusable;
    return report.errors > 0 ? kExitErrors : kExitClean;
}
