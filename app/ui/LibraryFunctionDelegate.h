#pragma once

#include "app/library/FolderItem.h"

namespace m2 {

// How the library folder sheet hands over a new or renamed folder.
class LibraryFunctionDelegate {
  public:
    virtual ~LibraryFunctionDelegate() = default;
    virtual void newLibraryFolder(const FolderItemPtr& folder, const FolderItemPtr& parent) = 0;
    // The folder was renamed in place.
    virtual void editLibraryFolder(const FolderItemPtr& folder) = 0;
};

}  // namespace m2
