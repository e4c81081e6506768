#include "tests/bench/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

std::atomic<unsigned> tempDiscCount{0};
std::atomic<unsigned> tempKeyCount{0};

// Clears what a test may have set on a file or folder and would stop its
// deletion (Wine gives a folder its write bits back when read-only is cleared).
void clearAttributes(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & blocking) == 0) return;
    const DWORD kept = attributes & ~(blocking | FILE_ATTRIBUTE_DIRECTORY);
    SetFileAttributesA(path.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
}

void removeTree(const std::string& folder) {
    clearAttributes(folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
            const std::string path = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                clearAttributes(path);
                if (!DeleteFileA(path.c_str()))
                    ADD_FAILURE() << "cannot delete " << path << ", error " << GetLastError();
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!RemoveDirectoryA(folder.c_str()))
        ADD_FAILURE() << "cannot remove " << folder << ", error " << GetLastError();
}

}  // namespace

void removeFolderTree(const std::string& folder) {
    if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) removeTree(folder);
}

void resetProgramState() {
    // The record holds an atomic and cannot be assigned; it is trivially
    // destructible, so a new one is made in its place.
    programState.~ProgramState();
    new (&programState) ProgramState{};
}

TempDisc::TempDisc() {
    const unsigned number = ++tempDiscCount;
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) ADD_FAILURE() << "GetTempPathA failed";
    folder_ = std::string(temp, length);
    if (!folder_.empty() && folder_.back() == '\\') folder_.pop_back();
    folder_ += "\\cdsetup-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number);
    baseName_ = "SETUP" + std::to_string(number);
    if (!CreateDirectoryA(folder_.c_str(), nullptr))
        ADD_FAILURE() << "cannot create " << folder_ << ", error " << GetLastError();
    modulePath_ = std::make_unique<FakeModulePath>(programPath());
}

TempDisc::~TempDisc() {
    modulePath_.reset();
    removeTree(folder_);
}

void TempDisc::writeSetupFile(const std::vector<std::string>& lines) {
    std::string text = "[InstallInfo]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    writeFile(baseName_ + ".INI", text);
}

void TempDisc::writeFile(const std::string& relativePath, const std::string& bytes) {
    const std::string target = path(relativePath);
    HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << target << ", error " << GetLastError();
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        ADD_FAILURE() << "cannot write " << target << ", error " << GetLastError();
    CloseHandle(file);
}

void TempDisc::writeSplash(int index, const std::string& bytes) {
    writeFile(baseName_ + std::to_string(index) + ".BMP", bytes);
}

void TempDisc::makeFolder(const std::string& relativePath) {
    const std::string target = path(relativePath);
    if (!CreateDirectoryA(target.c_str(), nullptr))
        ADD_FAILURE() << "cannot create " << target << ", error " << GetLastError();
}

std::string TempDisc::folder() const { return folder_; }
std::string TempDisc::path(const std::string& relativePath) const { return folder_ + "\\" + relativePath; }
std::string TempDisc::programPath() const { return path(baseName_ + ".EXE"); }
std::string TempDisc::setupFilePath() const { return path(baseName_ + ".INI"); }
std::string TempDisc::splashPath(int index) const { return path(baseName_ + std::to_string(index) + ".BMP"); }

TempRegistryKey::TempRegistryKey()
    : name_("CDSetupTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++tempKeyCount)) {}

TempRegistryKey::~TempRegistryKey() {
    const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, subKey().c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ADD_FAILURE() << "cannot delete HKCU\\" << subKey() << ", error " << status;
}

bool TempRegistryKey::exists() const {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void TempRegistryKey::setValue(const char* valueName, DWORD type, const void* data, DWORD size) const {
    HKEY key;
    const LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, subKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create HKCU\\" << subKey() << ", error " << status;
        return;
    }
    if (RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot set " << valueName << " in HKCU\\" << subKey();
    RegCloseKey(key);
}

bool TempRegistryKey::readFolder(std::string* folder) const {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = 0;
    bool found = RegQueryValueExA(key, "InstallFolder", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
                 type == REG_SZ;
    if (found) {
        std::string value(size, '\0');
        found = RegQueryValueExA(key, "InstallFolder", nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) ==
                ERROR_SUCCESS;
        value.resize(std::min<size_t>(size, value.size()));
        while (!value.empty() && value.back() == '\0') value.pop_back();
        if (found) *folder = value;
    }
    RegCloseKey(key);
    return found;
}

std::string makeBitmapFile(int width, int height, COLORREF colour) {
    static_assert(sizeof(BITMAPFILEHEADER) == 14 && sizeof(BITMAPINFOHEADER) == 40, "packed bitmap headers");
    const DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = rowSize * static_cast<DWORD>(height);
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = offset + imageSize;
    file.bfOffBits = offset;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // positive: bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;

    std::string row(rowSize, '\0');
    for (int x = 0; x < width; ++x) {
        row[x * 3] = static_cast<char>(GetBValue(colour));
        row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
        row[x * 3 + 2] = static_cast<char>(GetRValue(colour));
    }
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = 0; y < height; ++y) bytes += row;
    return bytes;
}
