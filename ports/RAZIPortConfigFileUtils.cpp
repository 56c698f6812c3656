#include "ports/RAZIPortConfigFileUtils.h"

#include <cstdio>

RAZIPortConfigFileUtils::RAZIPortConfigFileUtils(const char*, const char*) {}

bool RAZIPortConfigFileUtils::GetPortData(const char*, const char* default_value, char* out,
                                          size_t size) {
    if (out != nullptr && size > 0)
        std::snprintf(out, size, "%s", default_value != nullptr ? default_value : "");
    return true;
}

bool RAZIPortConfigFileUtils::SetPortData(const char*, const char*) { return false; }
