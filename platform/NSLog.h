#pragma once

#include <functional>
#include <string>

// Line logger of the Bluetooth LE layer: printf-style, one line per call, written to stderr
// with a time stamp unless a test has put a sink in its place.
void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Test-only: every later line goes to sink (without time stamp or newline); an empty sink
// restores stderr. The sink may be called from any thread, one line at a time.
void SetLogSinkForTesting(std::function<void(const std::string&)> sink);
