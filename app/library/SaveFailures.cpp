#include "app/library/SaveFailures.h"

#include <mutex>
#include <set>

#include "app/services/Alerts.h"

namespace m2 {

void tellSaveOutcome(const std::filesystem::path& file, bool saved, const std::string& reason,
                     const std::string& whatWasNotSaved) {
    static std::mutex mutex;
    static std::set<std::filesystem::path> failing;
    {
        const std::lock_guard lock(mutex);
        if (saved) {
            failing.erase(file);
            return;
        }
        if (!failing.insert(file).second) {
            return;  // told already
        }
    }
    warningAlert("Could not save " + whatWasNotSaved,
                 (reason.empty() ? std::string("The file could not be written") : reason) +
                     ". Nothing is lost: Morvane 2 keeps it as it is and saves it again with "
                     "your next change.");
}

}  // namespace m2
