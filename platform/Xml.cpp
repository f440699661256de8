#include "platform/Xml.h"

#include "platform/Text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace m2::platform {

namespace {

constexpr char32_t escapeBase = 0xF700;  // U+F700 + byte stands for that byte

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Only code points below U+10000 are ever made here.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isEscapeRange(char32_t cp) {
    return cp >= escapeBase && cp <= escapeBase + 0xFF;
}

// Characters XML 1.0 cannot hold at all, not even as a character reference.
bool outsideXml(char32_t cp) {
    return (cp < 0x20 && cp != 0x09 && cp != 0x0A && cp != 0x0D) || cp == 0xFFFE || cp == 0xFFFF;
}

// Calls visit(unit, codePoint, wellFormed) for each UTF-8 sequence of the text, and for
// each byte that does not begin one (then wellFormed is false).
template <typename Visit>
void forEachUnit(std::string_view text, Visit visit) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t len = utf8SequenceAt(text, pos, cp);
        visit(text.substr(pos, len == 0 ? 1 : len), cp, len != 0);
        pos += len == 0 ? 1 : len;
    }
}

// Length of the leading run of ASCII that XML carries as it is (most names and paths are
// nothing else), so only the rest needs decoding.
std::size_t plainAsciiPrefix(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size()) {
        const auto byte = static_cast<unsigned char>(text[n]);
        if (byte >= 0x80 || (byte < 0x20 && byte != 0x09 && byte != 0x0A && byte != 0x0D)) {
            break;
        }
        ++n;
    }
    return n;
}

}  // namespace

std::string encodeXmlText(std::string_view bytes) {
    const std::size_t plain = plainAsciiPrefix(bytes);
    std::string out(bytes.substr(0, plain));
    if (plain == bytes.size()) {
        return out;
    }
    out.reserve(bytes.size());
    forEachUnit(bytes.substr(plain), [&](std::string_view unit, char32_t cp, bool wellFormed) {
        if (wellFormed && !outsideXml(cp) && !isEscapeRange(cp)) {
            out.append(unit);
            return;
        }
        // A character of the escape range itself is stored byte by byte too, so reading
        // back never mistakes it for an escaped byte.
        for (const char byte : unit) {
            appendUtf8(out, escapeBase + static_cast<unsigned char>(byte));
        }
    });
    return out;
}

std::string decodeXmlText(std::string_view text) {
    const std::size_t plain = plainAsciiPrefix(text);
    std::string out(text.substr(0, plain));
    if (plain == text.size()) {
        return out;
    }
    out.reserve(text.size());
    forEachUnit(text.substr(plain), [&](std::string_view unit, char32_t cp, bool wellFormed) {
        if (wellFormed && isEscapeRange(cp)) {
            out += static_cast<char>(cp - escapeBase);
        } else {
            out.append(unit);
        }
    });
    return out;
}

namespace {

// How attribute text is written, byte by byte: as it is, as a reference, or (outside
// plain ASCII) only after the byte layer of encodeXmlText.
enum : unsigned char { kCopy, kReference, kEncode };

constexpr std::array<unsigned char, 256> kAttributeBytes = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = (c == 0x09 || c == 0x0A || c == 0x0D) ? kReference : kEncode;
    }
    table['&'] = table['<'] = table['"'] = kReference;
    for (int c = 0x80; c < 0x100; ++c) {
        table[c] = kEncode;
    }
    return table;
}();

// Appends text, escaped as the serializer escapes attribute text: three characters by
// name, tab, line feed and carriage return as two-digit references. Answers the position
// of the first byte that needs the byte layer first (text.size() when none), when
// `encoded` is false; encoded text is appended whole.
// Whether any of eight bytes is a control character, non-ASCII, "&", "<" or """ (the
// usual bit tricks: a byte is zero exactly where the high bit of the result is set).
bool mayNeedEscaping(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    return ((w & highs) | ((w - ones * 0x20) & ~w & highs) | hasZero(w ^ (ones * '&')) |
            hasZero(w ^ (ones * '<')) | hasZero(w ^ (ones * '"'))) != 0;
}

std::size_t appendEscaped(std::string& out, std::string_view text, bool encoded) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Long runs of plain text are passed over eight bytes at a time.
        while (i + 8 <= text.size()) {
            std::uint64_t w = 0;
            std::memcpy(&w, text.data() + i, sizeof w);
            if (mayNeedEscaping(w)) {
                break;
            }
            i += 8;
        }
        if (i >= text.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        const unsigned char kind = kAttributeBytes[c];
        if (kind == kCopy || (kind == kEncode && encoded)) {
            continue;
        }
        if (kind == kEncode) {
            // Well-formed UTF-8 that XML carries is its own encoding.
            char32_t cp = 0;
            const std::size_t length = utf8SequenceAt(text, i, cp);
            if (length != 0 && !outsideXml(cp) && !isEscapeRange(cp)) {
                i += length - 1;
                continue;
            }
        }
        out.append(text, run, i - run);
        if (kind == kEncode) {
            return i;
        }
        run = i + 1;
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            const char reference[] = {'&', '#', static_cast<char>('0' + c / 10),
                                      static_cast<char>('0' + c % 10), ';'};
            out.append(reference, sizeof reference);
        }
    }
    out.append(text, run, text.size() - run);
    return text.size();
}

}  // namespace

void appendXmlAttribute(std::string& out, std::string_view name, std::string_view value) {
    // One append for ` name="`: a library file holds a million of them.
    char head[64];
    if (name.size() + 3 <= sizeof head) {
        head[0] = ' ';
        std::memcpy(head + 1, name.data(), name.size());
        head[name.size() + 1] = '=';
        head[name.size() + 2] = '"';
        out.append(head, name.size() + 3);
    } else {
        out.append(" ").append(name).append("=\"");
    }
    // Plain ASCII units are their own encoding, so the byte layer starts where they end.
    if (const std::size_t rest = appendEscaped(out, value, false); rest < value.size()) {
        (void)appendEscaped(out, encodeXmlText(value.substr(rest)), true);
    }
    out.append(1, '"');
}

XmlElement::XmlElement(std::shared_ptr<pugi::xml_document> owner, const pugi::xml_node& node)
    : owner_(std::move(owner)), node_(node) {}

XmlElement XmlElement::create(std::string_view name) {
    auto doc = std::make_shared<pugi::xml_document>();
    pugi::xml_node node = doc->append_child(std::string(name).c_str());
    return XmlElement(std::move(doc), node);
}

bool XmlElement::isNull() const {
    return !node_;
}

std::string XmlElement::name() const {
    return node_.name();
}

std::optional<std::string> XmlElement::attribute(std::string_view name) const {
    const std::optional<std::string> text = textAttribute(name);
    return text ? std::optional(decodeXmlText(*text)) : std::nullopt;
}

void XmlElement::setAttribute(std::string_view name, std::string_view value) {
    setTextAttribute(name, encodeXmlText(value));  // the byte layer leaves no NUL
}

std::optional<std::string> XmlElement::textAttribute(std::string_view name) const {
    for (pugi::xml_attribute a = node_.first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name()) {
            return std::string(a.value());
        }
    }
    return std::nullopt;
}

void XmlElement::setTextAttribute(std::string_view name, std::string_view value) {
    const std::string key(name);
    pugi::xml_attribute a = node_.attribute(key.c_str());
    if (!a) {
        a = node_.append_attribute(key.c_str());
    }
    std::string text(value);
    std::erase(text, '\0');
    a.set_value(text.c_str());
}

std::vector<XmlAttribute> XmlElement::attributes() const {
    std::vector<XmlAttribute> out;
    for (pugi::xml_attribute a = node_.first_attribute(); a; a = a.next_attribute()) {
        out.push_back({a.name(), decodeXmlText(a.value())});
    }
    return out;
}

std::vector<XmlElement> XmlElement::childElements() const {
    std::vector<XmlElement> out;
    for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) {
            out.push_back(XmlElement(owner_, c));
        }
    }
    return out;
}

std::vector<XmlElement> XmlElement::childElements(std::string_view name) const {
    std::vector<XmlElement> out;
    for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && name == c.name()) {
            out.push_back(XmlElement(owner_, c));
        }
    }
    return out;
}

XmlElement XmlElement::appendChild(std::string_view name) {
    return XmlElement(owner_, node_.append_child(std::string(name).c_str()));
}

XmlElement XmlElement::appendCopy(const XmlElement& element) {
    return XmlElement(owner_, node_.append_copy(element.node_));
}

XmlDocument::XmlDocument() : doc_(std::make_shared<pugi::xml_document>()) {}

namespace {

// Walks the tree without recursion: the depth checked is the one a crafted file could make.
bool withinLimits(const pugi::xml_document& document, const XmlLimits& limits) {
    std::size_t depth = 0;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            if (depth + 1 > limits.maximumDepth) {
                return false;
            }
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                if (std::strlen(a.value()) > limits.maximumAttributeBytes) {
                    return false;
                }
            }
        }
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            if (depth == 0) {
                return true;
            }
            --depth;
        }
        if (node) {
            node = node.next_sibling();
        }
    }
    return true;
}

}  // namespace

std::optional<XmlDocument> XmlDocument::parse(std::string_view bytes, const XmlLimits& limits) {
    XmlDocument document;
    const pugi::xml_parse_result result = document.doc_->load_buffer(
        bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    // pugixml keeps what it read before an error; such a tree is never used.
    if (result.status != pugi::status_ok || !document.doc_->document_element() ||
        !withinLimits(*document.doc_, limits)) {
        return std::nullopt;
    }
    return document;
}

XmlElement XmlDocument::root() const {
    return XmlElement(doc_, doc_->document_element());
}

XmlElement XmlDocument::setRoot(const XmlElement& element) {
    if (pugi::xml_node old = doc_->document_element()) {
        doc_->remove_child(old);
    }
    return XmlElement(doc_, doc_->append_copy(element.node_));
}

std::string XmlDocument::serialize() const {
    // Straight into one string: a stream's buffer would copy a large library twice more.
    struct StringWriter : pugi::xml_writer {
        std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>)";
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    } writer;
    doc_->save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.text);
}

}  // namespace m2::platform
