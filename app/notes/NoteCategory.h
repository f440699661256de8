#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace m2 {

// The scope of the note categories; it holds nothing itself.
class NoteCategory {
  public:
    NoteCategory() = default;

    // One of the eleven categories a note belongs to: its picture and its display name, which
    // is also the key the notes store groups notes by.
    class Category {
      public:
        enum Value : int {
            ApplicationPassword = 0,
            Finance = 1,
            LegalDocs = 2,
            Memberships = 3,
            NoCategory = 4,
            Other = 5,
            Personal = 6,
            Server = 7,
            SoftwareLic = 8,
            Wifi = 9,
            Work = 10
        };
        static constexpr std::array<Value, 11> allCases{
            ApplicationPassword, Finance, LegalDocs, Memberships,
            NoCategory,          Other,   Personal,  Server,
            SoftwareLic,         Wifi,    Work};

        constexpr Category(Value value) : value_(value) {}  // implicit: reads like the enum
        // The case with that raw value; nothing outside 0 to 10.
        [[nodiscard]] static std::optional<Category> fromRawValue(long long rawValue);
        // The case a stored "category" text names: a decimal integer (optional sign) from 0
        // to 10; anything else is NoCategory, so a damaged value never costs the note.
        [[nodiscard]] static Category fromStoredText(std::string_view text);

        [[nodiscard]] constexpr int rawValue() const { return value_; }
        [[nodiscard]] constexpr Value value() const { return value_; }
        [[nodiscard]] std::size_t hashValue() const { return static_cast<std::size_t>(value_); }

        [[nodiscard]] std::string image() const;
        [[nodiscard]] std::string asString() const;

        friend constexpr bool operator==(Category, Category) = default;

      private:
        Value value_;
    };
};

}  // namespace m2

template <>
struct std::hash<m2::NoteCategory::Category> {
    std::size_t operator()(m2::NoteCategory::Category category) const noexcept {
        return category.hashValue();
    }
};
