#include "setupdata/text.h"

#include <windows.h>

#include <cstring>
#include <string>

template <typename C>
bool joinText(C* dest, size_t destSize, std::initializer_list<const C*> parts) {
    size_t length = 0;
    for (const C* part : parts) {
        const size_t partLength = std::char_traits<C>::length(part);
        if (partLength >= destSize - length) {
            dest[0] = C();
            return false;
        }
        std::memcpy(dest + length, part, partLength * sizeof(C));
        length += partLength;
    }
    dest[length] = C();
    return true;
}
template bool joinText(char* dest, size_t destSize, std::initializer_list<const char*> parts);
template bool joinText(wchar_t* dest, size_t destSize, std::initializer_list<const wchar_t*> parts);

void copyTextCut(char* dest, size_t destSize, const char* src) {
    size_t length = 0;
    for (const char* p = src; *p != '\0';) {
        const char* next = CharNextA(p);
        const size_t charLength = static_cast<size_t>(next - p);
        if (length + charLength >= destSize) break;
        std::memcpy(dest + length, p, charLength);
        length += charLength;
        p = next;
    }
    dest[length] = '\0';
}

void formatTextCut(char* dest, size_t destSize, const char* format, const char* text) {
    const char* marker = std::strstr(format, "%s");
    if (marker == nullptr) {
        copyTextCut(dest, destSize, format);
        return;
    }
    const size_t before = static_cast<size_t>(marker - format);
    const char* after = marker + 2;
    const size_t afterLength = std::strlen(after);
    if (before + afterLength >= destSize) {
        copyTextCut(dest, destSize, "");
        return;
    }
    std::memcpy(dest, format, before);
    copyTextCut(dest + before, destSize - before - afterLength, text);
    const size_t length = std::strlen(dest);
    std::memcpy(dest + length, after, afterLength + 1);
}

const char* findFirstBackslash(const char* text) {
    for (const char* p = text; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') return p;
    }
    return nullptr;
}

const char* findLastBackslash(const char* text) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') last = p;  // a double-byte character is stepped over whole
    }
    return last;
}

char* findLastDot(char* text) { return std::strrchr(text, '.'); }

bool endsInBackslash(const char* text) {
    const char* last = findLastBackslash(text);
    return last != nullptr && last[1] == '\0';
}
