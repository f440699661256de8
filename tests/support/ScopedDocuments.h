#pragma once

#include <filesystem>

#include "support/TestFiles.h"

namespace m2::test {

// Points the Documents folder at a fresh temporary folder for one scope.
class ScopedDocuments {
  public:
    ScopedDocuments();
    ~ScopedDocuments();
    ScopedDocuments(const ScopedDocuments&) = delete;
    ScopedDocuments& operator=(const ScopedDocuments&) = delete;

    [[nodiscard]] const std::filesystem::path& documents() const { return dir_.path(); }
    // "<Documents>/Morvane", not created here.
    [[nodiscard]] std::filesystem::path base() const { return dir_.path() / "Morvane"; }

  private:
    TempDir dir_;
};

}  // namespace m2::test
