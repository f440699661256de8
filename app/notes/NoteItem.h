#pragma once

#include <memory>
#include <string>

#include "app/notes/NoteCategory.h"
#include "platform/Xml.h"

namespace m2 {

// One secure note: a title, a text of any length, a category and an identifier. Holders
// share one instance (the store's list, a grid tile and the editor), so an edit changes it
// in place.
class NoteItem {
  public:
    // A note from values; its image is the category's.
    NoteItem(std::string label, NoteCategory::Category category, std::string content,
             std::string id);
    // A new empty note of NoCategory with a fresh identifier.
    NoteItem();
    // A note from one "note" element; missing attributes leave the empty values, a category
    // that is not 0 to 10 reads as NoCategory, and the image stays empty.
    explicit NoteItem(const platform::XmlElement& element);

    std::string label;
    std::string image;
    std::string content;
    NoteCategory::Category category = NoteCategory::Category::NoCategory;
    std::string id;

    // A new "note" element with the attributes "id", "title", "category", "details", and
    // "detailsEscaped" when the text holds what would otherwise read back as an escape.
    [[nodiscard]] platform::XmlElement xmlElement() const;

  private:
    static constexpr const char* propertyLabelName = "note";
    static constexpr const char* propertyLabelId = "id";
    static constexpr const char* propertyLabelLabel = "title";
    static constexpr const char* propertyLabelCategory = "category";
    static constexpr const char* propertyLabelDetails = "details";
};

using NoteItemPtr = std::shared_ptr<NoteItem>;

}  // namespace m2
