// A large library is formatted in parts on several threads: the parts must join, in
// order, into exactly what the document tree would write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "platform/Xml.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

namespace {

TEST(LibraryFileThreaded, PartsJoinIntoWhatTheTreeWouldWrite) {
    const m2::test::ScopedDocuments docs;
    std::vector<m2::FileItemPtr> files;
    for (int i = 0; i < 90000; ++i) {
        auto item = std::make_shared<m2::FileItem>();
        item->fileName =
            "caf\xc3\xa9 & \"" + std::to_string(i) + (i % 7 == 0 ? "\x01" : "") + ".txt";
        item->filePath = "/home/user/<" + std::to_string(i % 50) + ">";
        item->absolutePath = "file://" + item->filePath + "/" + item->fileName;
        item->folder = m2::FolderManager::document;
        item->size = "1 KB";
        item->favorite = i % 3 == 0;
        files.push_back(std::move(item));
    }
    // Entries the reader would drop, at the edges of the parts and between them.
    files.front()->id.clear();
    files[45000]->fileName.clear();
    files.back()->filePath.clear();
    ASSERT_TRUE(m2::FileReader::save(files));

    m2::platform::XmlDocument tree;
    m2::platform::XmlElement root =
        tree.setRoot(m2::platform::XmlElement::create(m2::FileReader::rootName));
    root.setAttribute("version", "1");
    for (const auto& file : files) {
        if (file->validate()) {
            root.appendCopy(file->xmlElement());
        }
    }
    EXPECT_TRUE(m2::test::readFile(m2::FileReader::location()) == tree.serialize());
    const auto back = m2::FileReader::load();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), files.size() - 3);
}

}  // namespace
