#include "ports/NZNetSettings.h"

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

