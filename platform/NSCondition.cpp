#include "platform/NSCondition.h"

bool NSCondition::waitUntilDate(const NSDate& limit) {
    return cv_.wait_until(mutex_, limit.timePoint()) == std::cv_status::no_timeout;
}

void NSCondition::wait() { cv_.wait(mutex_); }
