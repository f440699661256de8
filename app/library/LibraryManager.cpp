#include "app/library/LibraryManager.h"

#include <algorithm>

#include "app/services/Alerts.h"

namespace m2 {

void LibraryManager::createAndShowFailureMessage(LibraryProcess process,
                                                 const std::vector<LibraryResult>& reasons,
                                                 int failures) {
    if (process != LibraryProcess::addLibraryFiles) {
        return;
    }
    const auto duplicates =
        std::count(reasons.begin(), reasons.end(), LibraryResult::fileAlreadyExists);
    // The word follows the failure count in both texts, whatever the duplicate count.
    const std::string word = failures <= 1 ? "file" : "files";
    const std::string message = word + " could not be added to your library.";
    const std::string details = duplicates > 0 ? std::to_string(duplicates) + " " + word +
                                                     " are already included within your library"
                                               : std::string();
    warningAlert(message, details);
}

}  // namespace m2
