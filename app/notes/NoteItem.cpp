#include "app/notes/NoteItem.h"

#include <string_view>
#include <utility>

#include "platform/Uuid.h"

namespace m2 {
namespace {

// Line feeds and tabs are stored as these texts inside "details" (the stored format's own
// escaping; a line feed takes the carriage-return number).
constexpr std::string_view lineFeedText = "&#13;";
constexpr std::string_view tabText = "&#09;";

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

}  // namespace

NoteItem::NoteItem(std::string label, NoteCategory::Category category, std::string content,
                   std::string id)
    : label(std::move(label)),
      image(category.image()),
      content(std::move(content)),
      category(category),
      id(std::move(id)) {}

NoteItem::NoteItem() : id(platform::newUuidString()) {}

// A note's fields are text, never escaped bytes: every character reads as itself.
NoteItem::NoteItem(const platform::XmlElement& element) {
    if (auto value = element.textAttribute(propertyLabelId)) {
        id = std::move(*value);
    }
    if (auto value = element.textAttribute(propertyLabelLabel)) {
        label = std::move(*value);
    }
    if (auto value = element.textAttribute(propertyLabelCategory)) {
        category = NoteCategory::Category::fromStoredText(*value);
    }
    if (auto value = element.textAttribute(propertyLabelDetails)) {
        content = replaceAll(replaceAll(std::move(*value), lineFeedText, "\n"), tabText, "\t");
    }
}

platform::XmlElement NoteItem::xmlElement() const {
    platform::XmlElement element = platform::XmlElement::create(propertyLabelName);
    element.setTextAttribute(propertyLabelId, id);
    element.setTextAttribute(propertyLabelLabel, label);
    element.setTextAttribute(propertyLabelCategory, std::to_string(category.rawValue()));
    element.setTextAttribute(propertyLabelDetails,
                             replaceAll(replaceAll(content, "\n", lineFeedText), "\t", tabText));
    return element;
}

}  // namespace m2
