#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace m2::platform {

// The scalar values the program reads and writes; other node types (dates, data, arrays,
// nested dictionaries) are kept in the tree untouched but are not exposed.
using PropertyValue = std::variant<bool, std::int64_t, double, std::string>;

// A property-list dictionary held as the whole parsed tree, so keys nobody here knows about
// survive a read-modify-write. Wraps libplist 2.2; nothing outside this file sees its API.
class PropertyList {
  public:
    PropertyList();  // an empty dictionary
    PropertyList(const PropertyList& other);
    PropertyList& operator=(const PropertyList& other);
    PropertyList(PropertyList&&) noexcept = default;
    PropertyList& operator=(PropertyList&&) noexcept = default;
    ~PropertyList();

    // Any encoding libplist reads (XML or binary). Absent when the bytes do not parse or the
    // top level is not a dictionary.
    [[nodiscard]] static std::optional<PropertyList> parse(std::string_view bytes);
    // The XML encoding.
    [[nodiscard]] std::string toXml() const;

    [[nodiscard]] bool contains(const std::string& key) const;
    // Absent when the key is missing or holds a node of another kind.
    [[nodiscard]] std::optional<PropertyValue> value(const std::string& key) const;
    void set(const std::string& key, const PropertyValue& value);
    void remove(const std::string& key);
    [[nodiscard]] std::vector<std::string> keys() const;

  private:
    struct Deleter {
        void operator()(void* node) const;
    };
    explicit PropertyList(void* root);
    std::unique_ptr<void, Deleter> root_;
};

// One value alone as a binary property list whose top object is the value itself; single
// typed values are kept this way in the keychain.
[[nodiscard]] std::string singleValueBinaryPropertyList(const PropertyValue& value);
// The value of such a list (any encoding libplist reads); absent when the bytes do not
// parse or the top object is not one of the scalar kinds.
[[nodiscard]] std::optional<PropertyValue> parseSingleValuePropertyList(std::string_view bytes);

}  // namespace m2::platform
