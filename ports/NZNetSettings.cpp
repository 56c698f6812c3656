#include "ports/NZNetSettings.h"

#include "base/ProcessSetting.h"

namespace {
ProcessSetting<NZNetSettings> &Current() {
    static auto *setting = new ProcessSetting<NZNetSettings>;
    return *setting;
}
}  // namespace

NZNetSettings NZNetSettings::Get() { return Current().Get(); }

void NZNetSettings::Set(const NZNetSettings &settings) { Current().Set(settings); }
