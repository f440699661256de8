#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace m2 {

// What the drop targets ask of the main window's content controller: dropped files go to the
// library folder it shows, and a click on a row's star flips that entry's favourite mark.
class DropDestination {
  public:
    virtual ~DropDestination() = default;
    virtual void addDroppedFiles(const std::vector<std::string>& paths) = 0;
    // `row` is a position in the list the library table shows.
    virtual void toggleFavourite(std::size_t row) = 0;
};

}  // namespace m2
