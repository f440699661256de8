#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "app/library/FolderReader.h"
#include "support/FolderTreeHarness.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"
#include "support/XmlLint.h"

using m2::FileItem;
using m2::FileItemPtr;
using m2::FileReader;
using m2::FolderItem;
using m2::FolderItemPtr;
using m2::FolderManager;
using m2::FolderReader;
using m2::test::listFolder;
using m2::test::readFile;
using m2::test::writeFile;

namespace {

const char* const declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

FileItemPtr entry(const std::string& name, const std::string& id) {
    auto item = std::make_shared<FileItem>();
    item->fileName = name;
    item->filePath = "/home/user/" + name;
    item->absolutePath = "file:///home/user/" + name;
    item->folder = FolderManager::document;
    item->id = id;
    item->size = "12 KB";
    return item;
}

std::vector<std::string> names(const std::vector<FileItemPtr>& files) {
    std::vector<std::string> out;
    for (const auto& f : files) {
        out.push_back(f->fileName);
    }
    return out;
}

// Makes writes past a few bytes fail (EFBIG) for one scope, as a full disk would.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

class LibraryFile : public testing::Test {
  protected:
    m2::test::ScopedDocuments docs;
    std::filesystem::path file() const { return docs.base() / "Morvane.m2l"; }
    void writeLibrary(const std::string& xml) const {
        std::filesystem::create_directories(docs.base());
        writeFile(file(), xml);
    }
};

TEST_F(LibraryFile, RoundTripsAwkwardNamesAsWellFormedXmlAndMakesTheBaseFolder) {
    const std::string awkward[] = {
        "R&D <1> \"q\" 'a'.txt", "tab\tlf\ncr\r.txt",    "Icon\r",
        "ctl\x01\x1f.bin",       "bad\xff\xfe utf8.doc", "caf\xc3\xa9 \xe2\x82\xac.m2p"};
    std::vector<FileItemPtr> files;
    for (std::size_t i = 0; i < std::size(awkward); ++i) {
        files.push_back(entry(awkward[i], "ID-" + std::to_string(i)));
    }
    files[1]->encrypted = true;
    files[2]->favorite = true;
    files[3]->cloudFile = true;

    ASSERT_FALSE(std::filesystem::exists(docs.base()));
    ASSERT_TRUE(FileReader::save(files));
    EXPECT_EQ(FileReader::location(), file());
    EXPECT_TRUE(m2::test::xmllintAcceptsFile(file()));

    const auto back = FileReader::load();
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(awkward[i]));
        const FileItem& a = *files[i];
        const FileItem& b = *(*back)[i];
        EXPECT_EQ(b.fileName, a.fileName);
        EXPECT_EQ(b.filePath, a.filePath);
        EXPECT_EQ(b.absolutePath, a.absolutePath);
        EXPECT_EQ(b.folder, a.folder);
        EXPECT_EQ(b.id, a.id);
        EXPECT_EQ(b.size, a.size);
        EXPECT_EQ(b.encrypted, a.encrypted);
        EXPECT_EQ(b.favorite, a.favorite);
        EXPECT_EQ(b.cloudFile, a.cloudFile);
    }
}

// The library is written as text without a document tree; it must be what the tree would
// have written, for every byte a name or path can hold.
TEST_F(LibraryFile, TextIsWhatTheDocumentTreeWouldWrite) {
    std::vector<FileItemPtr> files;
    for (int byte = 0; byte < 256; byte += 8) {
        std::string name;
        for (int b = byte; b < byte + 8; ++b) {
            name += static_cast<char>(b);
        }
        files.push_back(entry("n" + name + "\xef\x9f\x80 caf\xc3\xa9 & <x> \"q\" 'a'",
                              "ID-" + std::to_string(byte)));
        files.back()->favorite = byte % 16 == 0;
    }
    ASSERT_TRUE(FileReader::save(files));

    m2::platform::XmlDocument tree;
    m2::platform::XmlElement root =
        tree.setRoot(m2::platform::XmlElement::create(FileReader::rootName));
    root.setAttribute("version", "1");
    for (const auto& file : files) {
        root.appendCopy(file->xmlElement());
    }
    EXPECT_EQ(readFile(file()), tree.serialize());
    EXPECT_TRUE(m2::test::xmllintAcceptsFile(file()));
    const auto back = FileReader::load();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(names(*back), names(files));
}

TEST_F(LibraryFile, ExactBytesOfASmallLibrary) {
    ASSERT_TRUE(FileReader::save({}));
    EXPECT_EQ(readFile(file()), std::string(declaration) + R"(<libraryFiles version="1"/>)");
    const auto empty = FileReader::load();
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());

    ASSERT_TRUE(FileReader::save({entry("a.txt", "ID")}));
    EXPECT_EQ(readFile(file()),
              std::string(declaration) +
                  R"(<libraryFiles version="1"><file fileName="a.txt" encrypted="false" )"
                  R"(favorite="false" filePath="/home/user/a.txt" folder=")" +
                  FolderManager::document +
                  R"(" absolutePath="file:///home/user/a.txt" id="ID" cloudFile="false" )"
                  R"(filesize="12 KB"/></libraryFiles>)");
}

TEST_F(LibraryFile, LoadOutcomes) {
    EXPECT_FALSE(FileReader::load().has_value());  // no file

    const auto valid = [](const std::string& name, const std::string& id) {
        return "<file fileName=\"" + name + "\" filePath=\"/p\" absolutePath=\"file:///p/" + name +
               "\" id=\"" + id + "\"/>";
    };
    const struct {
        std::string xml;
        std::vector<std::string> names;
    } cases[] = {
        {"<libraryFiles version=\"1\"/>", {}},
        {"<other version=\"7\">" + valid("a", "1") + "</other>", {"a"}},
        {"<libraryFiles>" + valid("a", "1") + "<group>" + valid("deep", "2") + "</group>" +
             "<unknown x=\"1\"/>text<!-- c -->" + valid("b", "3") + "</libraryFiles>",
         {"a", "b"}},
        {"<libraryFiles>" + valid("a", "1") +
             R"(<file fileName="noId" filePath="/p" absolutePath="file:///p"/>)"
             R"(<file fileName="" filePath="/p" absolutePath="file:///p" id="4"/>)"
             R"(<file fileName="noPath" absolutePath="file:///p" id="5"/>)"
             R"(<file fileName="noAbs" filePath="/p" id="6"/>)" +
             valid("b", "7") + "</libraryFiles>",
         {"a", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        writeLibrary(c.xml);
        const auto loaded = FileReader::load();
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(names(*loaded), c.names);
    }
}

TEST_F(LibraryFile, DamagedFileIsMovedAsideAndNeverOverwritten) {
    const std::string damaged = R"(<libraryFiles version="1"><file fileName="a" id="1")";
    writeLibrary(damaged);
    EXPECT_FALSE(FileReader::load().has_value());
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable"), damaged);

    ASSERT_TRUE(FileReader::save({entry("new.txt", "N")}));
    EXPECT_EQ(names(*FileReader::load()), std::vector<std::string>{"new.txt"});
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable"), damaged);

    // A second damaged file does not replace the first one kept aside.
    writeLibrary("garbage");
    EXPECT_FALSE(FileReader::load().has_value());
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable"), damaged);
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable.2"), "garbage");
}

TEST_F(LibraryFile, WhatCannotBeMovedAsideIsNotSavedOver) {
    // A folder in the file's place cannot be read; it goes aside whole.
    std::filesystem::create_directories(file());
    writeFile(file() / "inside", "keep");
    EXPECT_FALSE(FileReader::load().has_value());
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable" / "inside"), "keep");

    // Every name to keep it under is taken: the damaged file stays, and is never saved over.
    writeFile(file(), "garbage");
    for (int n = 2; n <= 1000; ++n) {
        writeFile(docs.base() / ("Morvane.m2l.unreadable." + std::to_string(n)), "");
    }
    EXPECT_FALSE(FileReader::load().has_value());
    EXPECT_FALSE(FileReader::save({entry("a.txt", "1")}));
    EXPECT_EQ(readFile(file()), "garbage");
}

TEST_F(LibraryFile, DroppedEntriesKeepTheOriginalBeforeTheFirstSave) {
    const std::string original =
        R"(<libraryFiles version="1"><file fileName="a" filePath="/p" absolutePath="file:///p/a" id="1"/>)"
        R"(<file fileName="lost" filePath="/p" absolutePath="file:///p/lost"/></libraryFiles>)";
    writeLibrary(original);
    const auto loaded = FileReader::load();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(names(*loaded), std::vector<std::string>{"a"});
    EXPECT_EQ(readFile(file()), original);  // nothing moves before a save

    ASSERT_TRUE(FileReader::save(*loaded));
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2l.unreadable"), original);
    ASSERT_TRUE(FileReader::save(*loaded));
    EXPECT_EQ(listFolder(docs.base()),
              (std::vector<std::string>{"Morvane.m2l", "Morvane.m2l.unreadable"}));
}

TEST_F(LibraryFile, WriterLeavesOutEntriesTheReaderWouldDrop) {
    auto incomplete = entry("incomplete", "2");
    incomplete->absolutePath = "";
    ASSERT_TRUE(FileReader::save({entry("a", "1"), incomplete, nullptr, entry("b", "3")}));
    EXPECT_EQ(readFile(file()).find("incomplete"), std::string::npos);
    const auto loaded = FileReader::load();
    EXPECT_EQ(names(*loaded), (std::vector<std::string>{"a", "b"}));
    // Nothing was dropped on this load, so the next save keeps nothing aside.
    ASSERT_TRUE(FileReader::save(*loaded));
    EXPECT_EQ(listFolder(docs.base()), std::vector<std::string>{"Morvane.m2l"});
}

// The file's identity: a replacement through a temporary file gives a new inode.
ino_t inodeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST_F(LibraryFile, ASaveOfWhatTheFileHoldsWritesNothing) {
    std::vector<FileItemPtr> files{entry("a.txt", "1"), entry("b.txt", "2")};
    ASSERT_TRUE(FileReader::save(files));
    const ino_t first = inodeOf(file());
    ASSERT_TRUE(FileReader::save(files));
    EXPECT_EQ(inodeOf(file()), first);

    // Same length, other content: written.
    files[1]->fileName = "c.txt";
    ASSERT_TRUE(FileReader::save(files));
    EXPECT_NE(inodeOf(file()), first);
    EXPECT_NE(readFile(file()).find("c.txt"), std::string::npos);
    EXPECT_EQ(listFolder(docs.base()), std::vector<std::string>{"Morvane.m2l"});
}

TEST_F(LibraryFile, FailedWriteLeavesTheOldFileByteForByte) {
    ASSERT_TRUE(FileReader::save({entry("a", "1")}));
    const std::string before = readFile(file());
    std::vector<FileItemPtr> many;
    for (int i = 0; i < 200; ++i) {
        many.push_back(entry("file" + std::to_string(i), std::to_string(i)));
    }
    {
        ScopedFileSizeLimit limit(before.size() + 16);
        EXPECT_FALSE(FileReader::save(many));
    }
    EXPECT_EQ(readFile(file()), before);
    EXPECT_EQ(listFolder(docs.base()), std::vector<std::string>{"Morvane.m2l"});
}

class FolderTreeFile : public testing::Test, protected m2::test::FolderTreeHarness {
  protected:
    void SetUp() override { start(); }
    std::filesystem::path file() const { return treeFile(); }
    FolderItemPtr documents() const { return child(2); }
};

TEST_F(FolderTreeFile, DefaultTreeWritesTheDocumentedElements) {
    view.expandItem(manager.getRoot().get());
    ASSERT_TRUE(FolderReader::save(&view, manager.getRoot().get(), manager));
    EXPECT_TRUE(m2::test::xmllintAcceptsFile(file()));
    const auto folder = [](const char* label, const std::string& id, const char* icon,
                           const std::string& parent, bool on, const std::string& inner) {
        const std::string flag = on ? "true" : "false";
        return "<folder folderNameID=\"" + std::string(label) + "\" id=\"" + id + "\" icon=\"" +
               icon + "\" parent=\"" + parent + "\" selected=\"" + flag + "\" expanded=\"" + flag +
               "\" itemCount=\"0\" itemIsCloud=\"false\" itemCloudPath=\"\"" +
               (inner.empty() ? "/>" : ">" + inner + "</folder>");
    };
    const std::string home = FolderManager::home;
    EXPECT_EQ(
        readFile(file()),
        std::string(declaration) + "<folderRoot version=\"1\">" +
            folder(
                "Home", home, "home-16", "", true,
                folder("Favourite", FolderManager::favourite, "favorite-16", home, false, "") +
                    folder("Encrypted", FolderManager::encrypted, "lock-16", home, false, "") +
                    folder("Documents", FolderManager::document, "documents-16", home, false, "")) +
            "</folderRoot>");
}

TEST_F(FolderTreeFile, TreeWithCloudRootRoundTripsAndRefreshesFlags) {
    auto work = std::make_shared<FolderItem>("Work & <Play>", documents()->id, "folder-16");
    auto deep = std::make_shared<FolderItem>("Deep\tone\r", "not-its-parent", "folder-16");
    deep->itemCount = 17;
    documents()->children.push_back(work);
    work->children.push_back(deep);
    auto cloudRoot = std::make_shared<FolderItem>("Cloud", "", "cloud", "CLOUD-ID", true, "");
    auto box = std::make_shared<FolderItem>("Dropbox", "CLOUD-ID", "dropbox", "BOX-ID", true,
                                            "/home/u/Drop\xffox");
    cloudRoot->children.push_back(box);
    manager.createCloudRoot(cloudRoot);
    view.reloadData();
    for (const auto& f : {manager.getRoot(), documents(), work, cloudRoot}) {
        view.expandItem(f.get());
    }

    ASSERT_TRUE(FolderReader::save(&view, deep.get(), manager));
    EXPECT_TRUE(m2::test::xmllintAcceptsFile(file()));
    // Flags in memory follow the outline and the selection.
    EXPECT_TRUE(deep->selected);
    EXPECT_FALSE(manager.getRoot()->selected);
    EXPECT_TRUE(work->expanded);
    EXPECT_FALSE(box->expanded);

    const auto back = FolderReader::load();
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 2u);
    const FolderItemPtr backDeep = (*back)[0]->children[2]->children[0]->children[0];
    EXPECT_EQ(backDeep->label, "Deep\tone\r");
    EXPECT_EQ(backDeep->parent, "not-its-parent");  // nesting decides the place
    EXPECT_EQ(backDeep->itemCount, 17);
    EXPECT_TRUE(backDeep->selected);
    EXPECT_EQ((*back)[0]->children[2]->children[0]->label, "Work & <Play>");
    EXPECT_TRUE((*back)[0]->children[2]->children[0]->expanded);
    const FolderItemPtr backBox = (*back)[1]->children.at(0);
    EXPECT_EQ(backBox->cloudPath, "/home/u/Drop\xffox");
    EXPECT_TRUE(backBox->isCloudFolder);
    EXPECT_EQ((*back)[1]->id, "CLOUD-ID");
}

TEST_F(FolderTreeFile, WithoutASelectedFolderNothingIsWrittenSelected) {
    manager.getRoot()->selected = true;
    ASSERT_TRUE(FolderReader::save(&view, nullptr, manager));
    EXPECT_EQ(readFile(file()).find("selected=\"true\""), std::string::npos);
    EXPECT_FALSE(manager.getRoot()->selected);
}

TEST_F(FolderTreeFile, LoadOutcomes) {
    EXPECT_FALSE(FolderReader::load().has_value());  // no file
    std::filesystem::create_directories(docs.base());

    writeFile(file(), "<folderRoot version=\"1\"/>");
    ASSERT_TRUE(FolderReader::load().has_value());
    EXPECT_TRUE(FolderReader::load()->empty());

    writeFile(
        file(),
        "<tree><folder folderNameID=\"Home\" id=\"H\"><unknown><folder folderNameID=\"Hidden\"/>"
        "</unknown>text<folder folderNameID=\"Kid\"/></folder><other/>"
        "<folder folderNameID=\"Second\"/></tree>");
    const auto loaded = FolderReader::load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 2u);
    ASSERT_EQ((*loaded)[0]->children.size(), 1u);
    EXPECT_EQ((*loaded)[0]->children[0]->label, "Kid");
    EXPECT_EQ((*loaded)[1]->label, "Second");

    const std::string damaged = "<folderRoot><folder folderNameID=\"Home\">";
    writeFile(file(), damaged);
    EXPECT_FALSE(FolderReader::load().has_value());
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2f.unreadable"), damaged);
    EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(FolderTreeFile, ExcessiveNestingIsCutAndTheOriginalKept) {
    std::filesystem::create_directories(docs.base());
    const int levels = 200000;  // far beyond any real tree; must not exhaust the stack
    std::string xml = "<folderRoot>";
    for (int i = 0; i < levels; ++i) {
        xml += "<folder folderNameID=\"L" + std::to_string(i) + "\">";
    }
    for (int i = 0; i < levels; ++i) {
        xml += "</folder>";
    }
    xml += "</folderRoot>";
    m2::test::writeFile(file(), xml);

    const auto loaded = FolderReader::load();
    ASSERT_TRUE(loaded.has_value());
    int depth = 1;
    for (FolderItemPtr f = loaded->at(0); !f->children.empty(); f = f->children[0]) {
        ++depth;
    }
    EXPECT_EQ(depth, FolderReader::maximumDepth);

    FolderManager again;
    again.folders = *loaded;
    ASSERT_TRUE(FolderReader::save(nullptr, nullptr, again));
    EXPECT_EQ(readFile(docs.base() / "Morvane.m2f.unreadable"), xml);
}

}  // namespace
