#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/library/LibraryList.h"

using m2::FileItem;
using m2::FileItemPtr;
using m2::LibraryList;

namespace {

FileItemPtr entry(const std::string& id, const std::string& dir, const std::string& name,
                  const std::string& folder) {
    auto item = std::make_shared<FileItem>();
    item->id = id;
    item->folder = folder;
    item->filePath = dir;
    item->fileName = name;
    return item;
}

// What the indexes must answer, found the slow way.
const FileItem* scanForId(const LibraryList& list, const std::string& id) {
    for (const auto& e : list) {
        if (e && e->id == id) {
            return e.get();
        }
    }
    return nullptr;
}
std::vector<FileItemPtr> scanForFolder(const LibraryList& list, const std::string& folder) {
    std::vector<FileItemPtr> found;
    for (const auto& e : list) {
        if (e && e->folder == folder) {
            found.push_back(e);
        }
    }
    return found;
}
bool scanForFile(const LibraryList& list, const std::string& dir, const std::string& name) {
    for (const auto& e : list) {
        if (e && e->filePath == dir && e->fileName == name) {
            return true;
        }
    }
    return false;
}

// After every step of each sequence the indexes agree with a scan of the list, for every id,
// place and folder the sequence used (also those no longer listed).
TEST(LibraryList, TheIndexesAgreeWithTheListAfterEveryChange) {
    const auto a = entry("A", "/d", "a.txt", "F");
    const auto b = entry("B", "/d", "b.txt", "G");
    const auto twinOfA = entry("A", "/e", "a.txt", "G");   // a hand-edited file repeats an id
    const auto sameFile = entry("C", "/d", "a.txt", "F");  // and a place
    const std::vector<std::string> ids{"A", "B", "C", "Z"};
    const std::vector<std::pair<std::string, std::string>> places{
        {"/d", "a.txt"}, {"/d", "b.txt"}, {"/e", "a.txt"}, {"/f", "a.txt.m2p"}, {"/d", "B.txt"}};
    using Step = std::function<void(LibraryList&)>;
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"appends and a rename",
         {[&](LibraryList& l) { l.push_back(a); }, [&](LibraryList& l) { l.push_back(b); },
          [&](LibraryList& l) { l.rename(*a, "a.txt.m2p", "/f"); },
          [&](LibraryList& l) { l.rename(*a, "a.txt", "/d"); }}},
        {"repeated ids and places, removed one at a time",
         {[&](LibraryList& l) {
              l = std::vector<FileItemPtr>{a, twinOfA, sameFile, b};
          },
          [&](LibraryList& l) { l.removeFirstOfEachId({"A"}); },
          [&](LibraryList& l) {
              l.removeFirstOfEachId({"A", "Z"});
          },
          [&](LibraryList& l) {
              (void)l.eraseIf([](const FileItemPtr& e) { return e->id == "C"; });
          }}},
        {"one object listed twice and renamed",
         {[&](LibraryList& l) {
              l = std::vector<FileItemPtr>{b, nullptr, b};
          },
          [&](LibraryList& l) { l.rename(*b, "B.txt", "/d"); },
          [&](LibraryList& l) { l.removeFirstOfEachId({"B"}); },
          [&](LibraryList& l) { l.rename(*b, "b.txt", "/d"); }}},
        {"copies and clearing",
         {[&](LibraryList& l) {
              l = LibraryList(std::vector<FileItemPtr>{sameFile, b});
          },
          [&](LibraryList& l) { l = LibraryList(l); }, [&](LibraryList& l) { l.clear(); },
          [&](LibraryList& l) { l.push_back(twinOfA); }}},
    };
    for (const auto& c : cases) {
        // Restore what an earlier case renamed.
        a->filePath = "/d";
        a->fileName = "a.txt";
        b->fileName = "b.txt";
        LibraryList list;
        for (std::size_t step = 0; step < c.steps.size(); ++step) {
            c.steps[step](list);
            for (const auto& id : ids) {
                EXPECT_EQ(list.findId(id), scanForId(list, id))
                    << c.what << ", step " << step << ", id " << id;
            }
            for (const std::string folder : {"F", "G"}) {
                EXPECT_EQ(list.entriesIn(folder), scanForFolder(list, folder))
                    << c.what << ", step " << step << ", folder " << folder;
            }
            for (const auto& [dir, name] : places) {
                EXPECT_EQ(list.containsFile(dir, name), scanForFile(list, dir, name))
                    << c.what << ", step " << step << ", " << dir << "/" << name;
            }
        }
    }
}

}  // namespace
