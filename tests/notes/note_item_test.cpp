#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/notes/NoteItem.h"
#include "platform/Xml.h"

using m2::NoteCategory;
using m2::NoteItem;
using m2::platform::XmlAttribute;
using m2::platform::XmlDocument;
using m2::platform::XmlElement;
using Category = m2::NoteCategory::Category;

namespace {

TEST(NoteCategory, ElevenCasesWithTheirImagesAndNames) {
    struct Row {
        int raw;
        Category category;
        const char* image;
        const char* name;
    };
    const Row rows[] = {
        {0, Category::ApplicationPassword, "note-blue", "Application Password"},
        {1, Category::Finance, "note-lightblue", "Finance"},
        {2, Category::LegalDocs, "note-green", "Legal Documents"},
        {3, Category::Memberships, "note-orange", "Memberships"},
        {4, Category::NoCategory, "note", "No Category"},
        {5, Category::Other, "note-pink", "Other"},
        {6, Category::Personal, "note-purple", "Personal"},
        {7, Category::Server, "note-silver", "Server"},
        {8, Category::SoftwareLic, "note-red", "Software Licence"},
        {9, Category::Wifi, "note-darkblue", "Wifi Password"},
        {10, Category::Work, "note-emerald", "Work Related"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.category.rawValue(), row.raw);
        EXPECT_EQ(Category::fromRawValue(row.raw), row.category);
        EXPECT_EQ(row.category.image(), row.image);
        EXPECT_EQ(row.category.asString(), row.name);
        EXPECT_EQ(std::hash<Category>()(row.category), static_cast<std::size_t>(row.raw));
    }
    EXPECT_EQ(Category::fromRawValue(-1), std::nullopt);
    EXPECT_EQ(Category::fromRawValue(11), std::nullopt);
}

TEST(NoteItem, NewNotesAreEmptyWithFreshUpperCaseIds) {
    const NoteItem a;
    const NoteItem b;
    EXPECT_EQ(a.label, "");
    EXPECT_EQ(a.content, "");
    EXPECT_EQ(a.image, "");
    EXPECT_EQ(a.category, Category::NoCategory);
    // A UUID text (its form is the platform's, tested there) in upper case.
    EXPECT_EQ(a.id.size(), 36u);
    EXPECT_EQ(std::count(a.id.begin(), a.id.end(), '-'), 4) << a.id;
    EXPECT_TRUE(std::none_of(a.id.begin(), a.id.end(), ::islower)) << a.id;
    EXPECT_NE(a.id, b.id);

    const NoteItem fromValues("Router", Category::Wifi, "pass", "ID-1");
    EXPECT_EQ(fromValues.image, "note-darkblue");
    EXPECT_EQ(fromValues.id, "ID-1");
}

TEST(NoteItem, ElementHoldsTheFourAttributesInOrderWithLineFeedsAndTabsEscaped) {
    const NoteItem note("Wifi & <home>", Category::Wifi, "line1\nline2\tcol\rend", "ID-9");
    const XmlElement element = note.xmlElement();
    EXPECT_EQ(element.name(), "note");
    const std::vector<XmlAttribute> expected{{"id", "ID-9"},
                                             {"title", "Wifi & <home>"},
                                             {"category", "9"},
                                             {"details", "line1&#13;line2&#09;col\rend"}};
    EXPECT_EQ(element.attributes(), expected);

    // The escape texts are ordinary text in the value, so the serialiser escapes their "&".
    XmlDocument document;
    document.setRoot(element);
    EXPECT_NE(document.serialize().find("line1&amp;#13;line2&amp;#09;col"), std::string::npos)
        << document.serialize();

    const auto parsed = XmlDocument::parse(document.serialize());
    ASSERT_TRUE(parsed);
    const NoteItem back(parsed->root());
    EXPECT_EQ(back.id, "ID-9");
    EXPECT_EQ(back.label, "Wifi & <home>");
    EXPECT_EQ(back.content, "line1\nline2\tcol\rend");
    EXPECT_EQ(back.category, Category::Wifi);
    EXPECT_EQ(back.image, "") << "the image is not derived from the category";
}

TEST(NoteItem, ReadingAnElementKeepsTheNoteWhateverItsAttributes) {
    struct Case {
        std::vector<XmlAttribute> attributes;
        const char* id;
        const char* label;
        const char* content;
        Category category;
    };
    const Case cases[] = {
        {{{"id", "only-id"}}, "only-id", "", "", Category::NoCategory},
        {{}, "", "", "", Category::NoCategory},
        {{{"title", "t"}, {"extra", "x"}, {"category", "1"}}, "", "t", "", Category::Finance},
        // The literal escape texts read back as a line feed and a tab.
        {{{"details", "a&#13;b&#09;c&#10;"}}, "", "", "a\nb\tc&#10;", Category::NoCategory},
        // A note marked as having its "&" escaped too (text that looked like an escape).
        {{{"details", "&#38;#13;&#13;&#38;&#38;#09;"}, {"detailsEscaped", "1"}},
         "",
         "",
         "&#13;\n&&#09;",
         Category::NoCategory},
        // Unmarked, as every file written before: read as ever.
        {{{"details", "&#38;#13;"}}, "", "", "&#38;#13;", Category::NoCategory},
        {{{"category", "+9"}}, "", "", "", Category::Wifi},
        {{{"category", "010"}}, "", "", "", Category::Work},
        // A category that is no case of the eleven keeps the note as NoCategory.
        {{{"category", "11"}}, "", "", "", Category::NoCategory},
        {{{"category", "-1"}}, "", "", "", Category::NoCategory},
        {{{"category", ""}}, "", "", "", Category::NoCategory},
        {{{"category", "Finance"}}, "", "", "", Category::NoCategory},
        {{{"category", "1.0"}}, "", "", "", Category::NoCategory},
        {{{"category", " 1"}}, "", "", "", Category::NoCategory},
        {{{"category", "+"}}, "", "", "", Category::NoCategory},
        {{{"category", "99999999999999999999"}}, "", "", "", Category::NoCategory},
    };
    for (const auto& c : cases) {
        XmlElement element = XmlElement::create("note");
        for (const auto& attribute : c.attributes) {
            element.addAttribute(attribute);
        }
        SCOPED_TRACE(testing::PrintToString(element.attributes()));
        const NoteItem note(element);
        EXPECT_EQ(note.id, c.id);
        EXPECT_EQ(note.label, c.label);
        EXPECT_EQ(note.content, c.content);
        EXPECT_EQ(note.category, c.category);
        EXPECT_EQ(note.image, "");
    }
}

}  // namespace
