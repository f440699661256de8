#include "app/notes/NoteCategory.h"

#include <charconv>

namespace m2 {
namespace {

struct CategoryTexts {
    const char* image;
    const char* name;
};

constexpr std::array<CategoryTexts, 11> texts{{
    {"note-blue", "Application Password"},
    {"note-lightblue", "Finance"},
    {"note-green", "Legal Documents"},
    {"note-orange", "Memberships"},
    {"note", "No Category"},
    {"note-pink", "Other"},
    {"note-purple", "Personal"},
    {"note-silver", "Server"},
    {"note-red", "Software Licence"},
    {"note-darkblue", "Wifi Password"},
    {"note-emerald", "Work Related"},
}};

}  // namespace

std::optional<NoteCategory::Category> NoteCategory::Category::fromRawValue(long long rawValue) {
    if (rawValue < 0 || rawValue >= static_cast<long long>(allCases.size())) {
        return std::nullopt;
    }
    return Category(allCases[static_cast<std::size_t>(rawValue)]);
}

NoteCategory::Category NoteCategory::Category::fromStoredText(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);  // from_chars takes a minus sign only
    }
    long long value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return NoCategory;
    }
    return fromRawValue(value).value_or(NoCategory);
}

std::string NoteCategory::Category::image() const {
    return texts[static_cast<std::size_t>(value_)].image;
}

std::string NoteCategory::Category::asString() const {
    return texts[static_cast<std::size_t>(value_)].name;
}

}  // namespace m2
