#pragma once

#include <utility>

#include "platform/CollectionView.h"

namespace m2::test {

// A collection view without a window for model tests: the test sets the selection, the view
// counts reloads.
class MemoryCollectionView final : public platform::CollectionView {
  public:
    void reloadData() override { ++reloads_; }
    [[nodiscard]] platform::IndexPathSet selectionIndexPaths() const override { return selection_; }

    void select(platform::IndexPathSet selection) { selection_ = std::move(selection); }
    [[nodiscard]] int reloads() const { return reloads_; }

  private:
    platform::IndexPathSet selection_;
    int reloads_ = 0;
};

}  // namespace m2::test
