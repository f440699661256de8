#pragma once

// Settings files as another program could write them, byte for byte: a binary property list
// of one flat dictionary whose keys and values are given raw, so a test can put in what
// libplist itself would never write (a zero byte inside a text, a key twice).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace m2::test {

// One object of the list: its marker byte and the bytes after it.
struct PlistObject {
    std::string encoded;

    // ASCII text (or any bytes), zero bytes included.
    static PlistObject ascii(const std::string& bytes) {
        return {header(0x50, bytes.size()) + bytes};
    }
    // UTF-16 text from code units below 0x100 (enough for a test), zero included.
    static PlistObject utf16(const std::string& units) {
        std::string body;
        for (const char c : units) {
            body += '\0';
            body += c;
        }
        return {header(0x60, units.size()) + body};
    }
    static PlistObject boolean(bool value) { return {std::string(1, value ? '\x09' : '\x08')}; }
    static PlistObject integer(std::int64_t value) {
        std::string body(1, '\x13');
        for (int shift = 56; shift >= 0; shift -= 8) {
            body += static_cast<char>((static_cast<std::uint64_t>(value) >> shift) & 0xFF);
        }
        return {body};
    }
    static PlistObject data(const std::string& bytes) {
        return {header(0x40, bytes.size()) + bytes};
    }

  private:
    // Lengths from 15 on follow as a one-byte integer object (so below 256).
    static std::string header(unsigned marker, std::size_t length) {
        if (length < 15) {
            return std::string(1, static_cast<char>(marker | length));
        }
        return std::string(1, static_cast<char>(marker | 0x0F)) + '\x10' +
               static_cast<char>(length);
    }
};

// "bplist00" with the dictionary of these entries, in this order.
inline std::string binaryPlist(const std::vector<std::pair<PlistObject, PlistObject>>& entries) {
    const std::size_t count = entries.size();
    std::vector<std::string> objects(1);
    std::string references;
    for (const auto& entry : entries) {
        references += static_cast<char>(objects.size());
        objects.push_back(entry.first.encoded);
    }
    for (const auto& entry : entries) {
        references += static_cast<char>(objects.size());
        objects.push_back(entry.second.encoded);
    }
    objects[0] = std::string(1, static_cast<char>(0xD0 | count)) + references;  // below 15
    std::string out = "bplist00";
    std::string offsets;
    for (const auto& object : objects) {
        offsets += static_cast<char>(out.size());  // one-byte offsets: small lists only
        out += object;
    }
    const std::size_t table = out.size();
    out += offsets;
    auto big = [&](std::uint64_t value) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            out += static_cast<char>((value >> shift) & 0xFF);
        }
    };
    out += std::string(6, '\0') + '\x01' + '\x01';
    big(objects.size());
    big(0);
    big(table);
    return out;
}

// "bplist00" whose top object is this one value (as single values are kept in the keyring).
inline std::string binarySingleValuePlist(const PlistObject& value) {
    std::string out = "bplist00" + value.encoded;
    const std::size_t table = out.size();
    out += '\x08';  // the one object's offset
    out += std::string(6, '\0') + '\x01' + '\x01';
    for (const std::uint64_t field : {std::uint64_t{1}, std::uint64_t{0}, std::uint64_t{table}}) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            out += static_cast<char>((field >> shift) & 0xFF);
        }
    }
    return out;
}

// An XML list of one dictionary; each entry's value is its element, given whole.
inline std::string xmlPlist(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, element] : entries) {
        out += "\t<key>" + key + "</key>\n\t" + element + "\n";
    }
    return out + "</dict>\n</plist>\n";
}

}  // namespace m2::test
