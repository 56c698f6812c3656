#include "platform/NSDate.h"

NSDate NSDate::dateByAddingTimeInterval(double seconds) const {
    // Clamp so that a huge interval cannot overflow the clock's representation.
    constexpr double kLimit = 1e9;
    if (seconds > kLimit) seconds = kLimit;
    if (seconds < -kLimit) seconds = -kLimit;
    return NSDate(when_ + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(seconds)));
}

double NSDate::timeIntervalSinceDate(const NSDate& other) const {
    return std::chrono::duration<double>(when_ - other.when_).count();
}

NSDate DeadlineAfterMs(int ms) { return NSDate::date().dateByAddingTimeInterval(ms / 1000.0); }
