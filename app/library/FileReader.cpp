#include "app/library/FileReader.h"

#include <iostream>

#include "app/library/CatalogueFile.h"
#include "app/library/LibraryManager.h"
#include "app/library/XmlUtils.h"
#include "platform/Paths.h"

namespace m2 {

std::filesystem::path FileReader::location() {
    return platform::documentsFolder().string() + LibraryManager::fileViewFilename;
}

bool FileReader::save(const std::vector<FileItemPtr>& files) {
    platform::XmlDocument document;
    platform::XmlElement root = document.setRoot(platform::XmlElement::create(rootName));
    root.addAttribute(XmlUtils::createAttribute("version", "1"));
    std::size_t skipped = 0;
    for (const auto& file : files) {
        // An entry the reader would drop is not written, so files never carry one.
        if (!file || !file->validate()) {
            ++skipped;
            continue;
        }
        platform::XmlElement element = root.appendChild(FileItem::elementName);
        file->fillXmlElement(element);
    }
    if (skipped > 0) {
        std::cout << skipped << " incomplete library entries were not saved" << std::endl;
    }
    return CatalogueFile::save(location(), document);
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
