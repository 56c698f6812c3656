#include "ports/NZNetSettings.h"

#include <chrono>
#include <mutex>

namespace {
std::mutex &SettingsMutex() {
    static std::mutex m;
    return m;
}
NZNetSettings &Current() {
    static NZNetSettings s;
    return s;
}
}  // namespace

NZNetSettings NZNetSettings::Get() {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    return Current();
}

void NZNetSettings::Set(const NZNetSettings &settings) {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    Current() = settings;
}

uint64_t NZNetSettings_Ticks(uint32_t secondMs) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<uint64_t>(ms) / (secondMs ? secondMs : 1);
}

uint32_t NZNetSettings_LimitSeconds(uint32_t timeout_ms) {
    return (timeout_ms + 999u) / 1000u;
}
