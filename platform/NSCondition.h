#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/NSDate.h"

// A lock with a condition: lock, signal, unlock, and a wait that ends at a date.
class NSCondition {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    void signal() { cv_.notify_one(); }
    void broadcast() { cv_.notify_all(); }
    // Call with the lock held. False when the date passed without a wake-up; like the
    // platform's, a true result may be a spurious wake-up, so callers test their state.
    bool waitUntilDate(const NSDate& limit);
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
};
