#include "Sealkit/FileHeader/FileHeader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Sealkit/FileHeader/Convertor.h"

namespace Morvane::Security {

namespace {

using Morvane::Utils::Convertor;

// The fixed tail: four-character length, ",", "<qvx>".
constexpr long kTailLength = 10;
constexpr std::size_t kIvBytes = 16;

// atoi's reading (leading blanks, a sign, leading digits, 0 for none), without its
// undefined behaviour on overflow: out-of-range values saturate.
int leadingInt(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// Hex text of a CBC-encrypted name: two length bytes, padded up to whole 16-byte blocks.
std::size_t encryptedNameHexLength(std::size_t plainNameLength) {
    std::size_t total = plainNameLength + 2;
    if (total % 16 != 0) {
        total += 16 - total % 16;
    }
    return 2 * total;
}

}  // namespace

CFileHeader::CFileHeader() = default;

CFileHeader::CFileHeader(const std::string& hint_, unsigned char* digest_,
                         const std::string& fileName_, std::uint64_t dataSize_,
                         std::uint32_t padding_, std::uint32_t version_, std::int32_t cipherType_,
                         std::int32_t keyType_, std::int32_t keySize_, const std::string& ivText_)
    : hint(hint_),
      digest(digest_),
      fileName(fileName_),
      dataSize(dataSize_),
      padding(padding_),
      version(version_),
      cipherType(cipherType_),
      keyType(keyType_),
      keySize(keySize_),
      ivText(ivText_) {}

CFileHeader::~CFileHeader() {
    if (ownDigest) {
        delete[] digest;
    }
}

void CFileHeader::ownsDigest(bool owns) {
    ownDigest = owns;
}

void CFileHeader::setDigest(std::unique_ptr<unsigned char[]> bytes) {
    if (ownDigest) {
        delete[] digest;
    }
    digest = bytes.release();
    ownDigest = true;
}

std::string CFileHeader::getHeaderString() {
    if (version > 4) {
        separator = ',';
    }
    std::string text(1, separator);
    text += ivText;
    if (version >= 4) {
        hint = Convertor::BinaryToHexAscii(reinterpret_cast<const unsigned char*>(hint.data()),
                                           hint.size());
    }
    text += separator + hint + separator + fileName + separator;
    text += std::to_string(dataSize) + separator;
    // Written as signed decimals, as the readers take them.
    for (const int value :
         {static_cast<int>(padding), static_cast<int>(version), cipherType, keyType, keySize}) {
        text += std::to_string(value) + separator;
    }
    text += separator;
    text += std::to_string(reserved);
    const long long total = static_cast<long long>(text.size()) + 2LL * keySize + kTailLength;
    char length[24];
    std::snprintf(length, sizeof length, "%4lld", total);
    text += length;
    text += separator;
    text += "<qvx>";
    return text;
}

std::size_t CFileHeader::trailerLength(const std::string& hint, std::size_t plainNameLength,
                                       std::uint64_t dataSize,
                                       const CCipherConstraints& constraints) {
    // The IV and the encrypted name are stood in for by text of their final lengths.
    const auto padding = static_cast<std::uint32_t>((16 - dataSize % 16) % 16);
    CFileHeader probe(
        hint, nullptr, std::string(encryptedNameHexLength(plainNameLength), '0'), dataSize, padding,
        static_cast<std::uint32_t>(constraints.getMorvaneVersion()), constraints.getCipherType(),
        constraints.getKeyType(), constraints.getKeyStrength(), std::string(2 * kIvBytes, '0'));
    const auto keyStrength = static_cast<std::size_t>(std::max(0, constraints.getKeyStrength()));
    return probe.getHeaderString().size() + 2 * keyStrength;
}

bool CFileHeader::LoadFromFile(FILE* file) {
    if (file == nullptr || std::fseek(file, 0, SEEK_END) != 0) {
        return false;
    }
    const long fileSize = std::ftell(file);
    if (fileSize < kTailLength || std::fseek(file, fileSize - kTailLength, SEEK_SET) != 0) {
        return false;
    }
    char field[5] = {};
    if (std::fread(field, 1, 4, file) != 4) {
        return false;
    }
    const int length = leadingInt(field);
    if (length < 1 || length > fileSize) {
        return false;
    }
    std::string trailer(static_cast<std::size_t>(length), '\0');
    if (std::fseek(file, fileSize - length, SEEK_SET) != 0 ||
        std::fread(trailer.data(), 1, trailer.size(), file) != trailer.size()) {
        return false;
    }
    headerLength = length;
    parse(trailer);
    return true;
}

void CFileHeader::LoadFromRawData(const char* text) {
    parse(text == nullptr ? "" : text);
}

// The fields of a trailer, found from both ends: the numbers and the (hex) file name
// from the fixed tail backwards, the digest and IV from the front, and the hint as all
// that lies between. Old trailers may hold "," inside a plain hint or a raw digest, which
// a plain split would take for separators. Empty when the tail is not the usual one.
std::optional<std::vector<std::string>> CFileHeader::anchoredFields(const std::string& trailer) {
    const std::string marker = ",<qvx>";
    if (trailer.size() < kTailLength ||
        trailer.compare(trailer.size() - marker.size(), marker.size(), marker) != 0) {
        return std::nullopt;
    }
    // Without the four-character length and the marker the text ends in ",,<reserved>".
    const std::string body = trailer.substr(0, trailer.size() - kTailLength);
    const auto pieces = split(body, ',');
    constexpr std::size_t kRightPieces = 9;  // name, six numbers, empty field, reserved
    if (pieces.size() < kRightPieces + 3) {
        return std::nullopt;
    }
    const std::size_t first = pieces.size() - kRightPieces;
    std::size_t rightLength = kRightPieces - 1;
    for (std::size_t i = first; i < pieces.size(); ++i) {
        rightLength += pieces[i].size();
    }
    const std::size_t nameStart = body.size() - rightLength;

    const auto oldVersion = static_cast<std::uint32_t>(leadingInt(pieces[first + 3])) < 3;
    const int size = leadingInt(pieces[first + 6]);
    std::size_t digestEnd = body.find(',');
    if (oldVersion) {
        // The raw digest is exactly key-size bytes, whatever they are.
        if (size < 1 || size > kMaxKeySize || static_cast<std::size_t>(size) >= body.size() ||
            body[static_cast<std::size_t>(size)] != ',') {
            return std::nullopt;
        }
        digestEnd = static_cast<std::size_t>(size);
    }
    const std::size_t ivEnd = body.find(',', digestEnd + 1);
    if (ivEnd == std::string::npos || ivEnd + 1 >= nameStart) {
        return std::nullopt;
    }
    std::vector<std::string> fields = {body.substr(0, digestEnd),
                                       body.substr(digestEnd + 1, ivEnd - digestEnd - 1),
                                       body.substr(ivEnd + 1, nameStart - 1 - (ivEnd + 1))};
    fields.insert(fields.end(), pieces.begin() + static_cast<std::ptrdiff_t>(first),
                  pieces.end() - 1);
    return fields;
}

void CFileHeader::parse(const std::string& trailer) {
    const auto anchored = anchoredFields(trailer);
    const auto pieces = anchored ? *anchored : split(trailer, ',');
    for (std::size_t i = 1; i < pieces.size() && i <= 10; ++i) {
        const std::string& piece = pieces[i];
        switch (i) {
            case 1:
                ivText = piece;
                break;
            case 2:
                hint = piece;
                break;
            case 3:
                fileName = piece;
                break;
            case 4:
                dataSize = std::strtoull(piece.c_str(), nullptr, 0);
                break;
            case 5:
                padding = static_cast<std::uint32_t>(leadingInt(piece));
                break;
            case 6:
                version = static_cast<std::uint32_t>(leadingInt(piece));
                break;
            case 7:
                cipherType = leadingInt(piece);
                break;
            case 8:
                keyType = leadingInt(piece);
                break;
            case 9:
                keySize = leadingInt(piece);
                break;
            default:
                reserved = leadingInt(piece);
                break;
        }
    }

    // The digest buffer is sized from the key-size field only within what the engine
    // knows; any other size leaves an empty digest that no password can match.
    digestComplete = false;
    const bool sizeKnown = keySize >= 1 && keySize <= kMaxKeySize;
    const std::size_t n = sizeKnown ? static_cast<std::size_t>(keySize) : 0;
    auto bytes = std::make_unique<unsigned char[]>(n + 1);
    if (version < 3) {
        // Old trailers begin with the raw digest bytes.
        if (sizeKnown && trailer.size() >= n) {
            std::memcpy(bytes.get(), trailer.data(), n);
            digestComplete = true;
        }
    } else if (sizeKnown && !pieces.empty() && pieces[0].size() == 2 * n) {
        digestComplete = Convertor::HexAsciiToBinary(trailer.data(), bytes.get(), 2 * n);
    }
    setDigest(std::move(bytes));
}

bool CFileHeader::testHeader(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const bool found = LoadFromFile(file);
    std::fclose(file);
    return found;
}

std::string CFileHeader::getHint() const {
    if (version < 4) {
        return hint;
    }
    std::string bytes(hint.size() / 2, '\0');
    if (!Convertor::HexAsciiToBinary(hint.data(), reinterpret_cast<unsigned char*>(bytes.data()),
                                     hint.size())) {
        return hint;
    }
    return bytes;
}

bool CFileHeader::getDigest(unsigned char* out, int outLength, IBlockCipher* cipher) const {
    if (outLength <= 0) {
        return false;
    }
    std::memset(out, 0, static_cast<std::size_t>(outLength));
    // Decode works on whole blocks, so a size that is not a multiple of the block would
    // write past out.
    if (!digestComplete || digest == nullptr || keySize != outLength || cipher == nullptr ||
        keySize % cipher->getBlockSize() != 0) {
        return false;
    }
    cipher->Decode(digest, out, static_cast<unsigned int>(keySize));
    return true;
}

void CFileHeader::getIvBin(unsigned char* out) const {
    std::memset(out, 0, kIvBytes);
    const std::size_t pairs = std::min(kIvBytes, ivText.size() / 2);
    for (std::size_t i = 0; i < pairs; ++i) {
        if (!Convertor::HexAsciiToBinary(ivText.data() + 2 * i, out + i, 2)) {
            return;
        }
    }
}

std::vector<std::string> CFileHeader::split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace Morvane::Security
