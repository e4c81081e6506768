#include "tests/harness/fixtures.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>

#include <gtest/gtest.h>

namespace {

std::atomic<unsigned> discCount{0}, keyCount{0};
std::vector<std::string> programPaths;  // of the living discs, the newest last

DWORD WINAPI newestProgramPath(HMODULE, LPSTR buffer, DWORD size) {
    lstrcpynA(buffer, programPaths.back().c_str(), static_cast<int>(size));
    return static_cast<DWORD>(programPaths.back().size());
}

// The Unix path of a Windows path, as Wine names it.
std::wstring unixPath(const std::string& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], int(wide.size())));
    char* name = unixName != nullptr ? unixName(wide.c_str()) : nullptr;
    if (name == nullptr) return L"";
    std::wstring result(std::strlen(name) + 1, L'\0');
    result.resize(MultiByteToWideChar(CP_UTF8, 0, name, -1, &result[0], int(result.size())) - 1);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix program (Wine starts it, but neither waits for it nor hands back
// a handle) and waits until path exists, or no longer does.
void runUnixProgram(const wchar_t* program, std::wstring line, const std::string& path, bool exists) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << path;
        return;
    }
    if (process.hProcess != nullptr) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int i = 0; i < 500 && (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) != exists; ++i) Sleep(10);
    if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) != exists)
        ADD_FAILURE() << path << (exists ? " was not made" : " was not removed");
}

}  // namespace

void resetProgramState() {
    // The record holds an atomic and cannot be assigned; it is trivially
    // destructible, so a new one is made in its place.
    programState.~ProgramState();
    new (&programState) ProgramState{};
}

void removeFolderTree(const std::string& folder) {
    // The path is code page 932 bytes, which std::filesystem would not read as such.
    std::wstring wide(folder.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, folder.data(), int(folder.size()), &wide[0], int(wide.size())));
    std::error_code error;
    // Attributes a test set would stop the deletion.
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(wide, error))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(wide, error);
    if (error) ADD_FAILURE() << "cannot remove " << folder << ": " << error.message();
}

TempDisc::TempDisc() : modulePath_("kernel32.dll", "GetModuleFileNameA", reinterpret_cast<void*>(&newestProgramPath)) {
    const unsigned number = ++discCount;
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp, length > 0 ? length - 1 : 0) + "\\cdsetup-" + std::to_string(GetCurrentProcessId()) +
              "-" + std::to_string(number);
    name_ = "SETUP" + std::to_string(number);
    if (!CreateDirectoryA(folder_.c_str(), nullptr)) ADD_FAILURE() << "cannot create " << folder_;
    programPaths.push_back(path(name_ + ".EXE"));
}

TempDisc::~TempDisc() {
    programPaths.pop_back();
    removeFolderTree(folder_);
}

void TempDisc::writeSetupFile(const std::vector<std::string>& lines) {
    std::string text = "[InstallInfo]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    writeFile(name_ + ".INI", text);
}

void TempDisc::writeFile(const std::string& relativePath, const std::string& bytes) {
    HANDLE file = CreateFileA(path(relativePath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        ADD_FAILURE() << "cannot write " << path(relativePath) << ", error " << GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void TempDisc::makeFolder(const std::string& relativePath) {
    if (!CreateDirectoryA(path(relativePath).c_str(), nullptr)) ADD_FAILURE() << "cannot create " << path(relativePath);
}

UnixLink::UnixLink(const std::string& link, const std::string& target) : link_(link), unixLink_(unixPath(link)) {
    runUnixProgram(L"Z:\\bin\\ln", L"ln -s \"" + unixPath(target) + L"\" \"" + unixLink_ + L"\"", link_, true);
}

UnixLink::~UnixLink() { runUnixProgram(L"Z:\\bin\\rm", L"rm \"" + unixLink_ + L"\"", link_, false); }

std::string startupShortcutFolder() {
    char programs[MAX_PATH];
    char startup[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE) ||
        !SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE) ||
        std::string(startup).rfind(std::string(programs) + "\\", 0) != 0) {
        return "";
    }
    std::string folder = startup + std::strlen(programs) + 1;
    CharUpperA(&folder[0]);
    return folder;
}

TempRegistryKey::TempRegistryKey()
    : name_("CDSetupTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++keyCount)) {}

bool TempRegistryKey::exists() const {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void TempRegistryKey::setValue(const char* valueName, DWORD type, const void* data, DWORD size) const {
    if (RegSetKeyValueA(HKEY_CURRENT_USER, subKey().c_str(), valueName, type, data, size) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot set " << valueName << " in HKCU\\" << subKey();
}

std::string makeBitmapFile(int width, int height, COLORREF colour, WORD bits) {
    const DWORD pixelSize = bits / 8u;
    const DWORD rowSize = (static_cast<DWORD>(width) * pixelSize + 3) & ~3u;
    BITMAPFILEHEADER file = {0x4D42, 54 + rowSize * height, 0, 0, 54};  // "BM"
    BITMAPINFOHEADER info = {sizeof info, width, height, 1, bits, BI_RGB, rowSize * height, 0, 0, 0, 0};
    std::string row(rowSize, '\0');  // 32 bits: alpha 0, transparent
    for (int x = 0; x < width; ++x) {
        row[x * pixelSize] = static_cast<char>(GetBValue(colour));
        row[x * pixelSize + 1] = static_cast<char>(GetGValue(colour));
        row[x * pixelSize + 2] = static_cast<char>(GetRValue(colour));
    }
    std::string bytes = std::string(reinterpret_cast<const char*>(&file), sizeof file) +
                        std::string(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = 0; y < height; ++y) bytes += row;
    return bytes;
}
