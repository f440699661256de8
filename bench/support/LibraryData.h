#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/library/FileItem.h"
#include "platform/Uuid.h"

namespace m2bench {

constexpr int kLibraryEntries = 100000;

// A library of `entries` entries with mixed names (one with an umlaut), sizes and marks, filed
// under `folders` folders with fresh ids (one folder holds them all when `folders` is 1).
inline std::vector<m2::FileItemPtr> makeLibrary(int entries = kLibraryEntries, int folders = 50) {
    std::vector<std::string> ids;
    for (int i = 0; i < folders; ++i) {
        ids.push_back(m2::platform::newUuidString());
    }
    const char* kinds[] = {"Report", "invoice", "Übersicht", "photo", "Notes"};
    std::vector<m2::FileItemPtr> library;
    library.reserve(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        auto item = std::make_shared<m2::FileItem>();
        const bool encrypted = i % 4 == 0;
        item->fileName = std::string(kinds[i % 5]) + " " +
                         std::to_string(static_cast<long long>(i) * 7919 % entries) +
                         (encrypted ? ".pdf.m2p" : ".pdf");
        item->filePath = "/home/user/Documents/Project " + std::to_string(i % 300);
        item->folder = ids[static_cast<std::size_t>(i % folders)];
        item->absolutePath = "file://" + item->filePath + "/" + item->fileName;
        item->encrypted = encrypted;
        item->favorite = i % 9 == 0;
        item->size = std::to_string(i % 999 + 1) + " KB";
        library.push_back(std::move(item));
    }
    return library;
}

}  // namespace m2bench
