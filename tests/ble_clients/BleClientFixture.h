#pragma once
// Shared pieces of the stand-alone client suites: a log capture, simulated printers of the
// three profiles, and a test base with a powered radio and short waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NSLog.h"
#include "support/ScopedBleClientTiming.h"
#include "support/SimulatedBle.h"

namespace qvtest {

// Collects the log lines of one test.
class LogCapture {
public:
    LogCapture() {
        SetLogSinkForTesting([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { SetLogSinkForTesting(nullptr); }
    int Count(const std::string& text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }
    bool Has(const std::string& text) const { return Count(text) > 0; }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

constexpr int kWriteBoth = CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse;

// Discovery callbacks that record what they were given; private_data is the recorder.
struct DiscoveryRecord {
    std::mutex mutex;
    std::vector<std::string> calls;  // "simple <name> <address>" / "full <name> <address> <rssi>"
    std::vector<const void*> peripherals;

    static std::string Text(const char* s) { return s ? s : "null"; }
    static void Simple(const char* name, const char* address, const void* priv) {
        auto* self = static_cast<DiscoveryRecord*>(const_cast<void*>(priv));
        std::lock_guard<std::mutex> lock(self->mutex);
        self->calls.push_back("simple " + Text(name) + " " + Text(address));
    }
    static void Full(const void* peripheral, const char* name, const char* address, int rssi, const void* priv) {
        auto* self = static_cast<DiscoveryRecord*>(const_cast<void*>(priv));
        std::lock_guard<std::mutex> lock(self->mutex);
        self->calls.push_back("full " + Text(name) + " " + Text(address) + " " + std::to_string(rssi));
        self->peripherals.push_back(peripheral);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

class BleClientTest : public ::testing::Test {
protected:
    std::shared_ptr<SimulatedPrinter> AddPrinter(const std::string& service,
                                                 std::vector<SimulatedCharacteristic> characteristics,
                                                 std::vector<uint8_t> address = {0x01, 0x02, 0x03, 0x0A, 0x0B, 0xFF},
                                                 const char* name = "P58") {
        auto printer = radio.AddPrinter(name ? std::optional<std::string>(name) : std::nullopt,
                                        address.empty() ? std::vector<uint8_t>{} : PrinterAdvert(address));
        printer->addService(service, std::move(characteristics));
        return printer;
    }

    LogCapture log;
    ScopedRadio radio;
    ScopedBleClientTiming timing;
};

}  // namespace qvtest
