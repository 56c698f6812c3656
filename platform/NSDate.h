#pragma once

#include <chrono>

// A point in time for deadlines, in seconds, on the monotonic clock: now, a date some seconds
// after another, and the interval between two dates.
class NSDate {
public:
    using Clock = std::chrono::steady_clock;

    static NSDate date() { return NSDate(Clock::now()); }
    NSDate dateByAddingTimeInterval(double seconds) const;
    // Seconds from other to this date (negative when this date is earlier).
    double timeIntervalSinceDate(const NSDate& other) const;
    double timeIntervalSinceNow() const { return timeIntervalSinceDate(date()); }
    // Whether this date still lies after the current one: the test of every polling wait.
    bool isInFuture() const { return Clock::now() < when_; }

    Clock::time_point timePoint() const { return when_; }
    friend bool operator<(const NSDate& a, const NSDate& b) { return a.when_ < b.when_; }

private:
    explicit NSDate(Clock::time_point when) : when_(when) {}
    Clock::time_point when_;
};

// A deadline now + ms / 1000.0 seconds, with ms a signed millisecond count (0 or less: past).
NSDate DeadlineAfterMs(int ms);
