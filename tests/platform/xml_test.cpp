#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/Xml.h"
#include "support/XmlLint.h"

using m2::platform::decodeXmlText;
using m2::platform::encodeXmlText;
using m2::platform::XmlAttribute;
using m2::platform::XmlDocument;
using m2::platform::XmlElement;

namespace {

// Values XML reserves or cannot hold, and bytes that are not UTF-8.
const std::string awkward[] = {
    "",
    "plain",
    "a & b < c > d \" e ' f",
    "tab\there",
    "line\nfeed",
    "carriage\rreturn\r\n",
    std::string("nul\0byte", 8),
    "bell\x07 esc\x1b unit\x1f",
    "latin1 caf\xe9",
    "lone \x80 and \xff\xfe",
    "truncated \xe2\x82",
    "overlong \xc0\xaf",
    "surrogate \xed\xa0\x80",
    "noncharacter \xef\xbf\xbe \xef\xbf\xbf",
    "private \xef\x9c\x80 \xef\x9f\xbf",  // U+F700 and U+F7FF: the escape range itself
    "utf8 \xc3\xbc \xe2\x82\xac \xf0\x9f\x94\x92",
    "Icon\r",
};

TEST(XmlText, EncodingRoundTripsAndLeavesOrdinaryTextAlone) {
    for (const auto& value : awkward) {
        SCOPED_TRACE(testing::PrintToString(value));
        EXPECT_EQ(decodeXmlText(encodeXmlText(value)), value);
    }
    for (const std::string text :
         {"plain", "a & b < c", "tab\tline\ncr\r", "\xc3\xbc\xe2\x82\xac"}) {
        EXPECT_EQ(encodeXmlText(text), text);
    }
    // Random bytes, weighted towards the troublesome ranges.
    std::mt19937 random(8);
    const char pool[] = {'a',    '\0',   '\x01', '\t',   '\n',   '\r',   '\x7f', '\x80', '\xbf',
                         '\xc3', '\xe2', '\xef', '\x9c', '\x9f', '\xf0', '\xff', '&',    '<'};
    for (int round = 0; round < 2000; ++round) {
        std::string value;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            value += pool[random() % sizeof(pool)];
        }
        ASSERT_EQ(decodeXmlText(encodeXmlText(value)), value) << testing::PrintToString(value);
    }
}

// The byte layer's escapes are characters of U+F700-U+F7FF: a real one of them is itself
// written as escapes, so the two never meet, and what files written before hold (one escape
// per byte) reads as it did. Text attributes carry no byte layer at all.
TEST(XmlText, TheEscapeRangeNeverMeetsRealCharactersAndTextAttributesCarryNoEscapes) {
    const std::string real = "\uf700 \uf741 \uf7ff";
    EXPECT_EQ(encodeXmlText(real).find(real), std::string::npos);
    EXPECT_EQ(decodeXmlText(encodeXmlText(real)), real);
    EXPECT_EQ(decodeXmlText("a\uf7ffb\uf700\uf741"), std::string("a\xff"
                                                                 "b\0A",
                                                                 5));

    XmlDocument doc;
    XmlElement root = doc.setRoot(XmlElement::create("root"));
    root.setTextAttribute("text", real + " & <\t\n\r\x01" + std::string("\0nul", 4));
    root.setAttribute("bytes", real);
    const std::string bytes = doc.serialize();
    EXPECT_NE(bytes.find("text=\"" + real + " &amp; &lt;"), std::string::npos) << bytes;
    const auto back = XmlDocument::parse(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->root().textAttribute("text"), real + " & <\t\n\r\x01nul");
    EXPECT_EQ(back->root().attribute("bytes"), real);
    EXPECT_EQ(back->root().attribute("text"), std::string("\0 A \xff & <\t\n\r\x01nul", 16))
        << "the byte layer would take the real characters for bytes";
    EXPECT_EQ(back->root().textAttribute("missing"), std::nullopt);
}

TEST(XmlDocument, AttributesRoundTripThroughWellFormedText) {
    XmlDocument doc;
    XmlElement root = doc.setRoot(XmlElement::create("root"));
    root.setAttribute("version", "1");
    for (std::size_t i = 0; i < std::size(awkward); ++i) {
        XmlElement e = root.appendChild("item");
        e.setAttribute("value", awkward[i]);
        e.setAttribute("index", std::to_string(i));
    }
    const std::string bytes = doc.serialize();
    EXPECT_TRUE(m2::test::xmllintAccepts(bytes)) << bytes;
    EXPECT_EQ(bytes.find('\n'), std::string::npos);  // raw: no line breaks

    const auto back = XmlDocument::parse(bytes);
    ASSERT_TRUE(back.has_value());
    const auto items = back->root().childElements("item");
    ASSERT_EQ(items.size(), std::size(awkward));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(awkward[i]));
        EXPECT_EQ(items[i].attribute("value"), awkward[i]);
        EXPECT_EQ(items[i].attribute("index"), std::to_string(i));
    }
}

TEST(XmlDocument, SerialisesOrdinaryDocumentsAsExpected) {
    XmlDocument doc;
    XmlElement root = doc.setRoot(XmlElement::create("libraryFiles"));
    root.addAttribute(XmlAttribute{"version", "1"});
    XmlElement file = XmlElement::create("file");
    file.setAttribute("fileName", "R&D <1>.txt");
    file.setAttribute("empty", "");
    root.appendCopy(file);
    EXPECT_EQ(doc.serialize(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><libraryFiles version=\"1\">"
              "<file fileName=\"R&amp;D &lt;1>.txt\" empty=\"\"/></libraryFiles>");
}

TEST(XmlDocument, DamagedOrEmptyTextHasNoValue) {
    for (const std::string bytes : {
             "", "   ", "not xml at all", "<?xml version=\"1.0\"?>",
             "<root><file id=\"1\"/>",            // cut off: pugixml keeps a partial tree
             "<root><file id=\"1\"></root>",      // mismatched end
             "<root a=\"1\" a=\"2\"><x></root>",  // broken inside
             "<root><file id=\"1 /></root>",      // unterminated attribute
             "<root></root><second/><",           // garbage after the root
         }) {
        SCOPED_TRACE(bytes);
        EXPECT_FALSE(XmlDocument::parse(bytes).has_value());
    }
}

TEST(XmlElement, AttributesChildrenAndDetachedElements) {
    const auto doc = XmlDocument::parse(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!-- comment --><root Name=\"upper\" name=\"\">text<file id=\"a\"><file "
        "id=\"deep\"/></file>"
        "<other id=\"o\"/><file id=\"b\"/></root>");
    ASSERT_TRUE(doc.has_value());
    const XmlElement root = doc->root();
    EXPECT_EQ(root.name(), "root");
    EXPECT_EQ(root.attribute("name"), std::string());  // present and empty
    EXPECT_EQ(root.attribute("Name"), "upper");        // names match exactly
    EXPECT_EQ(root.attribute("NAME"), std::nullopt);
    EXPECT_EQ(root.attribute("id"), std::nullopt);  // a child's attribute is not seen

    const auto files = root.childElements("file");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].attribute("id"), "a");
    EXPECT_EQ(files[1].attribute("id"), "b");
    EXPECT_EQ(root.childElements().size(), 3u);

    // A detached element outlives nothing it needs, and a copy is independent of it.
    XmlElement detached = XmlElement::create("folder");
    detached.setAttribute("x", "1");
    detached.setAttribute("y", "2");
    detached.setAttribute("x", "3");  // replaces, keeps its place
    EXPECT_EQ(detached.attributes(), (std::vector<XmlAttribute>{{"x", "3"}, {"y", "2"}}));
    XmlDocument target;
    XmlElement copy = target.setRoot(detached);
    detached.setAttribute("x", "changed");
    EXPECT_EQ(copy.attribute("x"), "3");
    copy.appendChild("child").setAttribute("z", "9");
    EXPECT_EQ(target.root().childElements("child").at(0).attribute("z"), "9");

    EXPECT_TRUE(XmlElement().isNull());
    EXPECT_TRUE(XmlDocument().root().isNull());
}

}  // namespace

// A document deeper or with a longer value than the reader allows is refused as a whole
// (and quickly: the check walks the tree without recursion); one within the limits parses.
TEST(XmlDocument, LimitsOnDepthAndValueLength) {
    const auto nestedDoc = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) {
            text += "<a>";
        }
        for (int i = 0; i < levels; ++i) {
            text += "</a>";
        }
        return text;
    };
    const m2::platform::XmlLimits limits{8, 16};
    const struct {
        std::string text;
        bool parses;
    } cases[] = {
        {nestedDoc(8), true},
        {nestedDoc(9), false},
        {"<a><b/><c><d/></c></a>", true},
        {"<a v=\"" + std::string(16, 'x') + "\"/>", true},
        {"<a><b v=\"" + std::string(17, 'x') + "\"/></a>", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XmlDocument::parse(c.text, limits).has_value(), c.parses) << c.text.substr(0, 40);
    }
    // The defaults take any real stored file and refuse a crafted one.
    EXPECT_TRUE(XmlDocument::parse(nestedDoc(2000)).has_value());
    EXPECT_FALSE(XmlDocument::parse(nestedDoc(30000)).has_value());
}
