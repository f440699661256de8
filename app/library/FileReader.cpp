#include "app/library/FileReader.h"

#include <algorithm>
#include <iostream>
#include <numeric>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/library/CatalogueFile.h"
#include "app/library/LibraryManager.h"
#include "app/library/XmlUtils.h"
#include "platform/Paths.h"

namespace m2 {

namespace {

// About what one entry takes in the file, so each piece of text is allocated once.
constexpr std::size_t kBytesPerEntry = 384;
// Large libraries are formatted in parts on a few threads; below this a thread costs more
// than it saves.
constexpr std::size_t kEntriesPerPart = 20000;
constexpr unsigned kMostParts = 4;

// The "file" elements of the entries in [begin, end) that the reader would keep; skipped
// counts the others.
std::string formatEntries(const FileItemPtr* begin, const FileItemPtr* end, std::size_t& skipped) {
    std::string text;
    text.reserve(static_cast<std::size_t>(end - begin) * kBytesPerEntry);
    for (const FileItemPtr* file = begin; file != end; ++file) {
        // An entry the reader would drop is not written, so files never carry one.
        if (!*file || !(*file)->validate()) {
            ++skipped;
            continue;
        }
        (*file)->appendXml(text);
    }
    return text;
}

}  // namespace

std::filesystem::path FileReader::location() {
    return platform::documentsFolder().string() + LibraryManager::fileViewFilename;
}

bool FileReader::save(const std::vector<FileItemPtr>& files) {
    // Written as text, byte for byte what the document tree would give: a tree of a large
    // library costs many times the write itself. The entries are only read meanwhile.
    const unsigned threads =
        std::max(1U, std::min(kMostParts, std::thread::hardware_concurrency()));
    const std::size_t parts = std::clamp<std::size_t>(files.size() / kEntriesPerPart, 1, threads);
    std::vector<std::string> texts(parts);
    std::vector<std::size_t> skipped(parts, 0);
    {
        std::vector<std::jthread> workers;
        for (std::size_t part = 0; part < parts; ++part) {
            const FileItemPtr* begin = files.data() + files.size() * part / parts;
            const FileItemPtr* end = files.data() + files.size() * (part + 1) / parts;
            const auto format = [&texts, &skipped, part, begin, end] {
                texts[part] = formatEntries(begin, end, skipped[part]);
            };
            if (part + 1 == parts) {
                format();
                continue;
            }
            try {
                workers.emplace_back(format);
            } catch (const std::system_error&) {
                format();  // no thread to be had: this one does the part
            }
        }
    }

    std::string head = R"(<?xml version="1.0" encoding="UTF-8"?><)";
    head += rootName;
    platform::appendXmlAttribute(head, "version", "1");
    const std::string tail = std::string("</") + rootName + ">";
    std::vector<std::string_view> pieces{head};
    for (const std::string& text : texts) {
        if (!text.empty()) {
            pieces.push_back(text);
        }
    }
    if (pieces.size() == 1) {
        head += "/>";
        pieces.front() = head;
    } else {
        head += '>';
        pieces.front() = head;
        pieces.push_back(tail);
    }
    if (const std::size_t dropped = std::accumulate(skipped.begin(), skipped.end(), std::size_t{0});
        dropped > 0) {
        std::cout << dropped << " incomplete library entries were not saved" << std::endl;
    }
    return CatalogueFile::save(location(), pieces);
}

std::optional<std::vector<FileItemPtr>> FileReader::load() {
    const std::filesystem::path path = location();
    const auto document = CatalogueFile::load(path);
    if (!document) {
        return std::nullopt;
    }
    std::vector<FileItemPtr> files;
    bool dropped = false;
    for (const auto& element : document->root().childElements(elemenName)) {
        auto item = std::make_shared<FileItem>(element);
        if (item->validate()) {
            files.push_back(std::move(item));
        } else {
            dropped = true;
        }
    }
    if (dropped) {
        CatalogueFile::keepOriginalBeforeNextSave(path);
    }
    return files;
}

}  // namespace m2
