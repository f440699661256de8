#include "support/ScopedDocuments.h"

#include "platform/Paths.h"

namespace m2::test {

ScopedDocuments::ScopedDocuments() {
    platform::setDocumentsFolderOverride(dir_.path());
}

ScopedDocuments::~ScopedDocuments() {
    platform::setDocumentsFolderOverride(std::nullopt);
}

}  // namespace m2::test
