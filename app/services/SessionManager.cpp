#include "app/services/SessionManager.h"

#include "app/services/IdleObject.h"
#include "app/services/Settings.h"

namespace m2 {

SessionManager& SessionManager::instance() {
    static SessionManager shared;
    return shared;
}

SessionManager::SessionManager(platform::IdleTimeSource& source) : source_(source) {
    (void)currentActiveTime_;
    load();
}

bool SessionManager::shouldLogout() const {
    const std::int64_t limit = timeout_;
    if (!active_ || limit == -1) {
        return false;
    }
    // Checked on its own, so that no stored limit below -1 can turn "unreadable" into "idle".
    const std::int64_t idle = IdleObject(source_).SystemIdleTime();
    return idle >= 0 && idle > limit;
}

void SessionManager::save() const {
    Settings::instance().setTimeOutInterval(timeout_);
}

void SessionManager::load() {
    const Settings& settings = Settings::instance();
    active_ = settings.TimeoutPeriod() != -1;
    timeout_ = settings.TimeOutInterval();
}

bool SessionManager::idleTimeAvailable() const {
    return IdleObject(source_).isAvailable();
}

}  // namespace m2
