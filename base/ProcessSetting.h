#pragma once

#include <mutex>
#include <utility>

// A process-wide value that any thread reads and tests (or later layers) replace. Create it
// with new and never delete it, so it outlives every thread that may still read it at exit:
//     static auto* setting = new ProcessSetting<PortTiming>;
template <typename T>
class ProcessSetting {
public:
    explicit ProcessSetting(T initial = T{}) : value_(std::move(initial)) {}

    T Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void Set(const T& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
    }

private:
    mutable std::mutex mutex_;
    T value_;
};
