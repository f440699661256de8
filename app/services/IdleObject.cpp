#include "app/services/IdleObject.h"

namespace m2 {

IdleObject::IdleObject() : IdleObject(platform::systemIdleTimeSource()) {}

std::int64_t IdleObject::SystemIdleTime() const {
    const auto milliseconds = source_.idleMilliseconds();
    return milliseconds ? platform::idleUnitsFromMilliseconds(*milliseconds) : -1;
}

}  // namespace m2
