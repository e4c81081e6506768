#include "checker/signature.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// A signature with its certificates and a timestamp takes a few KiB; a larger
// table is not read.
constexpr DWORD kLargestTable = 1u << 20;
constexpr DWORD kChunk = 1u << 20;
constexpr WORD kPkcsSignedData = 0x0002;                      // WIN_CERT_TYPE_PKCS_SIGNED_DATA
constexpr char kIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";  // SPC_INDIRECT_DATA_OBJID
constexpr BYTE kSequence = 0x30, kOctetString = 0x04, kObjectId = 0x06;

// The digests a signature may name for the image, by encoded object identifier.
struct DigestAlgorithm {
    BYTE oid[9];
    DWORD length;
    ALG_ID id;
};
constexpr DigestAlgorithm kDigestAlgorithms[] = {
    {{0x2B, 0x0E, 0x03, 0x02, 0x1A}, 5, CALG_SHA1},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9, CALG_SHA_256},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9, CALG_SHA_384},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9, CALG_SHA_512},
};

// An entry of the certificate table (WIN_CERTIFICATE without its data).
struct CertificateHeader {
    DWORD length;  // of the entry, this header included
    WORD revision;
    WORD type;
};
constexpr DWORD kCertificateHeader = sizeof(CertificateHeader);
static_assert(kCertificateHeader == 8, "the entry's header as the format lays it out");

static_assert(offsetof(IMAGE_OPTIONAL_HEADER32, CheckSum) == offsetof(IMAGE_OPTIONAL_HEADER64, CheckSum),
              "the checksum lies at one offset in both optional headers");

// What the image digest leaves out: the checksum, the certificate table's
// directory entry and the table itself (all file offsets).
struct Layout {
    ULONGLONG fileSize;
    ULONGLONG checksumAt;
    ULONGLONG entryAt;
    DWORD tableAt;
    DWORD tableSize;
};

bool readAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

// False with the verdict when there is no table to read: no PE file, no
// table, or a table that lies where no signature can.
bool readLayout(HANDLE file, Layout& layout, Signature& verdict) {
    verdict = Signature::notImage;
    LARGE_INTEGER size;
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    WORD magic = 0;
    if (!GetFileSizeEx(file, &size) || !readAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        return false;
    }
    layout.fileSize = static_cast<ULONGLONG>(size.QuadPart);
    const ULONGLONG nt = static_cast<DWORD>(dos.e_lfanew);
    const ULONGLONG optional = nt + sizeof signature + sizeof header;
    if (optional + sizeof(IMAGE_OPTIONAL_HEADER64) > layout.fileSize ||
        !readAt(file, nt, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !readAt(file, nt + sizeof signature, &header, sizeof header) || !readAt(file, optional, &magic, sizeof magic)) {
        return false;
    }
    DWORD directories = 0;
    DWORD countAt = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        directories = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
        countAt = offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        directories = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
        countAt = offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes);
    } else {
        return false;
    }
    DWORD count = 0;
    IMAGE_DATA_DIRECTORY entry = {};
    layout.checksumAt = optional + offsetof(IMAGE_OPTIONAL_HEADER32, CheckSum);
    layout.entryAt = optional + directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof entry;
    if (!readAt(file, optional + countAt, &count, sizeof count) ||
        !readAt(file, layout.entryAt, &entry, sizeof entry)) {
        return false;
    }
    verdict = Signature::none;
    // An optional header too short to hold the entry holds no table.
    const bool hasEntry =
        count > IMAGE_DIRECTORY_ENTRY_SECURITY &&
        header.SizeOfOptionalHeader >= directories + (IMAGE_DIRECTORY_ENTRY_SECURITY + 1) * sizeof entry;
    if (!hasEntry || (entry.VirtualAddress == 0 && entry.Size == 0)) return false;
    // The table's address is a file offset, past the fields the digest leaves out.
    layout.tableAt = entry.VirtualAddress;
    layout.tableSize = entry.Size;
    verdict = Signature::malformed;
    return layout.tableAt >= layout.entryAt + sizeof entry && layout.tableSize >= kCertificateHeader &&
           layout.tableSize <= kLargestTable && layout.tableAt + ULONGLONG{layout.tableSize} <= layout.fileSize;
}

// A DER element: from its first content byte to the end of its contents.
struct Der {
    const BYTE* at;
    const BYTE* end;
};

// Takes the next element of in, which must have tag; contents gets what it holds.
bool take(Der& in, BYTE tag, Der& contents) {
    if (in.end - in.at < 2 || in.at[0] != tag) return false;
    const BYTE* p = in.at + 1;
    size_t length = *p++;
    if ((length & 0x80) != 0) {
        const size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 3 || static_cast<size_t>(in.end - p) < bytes) return false;
        length = 0;
        for (size_t i = 0; i < bytes; ++i) length = (length << 8) | *p++;
    }
    if (static_cast<size_t>(in.end - p) < length) return false;
    contents = {p, p + length};
    in.at = p + length;
    return true;
}

bool equal(const std::vector<BYTE>& digest, const Der& expected) {
    return digest.size() == static_cast<size_t>(expected.end - expected.at) &&
           std::memcmp(digest.data(), expected.at, digest.size()) == 0;
}

std::vector<BYTE> messageParam(HCRYPTMSG message, DWORD type) {
    DWORD size = 0;
    std::vector<BYTE> bytes;
    if (!CryptMsgGetParam(message, type, 0, nullptr, &size)) return bytes;
    bytes.resize(size);
    if (!CryptMsgGetParam(message, type, 0, bytes.data(), &size)) size = 0;
    bytes.resize(size);
    return bytes;
}

// The digest the signature gives for the image (SpcIndirectDataContent's
// DigestInfo), and the content's own contents, which the signer's digest covers.
bool readSignedDigest(const std::vector<BYTE>& content, ALG_ID& algorithm, Der& digest, Der& contents) {
    Der all = {content.data(), content.data() + content.size()};
    Der data, info, identifier, oid;
    if (!take(all, kSequence, contents)) return false;
    Der rest = contents;
    if (!take(rest, kSequence, data) || !take(rest, kSequence, info) || !take(info, kSequence, identifier) ||
        !take(identifier, kObjectId, oid) || !take(info, kOctetString, digest)) {
        return false;
    }
    for (const DigestAlgorithm& known : kDigestAlgorithms) {
        if (static_cast<size_t>(oid.end - oid.at) == known.length &&
            std::memcmp(oid.at, known.oid, known.length) == 0) {
            algorithm = known.id;
            return true;
        }
    }
    return false;
}

bool finishHash(HCRYPTHASH hash, std::vector<BYTE>& digest) {
    DWORD size = 0;
    DWORD sizeBytes = sizeof size;
    if (!CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeBytes, 0)) return false;
    digest.resize(size);
    return CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0) && size == digest.size();
}

bool hashBytes(HCRYPTPROV provider, ALG_ID algorithm, const Der& bytes, std::vector<BYTE>& digest) {
    HCRYPTHASH hash = 0;
    if (algorithm == 0 || !CryptCreateHash(provider, algorithm, 0, 0, &hash)) return false;
    const bool done =
        CryptHashData(hash, bytes.at, static_cast<DWORD>(bytes.end - bytes.at), 0) && finishHash(hash, digest);
    CryptDestroyHash(hash);
    return done;
}

// The Authenticode image digest: every byte of the file but the checksum, the
// table's directory entry and the table.
bool digestImage(HCRYPTPROV provider, ALG_ID algorithm, HANDLE file, const Layout& layout, std::vector<BYTE>& digest) {
    const ULONGLONG ranges[][2] = {{0, layout.checksumAt},
                                   {layout.checksumAt + sizeof(DWORD), layout.entryAt},
                                   {layout.entryAt + sizeof(IMAGE_DATA_DIRECTORY), layout.tableAt},
                                   {layout.tableAt + ULONGLONG{layout.tableSize}, layout.fileSize}};
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, algorithm, 0, 0, &hash)) return false;
    std::vector<BYTE> buffer(kChunk);
    bool done = true;
    for (const auto& range : ranges) {
        for (ULONGLONG at = range[0]; done && at < range[1];) {
            const DWORD chunk = range[1] - at < kChunk ? static_cast<DWORD>(range[1] - at) : kChunk;
            done = readAt(file, at, buffer.data(), chunk) && CryptHashData(hash, buffer.data(), chunk, 0);
            at += chunk;
        }
    }
    done = done && finishHash(hash, digest);
    CryptDestroyHash(hash);
    return done;
}

// The signer's side: the digest of the content among its signed attributes,
// and its signature over those attributes by the key of its certificate.
Signature checkSigner(HCRYPTPROV provider, HCRYPTMSG message, const Der& contents) {
    const std::vector<BYTE> infoBytes = messageParam(message, CMSG_SIGNER_INFO_PARAM);
    const std::vector<BYTE> certificateBytes = messageParam(message, CMSG_SIGNER_CERT_INFO_PARAM);
    if (infoBytes.size() < sizeof(CMSG_SIGNER_INFO) || certificateBytes.size() < sizeof(CERT_INFO)) {
        return Signature::malformed;
    }
    const auto& info = *reinterpret_cast<const CMSG_SIGNER_INFO*>(infoBytes.data());
    const CRYPT_ATTR_BLOB* attribute = nullptr;
    for (DWORD i = 0; i < info.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& signedAttribute = info.AuthAttrs.rgAttr[i];
        if (std::strcmp(signedAttribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) == 0 && signedAttribute.cValue == 1) {
            attribute = signedAttribute.rgValue;
        }
    }
    Der encoded = {};
    Der signedDigest = {};
    std::vector<BYTE> digest;
    if (attribute != nullptr) encoded = {attribute->pbData, attribute->pbData + attribute->cbData};
    // Authenticode always signs attributes: without the digest among them there is no signature to check.
    if (attribute == nullptr || !take(encoded, kOctetString, signedDigest) ||
        !hashBytes(provider, CertOIDToAlgId(info.HashAlgorithm.pszObjId), contents, digest)) {
        return Signature::malformed;
    }
    if (!equal(digest, signedDigest)) return Signature::broken;

    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message);
    PCCERT_CONTEXT signer =
        store != nullptr
            ? CertGetSubjectCertificateFromStore(
                  store, kEncoding, const_cast<CERT_INFO*>(reinterpret_cast<const CERT_INFO*>(certificateBytes.data())))
            : nullptr;
    const Signature verdict = signer == nullptr ? Signature::malformed
                              : CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE, signer->pCertInfo)
                                  ? Signature::intact
                                  : Signature::broken;
    if (signer != nullptr) CertFreeCertificateContext(signer);
    if (store != nullptr) CertCloseStore(store, 0);
    return verdict;
}

Signature checkMessage(HCRYPTPROV provider, HCRYPTMSG message, HANDLE file, const Layout& layout) {
    std::vector<BYTE> type = messageParam(message, CMSG_INNER_CONTENT_TYPE_PARAM);
    const std::vector<BYTE> content = messageParam(message, CMSG_CONTENT_PARAM);
    type.push_back('\0');
    ALG_ID algorithm = 0;
    Der signedDigest = {};
    Der contents = {};
    std::vector<BYTE> digest;
    if (std::strcmp(reinterpret_cast<const char*>(type.data()), kIndirectDataOid) != 0 ||
        !readSignedDigest(content, algorithm, signedDigest, contents) ||
        !digestImage(provider, algorithm, file, layout, digest)) {
        return Signature::malformed;
    }
    if (!equal(digest, signedDigest)) return Signature::changed;
    return checkSigner(provider, message, contents);
}

Signature checkFile(HANDLE file) {
    Layout layout = {};
    Signature verdict = Signature::notImage;
    if (!readLayout(file, layout, verdict)) return verdict;
    std::vector<BYTE> table(layout.tableSize);
    CertificateHeader header;
    if (!readAt(file, layout.tableAt, table.data(), layout.tableSize)) return Signature::malformed;
    std::memcpy(&header, table.data(), kCertificateHeader);
    // The first entry is the signature; a second one, seldom seen, is not judged.
    if (header.length <= kCertificateHeader || header.length > table.size() || header.type != kPkcsSignedData) {
        return Signature::malformed;
    }
    // A system without a SHA-2 provider cannot read the signature either.
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return Signature::malformed;
    HCRYPTMSG message = CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr);
    verdict = message != nullptr && CryptMsgUpdate(message, table.data() + kCertificateHeader,
                                                   header.length - kCertificateHeader, TRUE)
                  ? checkMessage(provider, message, file, layout)
                  : Signature::malformed;
    if (message != nullptr) CryptMsgClose(message);
    CryptReleaseContext(provider, 0);
    return verdict;
}

}  // namespace

Signature readSignature(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Signature::notImage;
    const Signature verdict = checkFile(file);
    CloseHandle(file);
    return verdict;
}
