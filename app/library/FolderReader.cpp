#include "app/library/FolderReader.h"

#include "app/library/CatalogueFile.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/XmlUtils.h"
#include "platform/Paths.h"

namespace m2 {

namespace {
constexpr const char* rootName = "folderRoot";
constexpr const char* folderName = "folder";
}  // namespace

std::filesystem::path FolderReader::location() {
    return platform::documentsFolder().string() + LibraryManager::folderViewFilename;
}

bool FolderReader::save(const platform::OutlineView* folderView, const FolderItem* currentSelected,
                        const FolderManager& folderManager, std::string* reason) {
    platform::XmlDocument document;
    platform::XmlElement root = document.setRoot(platform::XmlElement::create(rootName));
    root.addAttribute(XmlUtils::createAttribute("version", "1"));
    for (const auto& folder : folderManager.folders) {
        save(root, *folder, folderView, currentSelected);
    }
    return CatalogueFile::save(location(), document, reason);
}

void FolderReader::save(platform::XmlElement& parent, FolderItem& child,
                        const platform::OutlineView* folderView,
                        const FolderItem* currentSelected) {
    if (folderView != nullptr) {
        child.expanded = folderView->isItemExpanded(&child);
    }
    child.selected = currentSelected != nullptr && child.id == currentSelected->id;
    platform::XmlElement element = parent.appendCopy(child.xmlElement());
    for (const auto& grandChild : child.children) {
        save(element, *grandChild, folderView, currentSelected);
    }
}

std::optional<std::vector<FolderItemPtr>> FolderReader::load() {
    const std::filesystem::path path = location();
    const auto document = CatalogueFile::load(path, CatalogueFile::unlimitedDepth);
    if (!document) {
        return std::nullopt;
    }
    std::vector<FolderItemPtr> folders;
    bool complete = true;
    for (const auto& element : document->root().childElements(folderName)) {
        auto folder = std::make_shared<FolderItem>(element);
        for (const auto& childElement : element.childElements(folderName)) {
            complete = load(*folder, childElement, 2) && complete;
        }
        folders.push_back(std::move(folder));
    }
    if (!complete) {
        CatalogueFile::keepOriginalBeforeNextSave(path);
    }
    return folders;
}

void FolderReader::load(FolderItem& parent, const platform::XmlElement& childElement) {
    (void)load(parent, childElement, 1);
}

bool FolderReader::load(FolderItem& parent, const platform::XmlElement& childElement, int depth) {
    if (depth > maximumDepth) {
        return false;
    }
    auto folder = std::make_shared<FolderItem>(childElement);
    parent.children.push_back(folder);
    bool complete = true;
    for (const auto& grandChild : childElement.childElements(folderName)) {
        complete = load(*folder, grandChild, depth + 1) && complete;
    }
    return complete;
}

}  // namespace m2
