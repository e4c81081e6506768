#include "report/peimage.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace {

// Programs on a disc are far smaller; a larger file is not read.
constexpr DWORD kLargestImage = 64u << 20;

struct Image {
    std::vector<BYTE> bytes;
    IMAGE_FILE_HEADER file;
    size_t optionalHeader;  // offset of the optional header
    WORD magic;
};

template <class T>
bool readAt(const std::vector<BYTE>& bytes, size_t offset, T& value) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof value) return false;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return true;
}

bool loadImage(const char* path, Image& image) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    DWORD read = 0;
    bool ok = size != INVALID_FILE_SIZE && size <= kLargestImage;
    if (ok) {
        image.bytes.resize(size);
        ok = ReadFile(file, image.bytes.data(), size, &read, nullptr) && read == size;
    }
    CloseHandle(file);

    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    if (!ok || !readAt(image.bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
    const size_t nt = static_cast<DWORD>(dos.e_lfanew);
    if (!readAt(image.bytes, nt, signature) || signature != IMAGE_NT_SIGNATURE) return false;
    if (!readAt(image.bytes, nt + sizeof signature, image.file)) return false;
    image.optionalHeader = nt + sizeof signature + sizeof image.file;
    return readAt(image.bytes, image.optionalHeader, image.magic);
}

// The file offset of a relative virtual address, through the section that holds it.
bool offsetOf(const Image& image, DWORD rva, size_t& offset) {
    const size_t sections = image.optionalHeader + image.file.SizeOfOptionalHeader;
    for (WORD i = 0; i < image.file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        if (!readAt(image.bytes, sections + i * sizeof section, section)) return false;
        const DWORD size = section.Misc.VirtualSize != 0 ? section.Misc.VirtualSize : section.SizeOfRawData;
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) {
            offset = static_cast<size_t>(section.PointerToRawData) + (rva - section.VirtualAddress);
            return true;
        }
    }
    return false;
}

bool exportDirectory(const Image& image, IMAGE_DATA_DIRECTORY& directory) {
    if (image.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 header;
        if (!readAt(image.bytes, image.optionalHeader, header) || header.NumberOfRvaAndSizes == 0) return false;
        directory = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    } else if (image.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        IMAGE_OPTIONAL_HEADER64 header;
        if (!readAt(image.bytes, image.optionalHeader, header) || header.NumberOfRvaAndSizes == 0) return false;
        directory = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    } else {
        return false;
    }
    return directory.VirtualAddress != 0;
}

}  // namespace

bool readPeHeaders(const char* path, PeHeaders& headers) {
    Image image;
    if (!loadImage(path, image)) return false;
    headers.machine = image.file.Machine;
    headers.magic = image.magic;
    headers.isDll = (image.file.Characteristics & IMAGE_FILE_DLL) != 0;
    return true;
}

bool peExportsOrdinal(const char* path, WORD ordinal) {
    Image image;
    IMAGE_DATA_DIRECTORY directory;
    size_t offset = 0;
    IMAGE_EXPORT_DIRECTORY exports;
    if (!loadImage(path, image) || !exportDirectory(image, directory) ||
        !offsetOf(image, directory.VirtualAddress, offset) || !readAt(image.bytes, offset, exports)) {
        return false;
    }
    if (ordinal < exports.Base || ordinal - exports.Base >= exports.NumberOfFunctions) return false;
    size_t functions = 0;
    DWORD address = 0;
    // An ordinal inside the range whose address is 0 is a gap, not an export.
    return offsetOf(image, exports.AddressOfFunctions, functions) &&
           readAt(image.bytes, functions + sizeof address * (ordinal - exports.Base), address) && address != 0;
}

UINT iconCount(const wchar_t* path) { return ExtractIconExW(path, -1, nullptr, nullptr, 0); }
