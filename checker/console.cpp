#include "checker/console.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>

#include "setupdata/programstate.h"
#include "setupdata/text.h"

namespace {

void writeBytes(const Report& report, const char* bytes, size_t length) {
    DWORD written = 0;
    // Output that cannot be written has nowhere else to go.
    (void)WriteFile(report.handle, bytes, static_cast<DWORD>(length), &written, nullptr);
}

void writeAscii(const Report& report, const char* text) { writeBytes(report, text, std::strlen(text)); }

// text (code page 932) in the report's code page; characters that it lacks become "?".
void writeConverted(const Report& report, const char* text) {
    if (report.codePage == kTextCodePage) {
        writeBytes(report, text, std::strlen(text));
        return;
    }
    wchar_t wide[2048];
    char converted[8192];
    const int wideLength = MultiByteToWideChar(kTextCodePage, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    const int length = wideLength > 0 ? WideCharToMultiByte(report.codePage, 0, wide, wideLength, converted,
                                                            sizeof converted, nullptr, nullptr)
                                      : 0;
    if (length > 1) writeBytes(report, converted, static_cast<size_t>(length - 1));
}

// A JSON string in UTF-8, quoted and escaped.
void writeJsonString(const Report& report, const char* text) {
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
    if (utf8Length > 0) writeBytes(report, utf8, static_cast<size_t>(utf8Length));
}

}  // namespace

Report openReport(const char* tool) {
    Report report = {GetStdHandle(STD_OUTPUT_HANDLE), false, GetConsoleOutputCP(), tool, 0, 0, false};
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

void printUsage(const Report& report, const char* usage, bool wrongCommandLine) {
    Report out = report;
    if (wrongCommandLine) out.handle = GetStdHandle(STD_ERROR_HANDLE);
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
    const bool isError = finding.severity == Severity::error;
    const char* severity = isError ? "error" : "warning";
    if (report.json) {
        beginReport(report, "");
        writeAscii(report, report.errors + report.warnings == 0 ? "\n    " : ",\n    ");
        writeAscii(report, "{\"severity\": \"");
        writeAscii(report, severity);
        writeAscii(report, "\", \"check\": \"");
        writeAscii(report, finding.check);
        writeAscii(report, "\", \"key\": ");
        writeJsonString(report, finding.key);
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
        char line[sizeof finding.key + sizeof finding.problem + 32];
        joinText(line, {severity, ": ", finding.key, ": ", finding.problem, "\r\n"});
        writeConverted(report, line);
    }
    ++(isError ? report.errors : report.warnings);
}

void printError(Report& report, const char* check, const char* key, std::initializer_list<const char*> parts) {
    printFinding(makeFinding(Severity::error, check, key, parts), &report);
}

int finishReport(Report& report, bool unusable) {
    if (report.json) {
        beginReport(report, "");
        char counts[96];
        wsprintfA(counts, "%s],\n  \"errors\": %u,\n  \"warnings\": %u\n}\n",
                  report.errors + report.warnings ? "\n  " : "", report.errors, report.warnings);
        writeAscii(report, counts);
    } else {
        char summary[96];
        wsprintfA(summary, "%s: エラー %u 件、警告 %u 件\r\n", report.tool, report.errors, report.warnings);
        writeConverted(report, summary);
    }
    if (unusable) return kExitUnusable;
    return report.errors > 0 ? kExitErrors : kExitClean;
}
