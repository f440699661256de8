#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace m2 {

// A cloud storage provider whose synchronised folder the library shows as a subtree, or
// CloudRoot, the "Cloud" node above them. Each carries the fixed texts of its tree node and
// reaches its two settings (included, folder path) through Settings.
class CloudType {
  public:
    enum Value : int {
        CloudRoot = 0,
        DropBox = 1,
        DropBoxBusiness = 2,
        iCloud = 3,
        GoogleDrive = 4
    };
    static constexpr std::array<Value, 5> allCases{CloudRoot, DropBox, DropBoxBusiness, iCloud,
                                                   GoogleDrive};

    constexpr CloudType(Value value) : value_(value) {}  // implicit: reads like the enumeration
    // The case with that raw value; nothing outside 0 to 4.
    [[nodiscard]] static std::optional<CloudType> fromRawValue(int rawValue);

    [[nodiscard]] constexpr int rawValue() const { return value_; }
    [[nodiscard]] constexpr Value value() const { return value_; }
    [[nodiscard]] std::size_t hashValue() const { return static_cast<std::size_t>(value_); }

    [[nodiscard]] std::string label() const;
    [[nodiscard]] std::string image() const;
    // The fixed GUID text of the provider's folder node.
    [[nodiscard]] std::string id() const;

    // The provider's settings; CloudRoot has none: it reads as not included with an empty
    // path, and writing to it changes nothing.
    [[nodiscard]] bool included() const;
    void included(bool value) const;
    [[nodiscard]] std::string cloudPath() const;
    void cloudPath(const std::string& path) const;

    friend constexpr bool operator==(CloudType, CloudType) = default;

  private:
    Value value_;
};

}  // namespace m2

template <>
struct std::hash<m2::CloudType> {
    std::size_t operator()(m2::CloudType type) const noexcept { return type.hashValue(); }
};
