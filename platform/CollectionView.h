#pragma once

#include <compare>
#include <cstddef>
#include <set>

namespace m2::platform {

// The position of one item in a collection view: its section, then its place in that section.
struct IndexPath {
    std::size_t section = 0;
    std::size_t item = 0;

    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

// Positions in ascending order (section first), without repeats.
using IndexPathSet = std::set<IndexPath>;

// A grid of items in sections, driven by a model that owns the items: the model changes its
// lists, then asks the view to read them again. All calls on the main thread.
class CollectionView {
  public:
    virtual ~CollectionView() = default;

    // Reads the sections and every item again; selected positions that no longer exist are
    // dropped.
    virtual void reloadData() = 0;
    // The positions the user selected; empty when none is.
    [[nodiscard]] virtual IndexPathSet selectionIndexPaths() const = 0;
};

}  // namespace m2::platform
