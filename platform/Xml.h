#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace m2::platform {

// One attribute, not yet attached to an element.
struct XmlAttribute {
    std::string name;
    std::string value;
    bool operator==(const XmlAttribute&) const = default;
};

// A handle to one element. Every handle keeps its document alive, so an element made on
// its own (create) can be handed around and copied into a document later.
//
// Attribute values are byte strings: any bytes, also control characters and bytes that
// are not UTF-8 (Linux file names may hold both), are written as well-formed XML and read
// back unchanged. What XML cannot carry is stored as characters of U+F700-U+F7FF, one per
// byte, and a character of that range is itself stored as the escapes of its bytes, so the
// two never meet; ordinary text is written as it is.
class XmlElement {
  public:
    XmlElement() = default;  // a null handle

    // A new element that belongs to no document yet.
    [[nodiscard]] static XmlElement create(std::string_view name);

    [[nodiscard]] bool isNull() const;
    explicit operator bool() const { return !isNull(); }

    [[nodiscard]] std::string name() const;

    // The value of this element's own attribute of that name (matched exactly); absent when
    // there is none. An attribute with an empty value answers "".
    [[nodiscard]] std::optional<std::string> attribute(std::string_view name) const;
    // Sets the attribute, replacing the value of one of the same name, else appending it.
    void setAttribute(std::string_view name, std::string_view value);
    void addAttribute(const XmlAttribute& attribute) {
        setAttribute(attribute.name, attribute.value);
    }
    // The same for values that are text and nothing else (a note's title and words): no byte
    // layer, so every character, U+F700-U+F7FF included, is stored and read as itself. What XML
    // 1.0 cannot hold is written as a character reference this reader takes back; a NUL cannot
    // be stored at all and is left out.
    [[nodiscard]] std::optional<std::string> textAttribute(std::string_view name) const;
    void setTextAttribute(std::string_view name, std::string_view value);
    // Every attribute in document order.
    [[nodiscard]] std::vector<XmlAttribute> attributes() const;

    // Direct child elements in document order; with a name, only those of that name.
    [[nodiscard]] std::vector<XmlElement> childElements() const;
    [[nodiscard]] std::vector<XmlElement> childElements(std::string_view name) const;

    // Appends a new empty child element and answers it.
    XmlElement appendChild(std::string_view name);
    // Appends a copy of `element` (with its subtree) and answers the copy.
    XmlElement appendCopy(const XmlElement& element);

  private:
    friend class XmlDocument;
    XmlElement(std::shared_ptr<pugi::xml_document> owner, const pugi::xml_node& node);

    std::shared_ptr<pugi::xml_document> owner_;
    pugi::xml_node node_;
};

// Bounds on what parse accepts, so a crafted file can neither exhaust the stack of a
// reader that walks the tree nor hand out values no stored file ever holds.
struct XmlLimits {
    std::size_t maximumDepth = 2048;                // elements nested in one another
    std::size_t maximumAttributeBytes = 16u << 20;  // one attribute value, as stored
};

// One XML document.
class XmlDocument {
  public:
    XmlDocument();

    // The document the bytes hold; absent unless the whole text parsed without error (a
    // partly parsed document is never answered), it has a root element and it keeps
    // within the limits.
    [[nodiscard]] static std::optional<XmlDocument> parse(std::string_view bytes,
                                                          const XmlLimits& limits = {});

    // The root element; a null handle when there is none.
    [[nodiscard]] XmlElement root() const;
    // Makes a copy of `element` the root, replacing any root there was, and answers it.
    XmlElement setRoot(const XmlElement& element);

    // UTF-8 with an XML declaration, no indentation and no line breaks.
    [[nodiscard]] std::string serialize() const;

  private:
    std::shared_ptr<pugi::xml_document> doc_;
};

// Appends ` name="value"` exactly as XmlDocument::serialize() writes an attribute that
// setAttribute(name, value) made, for writers that build a large document as text
// without a tree.
void appendXmlAttribute(std::string& out, std::string_view name, std::string_view value);

// The byte layer on its own, for tests: encodeXmlText answers text XML can carry,
// decodeXmlText turns it back; decodeXmlText(encodeXmlText(s)) == s for every s.
[[nodiscard]] std::string encodeXmlText(std::string_view bytes);
[[nodiscard]] std::string decodeXmlText(std::string_view text);

}  // namespace m2::platform
