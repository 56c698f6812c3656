#pragma once

#include <atomic>

#include "printer/RAZIHolder.h"

// A holder with the default write timeout of its commands. The commands themselves come
// with the command-object work.
class NZPrinter : public RAZIHolder {
public:
    void SetIODefaultTimeout(unsigned int timeout_ms) { default_timeout_ms_.store(timeout_ms); }
    unsigned int GetIODefaultTimeout() const { return default_timeout_ms_.load(); }

private:
    std::atomic<unsigned int> default_timeout_ms_{600000};
};
