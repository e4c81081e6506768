#include "report/finding.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

Finding makeFinding(Severity severity, const char* check, const char* key, std::initializer_list<const char*> parts) {
    Finding finding;
    finding.severity = severity;
    finding.check = check;
    copyTextCut(finding.key, key);
    finding.problem[0] = '\0';
    for (const char* part : parts) {
        const size_t length = std::strlen(finding.problem);
        copyTextCut(finding.problem + length, sizeof finding.problem - length, part);
    }
    return finding;
}

Finding makeFinding(Severity severity, const char* check, const wchar_t* key,
                    std::initializer_list<const char*> parts) {
    Finding finding = makeFinding(severity, check, "", parts);
    constexpr size_t kLast = std::size(finding.wideKey) - 1;
    size_t length = std::min(static_cast<size_t>(lstrlenW(key)), kLast);
    // A surrogate pair is not split.
    if (length == kLast && IS_HIGH_SURROGATE(key[length - 1])) --length;
    std::copy(key, key + length, finding.wideKey);
    finding.wideKey[length] = L'\0';
    return finding;
}

Number number(unsigned long value) {
    Number n;
    wsprintfA(n.text, "%lu", value);
    return n;
}

const Number kLongestPath = number(kPathSize - 1);
