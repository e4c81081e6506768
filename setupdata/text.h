// Bounded text helpers for the fixed-size buffers of the program. Each one that
// composes reports whether the whole result fit; when it did not, the
// destination is left empty, so a cut path can never be used by mistake.
#pragma once

#include <cstddef>
#include <initializer_list>

constexpr int kPathSize = 260;  // a path with its terminator
// The code page of every text the program shows and every description file.
constexpr unsigned kTextCodePage = 932;
// A folder read whole (DEFAULT_DIR, the Windows directory): a byte to spare.
constexpr int kFolderSize = 261;
// A path composed from a folder and a given tail before the platform judges
// it: the relaunch path and the installed copy's first file.
constexpr int kComposedPathSize = 264;

// dest = the parts, one after another: code-page text (char) or UTF-16
// (wchar_t), by one rule.
template <typename C>
bool joinText(C* dest, size_t destSize, std::initializer_list<const C*> parts);

template <typename C, size_t N>
bool copyText(C (&dest)[N], const C* src) {
    return joinText(dest, N, {src});
}
template <typename C, size_t N>
bool joinText(C (&dest)[N], std::initializer_list<const C*> parts) {
    return joinText(dest, N, parts);
}

// Copies as much of src as fits in destSize bytes with the terminator, never
// splitting a double-byte character. For display texts only, never for paths.
void copyTextCut(char* dest, size_t destSize, const char* src);
template <size_t N>
void copyTextCut(char (&dest)[N], const char* src) {
    copyTextCut(dest, N, src);
}

// dest = format with its one "%s" replaced by text, text cut at a character
// boundary where the whole would not fit. For display texts only.
void formatTextCut(char* dest, size_t destSize, const char* format, const char* text);
template <size_t N>
void formatTextCut(char (&dest)[N], const char* format, const char* text) {
    formatTextCut(dest, N, format, text);
}

// The first backslash of text, read as code-page characters, or nullptr.
const char* findFirstBackslash(const char* text);
inline char* findFirstBackslash(char* text) {
    return const_cast<char*>(findFirstBackslash(static_cast<const char*>(text)));
}

// The last backslash of text, read as code-page characters (the trail byte of a
// double-byte character is never taken for one), or nullptr when it has none.
const char* findLastBackslash(const char* text);
inline char* findLastBackslash(char* text) {
    return const_cast<char*>(findLastBackslash(static_cast<const char*>(text)));
}

// Whether text ends in a backslash read as a code-page character (a trailing
// double-byte character whose second byte is 0x5C does not).
bool endsInBackslash(const char* text);

// The last "." of text by a plain byte search, or nullptr.
char* findLastDot(char* text);
