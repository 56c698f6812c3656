#pragma once
// Shared pieces of the stand-alone client suites: discovery callbacks that record, and a
// test base with a powered radio, short waits, captured log lines and a printer helper.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "support/ScopedBleClientTiming.h"
#include "support/SimulatedBle.h"

namespace qvtest {

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

    bool Logged(const std::string& prefix) const { return log.Count(prefix) > 0; }

    LogCapture log;
    ScopedRadio radio;
    ScopedBleClientTiming timing;
};

}  // namespace qvtest
