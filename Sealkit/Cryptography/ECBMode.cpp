#include "Sealkit/Cryptography/ECBMode.h"

#include <algorithm>
#include <vector>

#include "Sealkit/Cryptography/Wipe.h"

namespace Morvane::Security {

int ECBMode::fileEncrypt(IBlockCipher* /*cipher*/, std::uint64_t /*size*/, int /*padCount*/,
                         FILE* /*input*/, FILE* /*output*/, IV* /*iv*/) {
    return 0;
}

bool ECBMode::fileDecrypt(IBlockCipher* cipher, std::uint64_t size, int /*padCount*/, FILE* input,
                          FILE* output, IV* /*iv*/) {
    reset();
    if (!usable(cipher) || input == nullptr || output == nullptr) {
        return false;
    }
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < size;) {
        const auto count = static_cast<std::size_t>(std::min(bufferSize, size - done));
        const std::size_t whole = wholeBlocks(count);
        ok = readChunk(input, count, whole);
        if (ok) {
            cipher->Decode(inputBuffer.get(), outputBuffer.get(), static_cast<unsigned>(whole));
            ok = std::fwrite(outputBuffer.get(), 1, count, output) == count;
        }
        done += count;
    }
    wipeBuffers();
    return ok;
}

std::string ECBMode::stringEncrypt(std::string& /*text*/, IBlockCipher* /*cipher*/, IV* /*iv*/) {
    return {};
}

std::string ECBMode::stringDecrypt(std::string& text, IBlockCipher* cipher, IV* /*iv*/) {
    reset();
    if (!usable(cipher)) {
        return text;
    }
    // Its own buffers of whole blocks (at least one, as AES always handles one), so any
    // length of text fits.
    const std::size_t capacity = std::max(wholeBlocks(text.size() / 2), std::size_t{16});
    std::vector<unsigned char> bytes(capacity), plain(capacity);
    const auto count = hexToBytes(text, bytes.data(), capacity);
    if (!count) {
        return text;
    }
    cipher->Decode(bytes.data(), plain.data(), static_cast<unsigned>(*count));
    const auto result = lengthPrefixed(plain.data(), *count);
    wipe(bytes.data(), bytes.size());
    wipe(plain.data(), plain.size());
    return result ? *result : text;
}

}  // namespace Morvane::Security
