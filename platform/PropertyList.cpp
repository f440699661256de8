#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace m2::platform {
namespace {

// libplist hands out malloc'ed strings.
std::string takeString(char* text) {
    std::string result = text != nullptr ? text : "";
    std::free(text);
    return result;
}

plist_t makeNode(const PropertyValue& value) {
    struct Visitor {
        plist_t operator()(bool v) const { return plist_new_bool(v ? 1 : 0); }
        // libplist 2.2 keeps every integer in 64 bits and writes negative ones with their sign.
        plist_t operator()(std::int64_t v) const {
            return plist_new_uint(static_cast<std::uint64_t>(v));
        }
        plist_t operator()(double v) const { return plist_new_real(v); }
        plist_t operator()(const std::string& v) const { return plist_new_string(v.c_str()); }
    };
    return std::visit(Visitor{}, value);
}

// libplist's XML reader recurses once per nested element: deeper lists would overflow the
// stack. Ours are flat; a few levels of nesting is all any real list holds.
constexpr std::size_t kMaximumXmlNesting = 256;

// Whether the elements of an XML text nest no deeper than the bound (a cheap scan that
// needs no well-formed input: a malformed text is refused by the parser after it).
bool xmlNestsWithin(std::string_view text, std::size_t bound) {
    std::size_t depth = 0;
    for (std::size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
        if (i + 1 >= text.size()) {
            break;
        }
        const char next = text[i + 1];
        if (next == '/') {
            depth = depth > 0 ? depth - 1 : 0;
            continue;
        }
        if (next == '?' || next == '!') {
            continue;
        }
        const std::size_t close = text.find('>', i);
        if (close == std::string_view::npos) {
            break;
        }
        if (text[close - 1] != '/' && ++depth > bound) {
            return false;
        }
    }
    return true;
}

// The parsed tree of any encoding libplist reads; null when the bytes do not parse.
plist_t parseNode(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    if (bytes.substr(0, 6) != "bplist" && !xmlNestsWithin(bytes, kMaximumXmlNesting)) {
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    return root;
}

struct NodeFree {
    void operator()(plist_t node) const { plist_free(node); }
};

// The scalar a node holds; absent for containers, dates and data.
std::optional<PropertyValue> valueOf(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            std::uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return std::optional<PropertyValue>(std::in_place, std::in_place_type<bool>, v != 0);
        }
        case PLIST_UINT: {
            std::uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return std::optional<PropertyValue>(std::in_place, std::in_place_type<std::int64_t>,
                                                static_cast<std::int64_t>(v));
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return std::optional<PropertyValue>(std::in_place, std::in_place_type<double>, v);
        }
        case PLIST_STRING: {
            // Read with its length: libplist's copying getter aborts on a zero byte inside.
            std::uint64_t length = 0;
            const char* v = plist_get_string_ptr(node, &length);
            if (v == nullptr || std::memchr(v, '\0', length) != nullptr) {
                return std::nullopt;  // no text of ours holds one: a damaged value
            }
            return std::optional<PropertyValue>(std::in_place, std::in_place_type<std::string>, v,
                                                length);
        }
        default:
            return std::nullopt;
    }
}

// Whether a node, or any text or key inside it, holds a zero byte. libplist's getters abort
// on such a text and its copies keep its length but not its bytes (a read past the copy when
// written); its writer shows the real bytes, so the node is written once to see.
bool holdsZeroByte(plist_t node) {
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool found = xml == nullptr || std::memchr(xml, '\0', length) != nullptr;
    plist_to_xml_free(xml);
    return found;
}

// The dictionary with each key once, holding the last of its values (as libplist's XML reader
// keeps it, so a save and a reread give the same value). An entry holding a zero byte in its
// key or anywhere in its value is left out: no setting of ours holds one, and it reads as
// missing, so as that setting's default.
plist_t withUniqueKeys(plist_t dictionary) {
    plist_t result = plist_new_dict();
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dictionary, &iter);
    if (iter == nullptr) {
        return result;
    }
    for (;;) {
        plist_t item = nullptr;
        plist_dict_next_item(dictionary, iter, nullptr, &item);  // no key: its getter aborts
        if (item == nullptr) {
            break;
        }
        plist_t keyNode = plist_dict_item_get_key(item);
        if (holdsZeroByte(keyNode) || holdsZeroByte(item)) {
            continue;
        }
        char* key = nullptr;
        plist_get_key_val(keyNode, &key);
        plist_dict_set_item(result, takeString(key).c_str(), plist_copy(item));
    }
    std::free(iter);
    return result;
}

}  // namespace

void PropertyList::Deleter::operator()(void* node) const {
    plist_free(static_cast<plist_t>(node));
}

PropertyList::PropertyList() : root_(plist_new_dict()) {}

PropertyList::PropertyList(void* root) : root_(root) {}

PropertyList::PropertyList(const PropertyList& other) : root_(plist_copy(other.root_.get())) {}

PropertyList& PropertyList::operator=(const PropertyList& other) {
    if (this != &other) {
        root_.reset(plist_copy(other.root_.get()));
    }
    return *this;
}

PropertyList::~PropertyList() = default;

std::optional<PropertyList> PropertyList::parse(std::string_view bytes) {
    plist_t root = parseNode(bytes);
    if (root == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<void, NodeFree> parsed(root);
    if (plist_get_node_type(root) != PLIST_DICT) {
        return std::nullopt;
    }
    return PropertyList(withUniqueKeys(root));
}

std::string PropertyList::toXml() const {
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root_.get(), &xml, &length);
    std::string result(xml != nullptr ? xml : "", xml != nullptr ? length : 0);
    plist_to_xml_free(xml);
    return result;
}

bool PropertyList::contains(const std::string& key) const {
    return plist_dict_get_item(root_.get(), key.c_str()) != nullptr;
}

std::optional<PropertyValue> PropertyList::value(const std::string& key) const {
    plist_t node = plist_dict_get_item(root_.get(), key.c_str());
    if (node == nullptr) {
        return std::nullopt;
    }
    return valueOf(node);
}

void PropertyList::set(const std::string& key, const PropertyValue& value) {
    // plist_dict_set_item replaces and frees an existing item of that key.
    plist_dict_set_item(root_.get(), key.c_str(), makeNode(value));
}

void PropertyList::remove(const std::string& key) {
    if (contains(key)) {
        plist_dict_remove_item(root_.get(), key.c_str());
    }
}

std::vector<std::string> PropertyList::keys() const {
    std::vector<std::string> result;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root_.get(), &iter);
    if (iter == nullptr) {
        return result;
    }
    for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(root_.get(), iter, &key, &item);
        if (item == nullptr) {
            std::free(key);
            break;
        }
        result.push_back(takeString(key));
    }
    std::free(iter);
    return result;
}

std::string singleValueBinaryPropertyList(const PropertyValue& value) {
    const std::unique_ptr<void, NodeFree> node(makeNode(value));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(node.get()), &bytes, &length);
    std::string result(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
    plist_to_bin_free(bytes);
    return result;
}

std::optional<PropertyValue> parseSingleValuePropertyList(std::string_view bytes) {
    plist_t root = parseNode(bytes);
    if (root == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<void, NodeFree> owned(root);
    return valueOf(root);
}

}  // namespace m2::platform
