#pragma once
// Scripting the simulated Bluetooth LE radio in tests.
//
//   qvtest::ScopedRadio radio;                       // powered on; printers removed at the end
//   auto printer = radio.AddPrinter("P58", qvtest::PrinterAdvert({1, 2, 3, 4, 5, 6}));
//   auto events = std::make_shared<qvtest::BleEventRecorder>();
//   auto central = CBCentralManager::Create(events, queue);
//   ASSERT_TRUE(events->WaitFor("discover", 1));
//
// The radio is process-wide: a test removes its printers and leaves the power state as it
// found it, which ScopedRadio does.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/SimulatedRadio.h"

namespace qvtest {

// Manufacturer data that marks a printer of this library: 4B 43 and the six address bytes.
std::vector<uint8_t> PrinterAdvert(const std::vector<uint8_t>& address);

class ScopedRadio {
public:
    explicit ScopedRadio(int state = CBManagerStatePoweredOn);
    ~ScopedRadio();
    ScopedRadio(const ScopedRadio&) = delete;
    ScopedRadio& operator=(const ScopedRadio&) = delete;

    std::shared_ptr<SimulatedPrinter> AddPrinter(std::optional<std::string> name, std::vector<uint8_t> advert);
    void SetPower(int state) { SimulatedRadio::Instance().setPowerState(state); }

private:
    int saved_;
    std::vector<std::shared_ptr<SimulatedPrinter>> printers_;
};

// Collects the Bluetooth LE layer's log lines while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    // Lines that begin with the text.
    size_t Count(const std::string& prefix) const;

private:
    std::shared_ptr<std::mutex> mutex_ = std::make_shared<std::mutex>();
    std::shared_ptr<std::vector<std::string>> lines_ = std::make_shared<std::vector<std::string>>();
};

// One delegate event as seen by BleEventRecorder.
struct BleEvent {
    std::string what;   // "state", "discover", "connect", "fail", "disconnect", "services", ...
    std::string queue;  // label of the queue it ran on ("" when not on a queue)
    std::shared_ptr<CBPeripheral> peripheral;
    std::shared_ptr<CBCharacteristic> characteristic;
    std::shared_ptr<CBService> service;
    std::optional<std::string> name;                // discover
    std::optional<std::vector<uint8_t>> advert;     // discover: manufacturer data
    int number = 0;                                 // state: central state; discover: RSSI
    std::vector<uint8_t> value;                     // value
    bool error = false;
};

// A central and peripheral delegate that records every event, thread-safely, and waits for
// them with deadlines.
class BleEventRecorder : public CBCentralManagerDelegate, public CBPeripheralDelegate {
public:
    std::vector<BleEvent> Events() const;
    std::vector<BleEvent> Of(const std::string& what) const;
    size_t Count(const std::string& what) const;
    bool WaitFor(const std::string& what, size_t count,
                 std::chrono::milliseconds deadline = std::chrono::seconds(5)) const;
    void Clear();

    void centralManagerDidUpdateState(CBCentralManager& central) override;
    void willRestoreState(CBCentralManager& central) override;
    void didDiscoverPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                               const CBAdvertisementData& data, int rssi) override;
    void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) override;
    void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) override;
    void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const NSError* error) override;
    void didDiscoverServices(CBPeripheral& peripheral, const NSError* error) override;
    void didDiscoverCharacteristicsForService(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service,
                                              const NSError* error) override;
    void didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                     const std::shared_ptr<CBCharacteristic>& characteristic,
                                                     const NSError* error) override;
    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;
    void didWriteValueForCharacteristic(CBPeripheral& peripheral,
                                        const std::shared_ptr<CBCharacteristic>& characteristic,
                                        const NSError* error) override;

private:
    void Record(BleEvent event);

    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<BleEvent> events_;
};

}  // namespace qvtest
