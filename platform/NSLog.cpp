#include "platform/NSLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

namespace {

struct LogState {
    std::mutex mutex;
    std::function<void(const std::string&)> sink;
};

LogState& state() {
    static auto* s = new LogState;  // outlives threads that still log at exit
    return *s;
}

std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    return std::string(text.data(), static_cast<size_t>(length));
}

}  // namespace

void NSLog(const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    const std::string line = Format(format, args);
    va_end(args);

    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.sink) {
        s.sink(line);
        return;
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    std::fprintf(stderr, "%s.%03d %s\n", stamp, static_cast<int>(ms), line.c_str());
}

void SetLogSinkForTesting(std::function<void(const std::string&)> sink) {
    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.sink = std::move(sink);
}
