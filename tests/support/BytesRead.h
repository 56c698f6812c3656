#pragma once
// Bytes this process has read through read() and the like so far (rchar of /proc/self/io),
// or -1 where the kernel does not tell: a test can see how much of a file a call read.
#include <cstdint>
#include <fstream>
#include <string>

namespace qvtest {

inline int64_t BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

}  // namespace qvtest
