#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/library/FileItem.h"
#include "app/library/FolderItem.h"
#include "app/library/XmlUtils.h"
#include "platform/Xml.h"
#include "support/TestFiles.h"

using m2::FileItem;
using m2::FolderItem;
using m2::XmlUtils;
using m2::platform::XmlAttribute;
using m2::platform::XmlDocument;
using m2::platform::XmlElement;

namespace {

// Texts XML reserves or cannot carry, as names, labels and paths may hold them.
const std::string awkwardTexts[] = {
    "R&D <draft> \"quoted\" 'single'",
    "tab\tline\nfeed\rreturn",
    "Icon\r",
    "bell\x07 and escape\x1b",
    "latin-1 caf\xe9 \xff",
    "\xc3\xbc\xe2\x82\xac \xf0\x9f\x94\x92",
    "",
};

// Serialises the element in a document and parses it back, as a file would.
XmlElement throughText(const XmlElement& element) {
    XmlDocument doc;
    doc.setRoot(XmlElement::create("root")).appendCopy(element);
    auto back = XmlDocument::parse(doc.serialize());
    EXPECT_TRUE(back.has_value());
    return back ? back->root().childElements().at(0) : XmlElement();
}

// Every field of a folder in one text, so one comparison shows all differences.
std::string describe(const FolderItem& f) {
    return "label=" + f.label + " id=" + f.id + " icon=" + f.icon + " parent=" + f.parent +
           " selected=" + m2::flagText(f.selected) + " expanded=" + m2::flagText(f.expanded) +
           " count=" + std::to_string(f.itemCount) + " cloud=" + m2::flagText(f.isCloudFolder) +
           " path=" + f.cloudPath + " children=" + std::to_string(f.children.size());
}

std::vector<std::string> attributeNames(const XmlElement& element) {
    std::vector<std::string> names;
    for (const auto& a : element.attributes()) {
        names.push_back(a.name);
    }
    return names;
}

TEST(XmlUtils, CreatesAndReadsAttributes) {
    EXPECT_EQ(XmlUtils::createAttribute("id", "x&y"), (XmlAttribute{"id", "x&y"}));
    XmlElement e = XmlElement::create("e");
    e.addAttribute(XmlUtils::createAttribute("empty", ""));
    e.appendChild("child").setAttribute("inner", "1");
    EXPECT_EQ(XmlUtils::getAttributeValue(e, "empty"), std::string());
    EXPECT_EQ(XmlUtils::getAttributeValue(e, "Empty"), std::nullopt);
    EXPECT_EQ(XmlUtils::getAttributeValue(e, "inner"), std::nullopt);
}

TEST(FolderItem, InitialisersAndValidate) {
    const FolderItem a("Work", "parent-id", "folder-16");
    const FolderItem b("Work", "parent-id", "folder-16");
    EXPECT_EQ(a.id.size(), 36u);
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(describe(a), "label=Work id=" + a.id +
                               " icon=folder-16 parent=parent-id selected=false expanded=false "
                               "count=0 cloud=false path= children=0");
    EXPECT_TRUE(a.validate());

    const FolderItem cloud("Dropbox", "root", "dropbox", "fixed-id", true, "/home/u/Dropbox");
    EXPECT_EQ(cloud.id, "fixed-id");
    EXPECT_TRUE(cloud.isCloudFolder);
    EXPECT_EQ(cloud.cloudPath, "/home/u/Dropbox");

    EXPECT_FALSE(FolderItem("", "p", "i", "id").validate());
    EXPECT_FALSE(FolderItem("label", "p", "i", "").validate());
}

TEST(FolderItem, WritesNineAttributesInOrderAndReadsThemBack) {
    for (const auto& text : awkwardTexts) {
        SCOPED_TRACE(testing::PrintToString(text));
        FolderItem folder("label " + text, "parent " + text, "icon " + text, "id " + text, true,
                          text);
        folder.expanded = true;
        folder.selected = false;
        folder.itemCount = -42;
        folder.children.push_back(std::make_shared<FolderItem>("child", "", ""));

        const XmlElement element = folder.xmlElement();
        EXPECT_EQ(element.name(), "folder");
        EXPECT_EQ(
            attributeNames(element),
            (std::vector<std::string>{"folderNameID", "id", "icon", "parent", "selected",
                                      "expanded", "itemCount", "itemIsCloud", "itemCloudPath"}));
        EXPECT_TRUE(element.childElements().empty());
        EXPECT_EQ(element.attribute("itemCount"), "-42");

        const FolderItem back(throughText(element));
        folder.children.clear();  // the element carries no sub-folders
        EXPECT_EQ(describe(back), describe(folder));
    }
}

TEST(FolderItem, ReadingRulesForFlagsCountsAndAbsentAttributes) {
    const auto read = [](const std::string& xml) {
        return FolderItem(XmlDocument::parse(xml)->root());
    };
    const FolderItem labelOnly =
        read(R"(<folder folderNameID="Only"><folder id="inner"/></folder>)");
    EXPECT_EQ(describe(labelOnly),
              "label=Only id= icon= parent= selected=false expanded=false count=0 cloud=false "
              "path= children=0");
    EXPECT_FALSE(labelOnly.validate());

    const struct {
        std::string value;
        bool flag;
    } flags[] = {{"true", true}, {"True", false}, {"TRUE", false},  {"1", false},
                 {"yes", false}, {"", false},     {" true", false}, {"false", false}};
    for (const auto& c : flags) {
        SCOPED_TRACE(c.value);
        const FolderItem f = read("<folder selected=\"" + c.value + "\" expanded=\"" + c.value +
                                  "\" itemIsCloud=\"" + c.value + "\"/>");
        EXPECT_EQ(f.selected, c.flag);
        EXPECT_EQ(f.expanded, c.flag);
        EXPECT_EQ(f.isCloudFolder, c.flag);
    }

    const struct {
        std::string value;
        std::int64_t count;
    } counts[] = {{"12", 12},
                  {"+7", 7},
                  {"-3", -3},
                  {"0", 0},
                  {"9223372036854775807", INT64_MAX},
                  {"-9223372036854775808", INT64_MIN},
                  {"9223372036854775808", 0},
                  {" 5", 0},
                  {"5 ", 0},
                  {"5x", 0},
                  {"--5", 0},
                  {"+-5", 0},
                  {"", 0},
                  {"0x10", 0}};
    for (const auto& c : counts) {
        SCOPED_TRACE(c.value);
        const FolderItem f = read("<folder folderNameID=\"n\" itemCount=\"" + c.value + "\"/>");
        EXPECT_EQ(f.itemCount, c.count);
        EXPECT_EQ(f.label, "n");
    }
}

TEST(FileItem, InitialisersSizeAndValidate) {
    const FileItem empty;
    EXPECT_EQ(empty.id.size(), 36u);
    EXPECT_EQ(empty.size, "");
    EXPECT_FALSE(empty.validate());

    m2::test::TempDir dir;
    m2::test::writeFile(dir / "report.txt", std::string(1500, 'x'));
    const FileItem present("file://" + dir.path().string() + "/report.txt", "report.txt",
                           "folder-id", false, true, dir.path().string(), false);
    EXPECT_EQ(present.size, "2 KB");
    EXPECT_EQ(present.id.size(), 36u);
    EXPECT_TRUE(present.favorite);
    EXPECT_TRUE(present.validate());
    EXPECT_NE(present.id, FileItem().id);

    const FileItem missing("file:///nowhere/gone.txt", "gone.txt", "f", true, false, "/nowhere",
                           true);
    EXPECT_EQ(missing.size, "-");
    EXPECT_TRUE(missing.encrypted);
    EXPECT_TRUE(missing.cloudFile);

    // Each of the four required fields, empty, fails validation.
    for (auto field :
         {&FileItem::id, &FileItem::fileName, &FileItem::filePath, &FileItem::absolutePath}) {
        FileItem item = present;
        item.*field = "";
        EXPECT_FALSE(item.validate());
    }
    FileItem noFolder = present;
    noFolder.folder = "";
    noFolder.size = "";
    EXPECT_TRUE(noFolder.validate());
}

TEST(FileItem, WritesNineAttributesInOrderAndReadsThemBack) {
    for (const auto& text : awkwardTexts) {
        SCOPED_TRACE(testing::PrintToString(text));
        FileItem item;
        item.fileName = "name " + text;
        item.encrypted = true;
        item.favorite = false;
        item.filePath = "/path/" + text;
        item.folder = "folder " + text;
        item.absolutePath = "file:///path/" + text;
        item.id = "id " + text;
        item.cloudFile = true;
        item.size = "1.5 MB";

        const XmlElement element = item.xmlElement();
        EXPECT_EQ(element.name(), "file");
        EXPECT_EQ(
            attributeNames(element),
            (std::vector<std::string>{"fileName", "encrypted", "favorite", "filePath", "folder",
                                      "absolutePath", "id", "cloudFile", "filesize"}));
        const FileItem back(throughText(element));
        EXPECT_EQ(back.fileName, item.fileName);
        EXPECT_EQ(back.encrypted, true);
        EXPECT_EQ(back.favorite, false);
        EXPECT_EQ(back.filePath, item.filePath);
        EXPECT_EQ(back.folder, item.folder);
        EXPECT_EQ(back.absolutePath, item.absolutePath);
        EXPECT_EQ(back.id, item.id);
        EXPECT_EQ(back.cloudFile, true);
        EXPECT_EQ(back.size, "1.5 MB");
    }
}

TEST(FileItem, ReadingRulesForFlagsAndAbsentAttributes) {
    const auto doc = XmlDocument::parse(
        R"(<file fileName="a.txt" encrypted="True" favorite="true" cloudFile="yes"/>)");
    const FileItem item(doc->root());
    EXPECT_EQ(item.fileName, "a.txt");
    EXPECT_FALSE(item.encrypted);
    EXPECT_TRUE(item.favorite);
    EXPECT_FALSE(item.cloudFile);
    EXPECT_EQ(item.id, "");  // no UUID is made for a missing id
    EXPECT_EQ(item.size, "");
    EXPECT_FALSE(item.validate());
}

TEST(FileItem, SizeTexts) {
    const struct {
        std::int64_t bytes;
        const char* text;
    } cases[] = {{0, "Zero KB"},
                 {1, "1 byte"},
                 {2, "2 bytes"},
                 {999, "999 bytes"},
                 {1000, "1 KB"},
                 {1499, "1 KB"},
                 {1500, "2 KB"},
                 {999'499, "999 KB"},
                 {999'500, "1 MB"},
                 {1'500'000, "1.5 MB"},
                 {12'340'000, "12.3 MB"},
                 {1'000'000'000, "1 GB"},
                 {2'345'000'000, "2.35 GB"},
                 {5'000'000'000'000, "5 TB"}};
    for (const auto& c : cases) {
        EXPECT_EQ(m2::convertToFileSize(c.bytes), c.text) << c.bytes;
    }
}

}  // namespace
