#include "maker/maker.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <string>

#include "report/console.h"
#include "report/peimage.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"
#include "setupdata/setupnames.h"
#include "setupdata/splashfile.h"
#include "setupdata/text.h"

namespace {

constexpr wchar_t kSourceFolder[] = L"DATA";
constexpr char kCopyDir[] = "DATA\\";

void report(FindingSink sink, void* context, const char* check, const char* key,
            std::initializer_list<const char*> parts) {
    sink(makeFinding(Severity::error, check, key, parts), context);
}

// A finding about a file or folder of the game, named as the game folder names it.
void reportItem(FindingSink sink, void* context, const char* check, const wchar_t* path,
                std::initializer_list<const char*> parts) {
    sink(makeFinding(Severity::error, check, path, parts), context);
}

// Whether path lies below folder, in any case.
bool isBelow(const char* path, const char* folder) {
    const int length = lstrlenA(folder);
    return lstrlenA(path) > length && path[length] == '\\' &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, length, folder, length) == CSTR_EQUAL;
}

bool lessByName(const TreeItem& a, const TreeItem& b) { return lstrcmpiA(a.name, b.name) < 0; }

const char* lastName(const char* path) {
    const char* backslash = findLastBackslash(path);
    return backslash != nullptr ? backslash + 1 : path;
}

// Marks the files whose name another file or folder of the tree has too.
void markSharedNames(std::vector<TreeItem>& items) {
    struct Name {
        const char* text;
        int item;
    };
    std::vector<Name> names;
    for (size_t i = 0; i < items.size(); ++i) names.push_back({lastName(items[i].name), static_cast<int>(i)});
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return lstrcmpiA(a.text, b.text) < 0; });
    for (size_t i = 0; i < names.size(); ++i) {
        const bool sameAsBefore = i > 0 && lstrcmpiA(names[i - 1].text, names[i].text) == 0;
        const bool sameAsNext = i + 1 < names.size() && lstrcmpiA(names[i + 1].text, names[i].text) == 0;
        items[static_cast<size_t>(names[i].item)].shared = sameAsBefore || sameAsNext;
    }
}

// The files and the folders in each folder, in name order; the root's at the end.
struct Children {
    std::vector<std::vector<int>> files;
    std::vector<std::vector<int>> folders;
};

Children childrenOf(const std::vector<TreeItem>& items) {
    Children children;
    children.files.resize(items.size() + 1);
    children.folders.resize(items.size() + 1);
    for (size_t i = 0; i < items.size(); ++i) {
        const size_t parent = items[i].parent >= 0 ? static_cast<size_t>(items[i].parent) : items.size();
        (items[i].folder ? children.folders : children.files)[parent].push_back(static_cast<int>(i));
    }
    const auto byName = [&](int a, int b) {
        return lessByName(items[static_cast<size_t>(a)], items[static_cast<size_t>(b)]);
    };
    for (auto* lists : {&children.files, &children.folders}) {
        for (std::vector<int>& list : *lists) std::sort(list.begin(), list.end(), byName);
    }
    return children;
}

void add(std::vector<ListEntry>& list, std::initializer_list<const char*> parts, int item) {
    ListEntry entry;
    joinText(entry.value, parts);  // every path fits: readTree left out those that do not
    entry.item = item;
    list.push_back(entry);
}

// A folder's marker makes it (its parent's came earlier) and its own files
// follow under their plain names. Its subfolders come next, then the files
// whose names are shared, by their whole path while no subfolder is current;
// the folder's marker again and a reset marker close it, so that the removal
// walk removes it once everything in it is gone.
void planFolder(const std::vector<TreeItem>& items, const Children& children, int folder,
                std::vector<ListEntry>& list) {
    const TreeItem& item = items[static_cast<size_t>(folder)];
    char marker[kPathSize];
    (void)composeSubfolderMarker(item.name, marker);  // fits, as every path does
    add(list, {marker}, -1);
    std::vector<int> shared;
    for (int file : children.files[static_cast<size_t>(folder)]) {
        if (items[static_cast<size_t>(file)].shared) {
            shared.push_back(file);
        } else {
            add(list, {lastName(items[static_cast<size_t>(file)].name)}, file);
        }
    }
    const std::vector<int>& subfolders = children.folders[static_cast<size_t>(folder)];
    for (int subfolder : subfolders) planFolder(items, children, subfolder, list);
    // Without subfolders the folder is current still: end it first.
    if (subfolders.empty()) add(list, {kResetMarker}, -1);
    if (subfolders.empty() && shared.empty()) return;
    for (int file : shared) add(list, {items[static_cast<size_t>(file)].name}, file);
    add(list, {marker}, -1);
    add(list, {kResetMarker}, -1);
}

// Whether the file relativePath below root opens as a file on a disk: not a
// link without a target, a device or a pipe, which a copy cannot take or
// would wait on for ever.
bool isCopyableFile(const wchar_t* root, const wchar_t* relativePath) {
    wchar_t path[kPathSize];
    if (!joinText(path, {root, L"\\", relativePath})) return false;
    // No access asked: opens without reading, so a pipe does not wait for a writer.
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool onDisk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return onDisk;
}

// Where the link relativePath below root leads, for the report: its final
// path, or "?" when it leads nowhere that opens.
void linkTarget(const wchar_t* root, const wchar_t* relativePath, char (&shown)[kPathSize]) {
    wchar_t path[kPathSize];
    wchar_t target[kPathSize] = L"";
    // Opened for no access, with the flag that lets a folder open too; only its name is read.
    HANDLE link = joinText(path, {root, L"\\", relativePath})
                      ? CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (link != INVALID_HANDLE_VALUE) {
        const DWORD length = GetFinalPathNameByHandleW(link, target, kPathSize, FILE_NAME_NORMALIZED);
        if (length == 0 || length >= kPathSize) target[0] = L'\0';
        CloseHandle(link);
    }
    // Without the "\\?\" in front, as a user writes it.
    const wchar_t* shownTarget = std::wcsncmp(target, L"\\\\?\\", 4) == 0 ? target + 4 : target;
    if (shownTarget[0] == L'\0') shownTarget = L"?";
    toShownText(shownTarget, shown);
}

bool isFolderW(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Removes path with everything below it.
void removeTree(const wchar_t* path) {
    wchar_t pattern[kPathSize];
    WIN32_FIND_DATAW found;
    HANDLE search = joinText(pattern, {path, L"\\*"}) ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        wchar_t child[kPathSize];
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0 ||
            !joinText(child, {path, L"\\", found.cFileName}))
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeTree(child);
        } else {
            SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(child);
        }
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryW(path);
}

// Makes every folder of relativePath's folder part below base.
bool makeFolders(const wchar_t* base, const wchar_t* relativePath) {
    wchar_t path[kPathSize];
    if (!joinText(path, {base, L"\\", relativePath})) return false;
    for (wchar_t* p = path + lstrlenW(base) + 1; *p != L'\0'; ++p) {
        if (*p != L'\\') continue;
        *p = L'\0';
        const bool made = CreateDirectoryW(path, nullptr) || isFolderW(path);
        *p = L'\\';
        if (!made) return false;
    }
    return true;
}

// Copies, never over an existing file: nothing on the disc is written twice.
bool copyInto(const wchar_t* from, const wchar_t* base, const wchar_t* relativePath, wchar_t (&failedPath)[kPathSize]) {
    wchar_t to[kPathSize];
    if (!joinText(to, {base, L"\\", relativePath}) || !makeFolders(base, relativePath) || !CopyFileW(from, to, TRUE)) {
        joinText(failedPath, {base, L"\\", relativePath});
        return false;
    }
    return true;
}

// The description file, in code page 932 with CRLF line ends.
struct IniWriter {
    HANDLE file;
    bool ok;
};

void writeLine(IniWriter& ini, std::initializer_list<const char*> parts) {
    char line[kPathSize + 64];
    DWORD written = 0;
    ini.ok = ini.ok && joinText(line, parts) &&
             WriteFile(ini.file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr) &&
             written == std::strlen(line);
}

void writeNumbered(IniWriter& ini, NumberedKey kind, unsigned index, const char* value) {
    char key[kKeySize];
    formatNumberedKey(kind, index, key);
    writeLine(ini, {key, "=", value, "\r\n"});
}

bool writeSetupFile(const wchar_t* path, const MakerOptions& options, const std::vector<ListEntry>& list) {
    IniWriter ini = {CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr), true};
    if (ini.file == INVALID_HANDLE_VALUE) return false;
    writeLine(ini, {"[", kSetupSection, "]\r\n"});
    writeLine(ini, {kGameNameKey, "=", options.gameName, "\r\n"});
    writeLine(ini, {kExeNameKey, "=", options.exeName, "\r\n"});
    writeLine(ini, {kDefaultDirKey, "=", options.defaultDir, "\r\n"});
    writeLine(ini, {kRegNameKey, "=", options.regName, "\r\n"});
    writeLine(ini, {kCopyDirKey, "=", kCopyDir, "\r\n"});
    for (size_t i = 0; i < list.size(); ++i)
        writeNumbered(ini, NumberedKey::copyFile, static_cast<unsigned>(i), list[i].value);
    // The uninstaller takes the shortcut folder from group 01 only: a single
    // shortcut is written as both groups, which make the same link.
    const size_t groups = options.shortcuts.size() == 1 ? 2 : options.shortcuts.size();
    for (size_t i = 0; i < groups; ++i) {
        const ShortcutOption& shortcut = options.shortcuts[i < options.shortcuts.size() ? i : 0];
        const auto index = static_cast<unsigned>(i);
        writeNumbered(ini, NumberedKey::shortcutFolder, index, options.shortcutFolder);
        writeNumbered(ini, NumberedKey::shortcutName, index, shortcut.name);
        writeNumbered(ini, NumberedKey::shortcutTarget, index, shortcut.target);
        if (shortcut.description[0] != '\0') {
            writeNumbered(ini, NumberedKey::shortcutDescription, index, shortcut.description);
        }
        if (shortcut.icon[0] != '\0') {
            // The icon file is named from the target's folder.
            const char* targetName = lastName(shortcut.target);
            writeNumbered(ini, NumberedKey::shortcutIcon, index, shortcut.icon + (targetName - shortcut.target));
            char number[16];
            wsprintfA(number, "%d", shortcut.iconNumber);
            writeNumbered(ini, NumberedKey::shortcutIconNumber, index, number);
        }
    }
    if (options.directxFolder[0] != L'\0') writeLine(ini, {kDxOptionKey, "=1\r\n"});
    return CloseHandle(ini.file) && ini.ok;
}

// Where a file of the game lies below the source folder (sourceName, in UTF-16).
const wchar_t* sourceNameW(const TreeItem& item) {
    const wchar_t* lastBackslash = std::wcsrchr(item.path, L'\\');
    return item.shared || lastBackslash == nullptr ? item.path : lastBackslash + 1;
}

// The disc's AutoPlay entry: SETUP.EXE to start, the game's own icon for the
// drive where its program has one, and the game's name as the drive's label.
// In UTF-16 with its byte-order mark, so that Windows reads the Japanese name
// right on any system code page.
bool writeAutorunFile(const wchar_t* path, const MakerOptions& options, const std::vector<TreeItem>& game) {
    wchar_t label[sizeof options.gameName];
    if (MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, options.gameName, -1, label,
                            static_cast<int>(std::size(label))) == 0)
        return false;
    const int exe = findItem(game, options.exeName);
    wchar_t program[kPathSize];
    wchar_t icon[kPathSize];
    if (exe < 0 || !joinText(program, {options.gameFolder, L"\\", game[static_cast<size_t>(exe)].path}) ||
        iconCount(program) == 0 ||
        !joinText(icon, {kSourceFolder, L"\\", sourceNameW(game[static_cast<size_t>(exe)])})) {
        copyText(icon, kSetupProgramNameW.text);
    }
    const std::wstring text = std::wstring(L"\xFEFF[autorun]\r\nopen=") + kSetupProgramNameW.text + L"\r\nicon=" +
                              icon + L"\r\nlabel=" + label + L"\r\n";
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool wrote = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
    return CloseHandle(file) && wrote;
}

bool writeDiscFiles(const MakerOptions& options, const std::vector<TreeItem>& game,
                    const std::vector<TreeItem>& directx, const std::vector<ListEntry>& list,
                    wchar_t (&failedPath)[kPathSize]) {
    const wchar_t* disc = options.discFolder;
    for (const wchar_t* program : {kSetupProgramNameW.text, kDsetupLibraryW.text}) {
        wchar_t from[kPathSize];
        if (!joinText(from, {options.programFolder, L"\\", program}) || !copyInto(from, disc, program, failedPath))
            return false;
    }
    wchar_t path[kPathSize];
    if (!joinText(path, {disc, L"\\", kDescriptionFileNameW.text}) || !writeSetupFile(path, options, list)) {
        copyText(failedPath, path);
        return false;
    }
    if (options.autorun &&
        (!joinText(path, {disc, L"\\", kAutorunFileNameW.text}) || !writeAutorunFile(path, options, game))) {
        copyText(failedPath, path);
        return false;
    }
    // Named as SETUP.EXE looks for them beside itself.
    char base[kSplashPathSize];
    const bool named = splashBasePath(kSetupProgramName, base);
    for (int i = 0; i < kSplashSlots; ++i) {
        if (options.splash[i][0] == L'\0') continue;
        char name[kSplashPathSize];
        wchar_t wideName[kSplashPathSize];
        if (!named || !splashFilePath(base, i, name) ||
            MultiByteToWideChar(kTextCodePage, 0, name, -1, wideName, kSplashPathSize) == 0 ||
            !copyInto(options.splash[i], disc, wideName, failedPath))
            return false;
    }
    wchar_t source[kPathSize];
    if (!joinText(source, {disc, L"\\", kSourceFolder}) || !CreateDirectoryW(source, nullptr)) {
        copyText(failedPath, source);
        return false;
    }
    for (const ListEntry& entry : list) {
        if (entry.item < 0) continue;
        const TreeItem& item = game[static_cast<size_t>(entry.item)];
        wchar_t from[kPathSize];
        if (!joinText(from, {options.gameFolder, L"\\", item.path}) ||
            !copyInto(from, source, sourceNameW(item), failedPath))
            return false;
    }
    for (const TreeItem& item : directx) {
        wchar_t from[kPathSize];
        if (!joinText(from, {options.directxFolder, L"\\", item.path})) return false;
        if (item.folder) {
            wchar_t folder[kPathSize];
            if (!joinText(folder, {source, L"\\", item.path, L"\\"}) ||
                !makeFolders(source, folder + lstrlenW(source) + 1)) {
                copyText(failedPath, folder);
                return false;
            }
        } else if (!copyInto(from, source, item.path, failedPath)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool survivesAsValue(const char* value) {
    const size_t length = std::strlen(value);
    if (length == 0) return true;
    const char first = value[0];
    const char last = value[length - 1];
    const bool quoted = length >= 2 && (first == '"' || first == '\'') && last == first;
    return first != ' ' && first != '\t' && last != ' ' && last != '\t' && !quoted &&
           std::strpbrk(value, "\r\n") == nullptr;
}

TreeRead readTree(const wchar_t* root, std::vector<TreeItem>& items, FindingSink sink, void* context) {
    unsigned files = 0;
    unsigned folders = 0;
    std::vector<int> pending = {-1};
    while (!pending.empty()) {
        const int folder = pending.back();
        pending.pop_back();
        // The folder's names are copied: items grows below, and any reference
        // into it would be left behind when it moves.
        wchar_t parentPath[kPathSize] = L"";
        char parentName[kPathSize] = "";
        if (folder >= 0) {
            copyText(parentPath, items[static_cast<size_t>(folder)].path);
            copyText(parentName, items[static_cast<size_t>(folder)].name);
        }
        const wchar_t* const wideSeparator = folder >= 0 ? L"\\" : L"";
        const char* const separator = folder >= 0 ? "\\" : "";
        wchar_t pattern[kPathSize];
        WIN32_FIND_DATAW found;
        HANDLE search = joinText(pattern, {root, L"\\", parentPath, wideSeparator, L"*"})
                            ? FindFirstFileW(pattern, &found)
                            : INVALID_HANDLE_VALUE;
        if (search == INVALID_HANDLE_VALUE) {
            if (folder < 0) return TreeRead::unreadable;
            report(sink, context, "unreadable", parentName, {"フォルダを読めないため、中身をディスクに入れません"});
            continue;
        }
        do {
            if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0) continue;
            TreeItem item = {};
            item.parent = folder;
            item.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            item.size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            char name[kPathSize];
            const bool fits = joinText(item.path, {parentPath, wideSeparator, found.cFileName});
            const bool converted = toAnsiText(found.cFileName, name);
            // A folder's marker is its path after one backslash, within an entry's 259 bytes.
            const bool entryFits = converted && joinText(item.name, {parentName, separator, name}) &&
                                   std::strlen(item.name) + 1 < kPathSize;
            // The path as the game folder has it, whatever its length: a
            // folder's path and one name below it always fit.
            wchar_t shown[2 * kPathSize];
            (void)joinText(shown, {parentPath, wideSeparator, found.cFileName});
            if (!converted) {
                reportItem(sink, context, "name-code-page", shown,
                           {"コードページ 932 で表せない文字を含むため、ディスクに入れません (フォルダなら中身も)。"
                            "名前を変えてください"});
            } else if (!isPlainName(name) || !survivesAsValue(name) || name[std::strlen(name) - 1] == '.') {
                reportItem(sink, context, "name-refused", shown,
                           {"SETUP.EXE が拒む名前 (装置名、使えない文字、前後の空白や点、引用符で囲まれた名前) のため、"
                            "ディスクに入れません"});
            } else if (!fits || !entryFits) {
                // An entry is the path after one backslash, within a path's bytes.
                reportItem(
                    sink, context, "path-too-long", shown,
                    {"インストール先からのパスが ", number(kPathSize - 2).text,
                     " バイトを超え、コピー一覧の項目に収まらないため、ディスクに入れません (フォルダなら中身も)。"
                     "フォルダを浅くするか名前を短くしてください"});
            } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                // A link (a junction, a symbolic link) may lead anywhere, out of
                // the game's folder too: it is not followed.
                char target[kPathSize];
                linkTarget(root, item.path, target);
                reportItem(sink, context, "link", shown,
                           {"リンクで、", target,
                            " を指します。ゲームのフォルダの外を指しうるため、辿らずにディスクに入れません"});
            } else if (!item.folder && item.size == 0 && !isCopyableFile(root, item.path)) {
                // A pipe and a device are listed with no size.
                report(sink, context, "not-a-file", item.name, {kNotAFile});
            } else if (item.folder ? ++folders > kMaxTreeFolders : ++files > kMaxTreeFiles) {
                FindClose(search);
                if (item.folder) {
                    report(sink, context, "folder-limit", "GAME_FOLDER",
                           {"フォルダが ", number(kMaxTreeFolders).text,
                            " 個を超えます。ISO 9660 のディスクはこれより多いフォルダを持てません"});
                } else {
                    report(sink, context, "file-limit", "GAME_FOLDER",
                           {"ファイルが ", number(kMaxTreeFiles).text,
                            " 個を超えます。SETUP.EXE はコピー一覧を項目ごとに説明ファイルから探すため、"
                            "これより長い一覧ではインストールが遅くなりすぎます。ファイルをまとめてください"});
                }
                return TreeRead::tooLarge;
            } else {
                items.push_back(item);
                if (item.folder) pending.push_back(static_cast<int>(items.size() - 1));
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    markSharedNames(items);
    return TreeRead::read;
}

int findItem(const std::vector<TreeItem>& items, const char* relativePath) {
    char path[kPathSize];
    if (!copyText(path, relativePath)) return -1;
    for (char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '/') *p = '\\';
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (lstrcmpiA(items[i].name, path) == 0) return static_cast<int>(i);
    }
    return -1;
}

const char* sourceName(const TreeItem& item) { return item.shared ? item.name : lastName(item.name); }

std::vector<ListEntry> planCopyList(const std::vector<TreeItem>& items, int firstFile) {
    std::vector<ListEntry> list;
    add(list, {items[static_cast<size_t>(firstFile)].name}, firstFile);
    const Children children = childrenOf(items);
    // The root's files need no subfolder and no source folder of their own.
    for (int file : children.files.back()) {
        if (file != firstFile) add(list, {items[static_cast<size_t>(file)].name}, file);
    }
    for (int folder : children.folders.back()) planFolder(items, children, folder, list);
    return list;
}

const char kNotAFile[] = "普通のファイルとして開けない (行き先の無いリンク、装置など) ため、ディスクに入れません";

bool layoutProblem(const MakerOptions& options, const std::vector<TreeItem>& game, const std::vector<TreeItem>& directx,
                   Finding& problem) {
    // SETUP.EXE and the checker name every source in the ANSI code page.
    wchar_t source[kPathSize];
    char sourceAnsi[kPathSize];
    if (!joinText(source, {options.discFolder, L"\\", kSourceFolder, L"\\"}) || !toAnsiText(source, sourceAnsi)) {
        problem = makeFinding(Severity::error, "argument", "DISC_FOLDER",
                              {"ディスクのフォルダのパスが長すぎるか、コードページ 932 で表せません"});
        return true;
    }
    for (const TreeItem& item : game) {
        char path[kPathSize];
        if (!item.folder && !joinText(path, {sourceAnsi, sourceName(item)})) {
            problem = makeFinding(
                Severity::error, "argument", item.name,
                {"ディスク上のパスが ", kLongestPath.text, " バイトを超えます。ディスクのフォルダを浅くしてください"});
            return true;
        }
    }
    for (const TreeItem& extra : directx) {
        char path[kPathSize];
        if (!joinText(path, {sourceAnsi, extra.name})) {
            problem = makeFinding(Severity::error, "argument", extra.name,
                                  {"DirectX のファイルのディスク上のパスが ", kLongestPath.text, " バイトを超えます"});
            return true;
        }
        // The runtime's files lie in the source folder beside the game's.
        for (const TreeItem& item : game) {
            const char* onDisc = sourceName(item);
            if (!item.folder && ((!extra.folder && lstrcmpiA(onDisc, extra.name) == 0) ||
                                 (!extra.folder && isBelow(onDisc, extra.name)) || isBelow(extra.name, onDisc))) {
                problem = makeFinding(Severity::error, "argument", extra.name,
                                      {"DirectX のファイルがゲームのファイルとコピー元フォルダで重なります"});
                return true;
            }
        }
    }
    return false;
}

bool writeDisc(const MakerOptions& options, const std::vector<TreeItem>& game, const std::vector<TreeItem>& directx,
               const std::vector<ListEntry>& list, wchar_t (&failedPath)[kPathSize]) {
    failedPath[0] = L'\0';
    const bool madeFolder = CreateDirectoryW(options.discFolder, nullptr) != FALSE;
    if (!madeFolder && !isFolderW(options.discFolder)) {
        copyText(failedPath, options.discFolder);
        return false;
    }
    if (writeDiscFiles(options, game, directx, list, failedPath)) return true;
    // The folder was empty or not there: everything in it is ours.
    removeTree(options.discFolder);
    if (!madeFolder) CreateDirectoryW(options.discFolder, nullptr);
    return false;
}
