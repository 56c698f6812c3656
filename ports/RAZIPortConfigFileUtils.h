#pragma once

#include <cstddef>

// Port-name map of the USB open, named by a folder and a file. This platform keeps no
// configuration file: a look-up gives the default, nothing is read or stored.
class RAZIPortConfigFileUtils {
public:
    RAZIPortConfigFileUtils(const char* folder_name, const char* file_name);

    // Writes default_value ("" when null) into out, cut to size - 1 bytes and NUL-terminated
    // when size > 0; true.
    bool GetPortData(const char* key, const char* default_value, char* out, size_t size);
    // Stores nothing: false.
    bool SetPortData(const char* key, const char* value);
};
