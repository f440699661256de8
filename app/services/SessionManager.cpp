#include "app/services/SessionManager.h"

#include "app/services/IdleObject.h"
#include "app/services/Settings.h"

namespace m2 {
namespace {

// A period index of -1 switches the lock off; every other leaves it to the limit.
bool activeForPeriod(std::int64_t period) {
    return period != -1;
}

std::int64_t lockLimitOf(bool active, std::int64_t timeout) {
    return active && timeout != -1 ? timeout : -1;
}

}  // namespace

SessionManager& SessionManager::instance() {
    static SessionManager shared;
    return shared;
}

SessionManager::SessionManager(platform::IdleTimeSource& source) : source_(source) {
    (void)currentActiveTime_;
    load();
}

std::int64_t SessionManager::lockLimit() const {
    return lockLimitOf(active_, timeout_);
}

std::int64_t SessionManager::storedLockLimit() {
    const Settings& settings = Settings::instance();
    return lockLimitOf(activeForPeriod(settings.TimeoutPeriod()), settings.TimeOutInterval());
}

bool SessionManager::shouldLogout() const {
    const std::int64_t limit = lockLimit();
    if (limit == -1) {
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
    active_ = activeForPeriod(settings.TimeoutPeriod());
    timeout_ = settings.TimeOutInterval();
}

bool SessionManager::idleTimeAvailable() const {
    return IdleObject(source_).isAvailable();
}

}  // namespace m2
