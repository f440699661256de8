#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FileItem.h"

namespace m2 {

// The library file "Morvane.m2l": every library entry, one "file" element each.
class FileReader {
  public:
    static constexpr const char* rootName = "libraryFiles";
    static constexpr const char* elemenName = "file";

    // "<Documents>/Morvane/Morvane.m2l".
    [[nodiscard]] static std::filesystem::path location();

    // Writes the whole list, leaving out entries that would not load back; true when the
    // file was replaced. `reason` (when given) receives why it was not.
    [[nodiscard]] static bool save(const std::vector<FileItemPtr>& files,
                                   std::string* reason = nullptr);
    // The valid entries in file order; absent when there is no file or it cannot be read
    // as XML (such a file is moved aside, see CatalogueFile).
    [[nodiscard]] static std::optional<std::vector<FileItemPtr>> load();
};

}  // namespace m2
