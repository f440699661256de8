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
// A text that itself looks like one of those escapes cannot be stored that way alone: its
// note is marked, and then its "&" is stored as this text too. Unmarked notes read as ever.
constexpr std::string_view ampersandText = "&#38;";
constexpr const char* escapedMarkName = "detailsEscaped";

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

std::string storedText(const std::string& content, bool withAmpersand) {
    std::string text = withAmpersand ? replaceAll(content, "&", ampersandText) : content;
    return replaceAll(replaceAll(std::move(text), "\n", lineFeedText), "\t", tabText);
}

std::string unmarkedContent(std::string stored) {
    return replaceAll(replaceAll(std::move(stored), lineFeedText, "\n"), tabText, "\t");
}

// One pass, so an escape never meets the text another one made.
std::string markedContent(std::string_view stored) {
    std::string content;
    content.reserve(stored.size());
    for (std::size_t pos = 0; pos < stored.size();) {
        if (stored.substr(pos, lineFeedText.size()) == lineFeedText) {
            content += '\n';
            pos += lineFeedText.size();
        } else if (stored.substr(pos, tabText.size()) == tabText) {
            content += '\t';
            pos += tabText.size();
        } else if (stored.substr(pos, ampersandText.size()) == ampersandText) {
            content += '&';
            pos += ampersandText.size();
        } else {
            content += stored[pos++];
        }
    }
    return content;
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
        content = element.textAttribute(escapedMarkName) ? markedContent(*value)
                                                         : unmarkedContent(std::move(*value));
    }
}

platform::XmlElement NoteItem::xmlElement() const {
    platform::XmlElement element = platform::XmlElement::create(propertyLabelName);
    element.setTextAttribute(propertyLabelId, id);
    element.setTextAttribute(propertyLabelLabel, label);
    element.setTextAttribute(propertyLabelCategory, std::to_string(category.rawValue()));
    std::string stored = storedText(content, false);
    const bool marked = unmarkedContent(stored) != content;
    if (marked) {
        stored = storedText(content, true);
    }
    element.setTextAttribute(propertyLabelDetails, stored);
    if (marked) {
        element.setTextAttribute(escapedMarkName, "1");
    }
    return element;
}

}  // namespace m2
