#include "ports/NZBtDeviceEnumerator.h"

#include "ble/razi_ios_ble_proxy.h"

#include "ports/PortTiming.h"
#include "base/ProcessSetting.h"
#include "ports/RAZIThread.h"

namespace {

int centralScan(CP_OnBluetoothDeviceDiscovered on_discovered, const void* private_data) {
    return razi_ios_ble_enumerator::scan(nullptr, on_discovered, private_data);
}
void centralStopScan(int number) { razi_ios_ble_enumerator::stopScan(number); }

ProcessSetting<BleDiscoveryBridge>& bridge() {
    static auto* setting =
        new ProcessSetting<BleDiscoveryBridge>({&centralScan, &centralStopScan});
    return *setting;
}

}  // namespace

BleDiscoveryBridge GetBleDiscoveryBridge() { return bridge().Get(); }

void SetBleDiscoveryBridge(const BleDiscoveryBridge& value) { bridge().Set(value); }

void NZBtDeviceEnumerator::EnumBtDeviceA(unsigned int, int*, CP_OnBluetoothDeviceDiscovered,
                                         const void*) {}
void NZBtDeviceEnumerator::EnumBtDeviceW(unsigned int, int*, NZBtDeviceDiscoveredW,
                                         const void*) {}

void NZBleDeviceEnumerator_ios::EnumBtDeviceA(unsigned int timeout_ms, int* cancel,
                                              CP_OnBluetoothDeviceDiscovered on_discovered,
                                              const void* private_data) {
    Scan(timeout_ms, cancel, on_discovered, private_data);
}

int NZBleDeviceEnumerator_ios::Scan(unsigned int timeout_ms, int* cancel,
                                    CP_OnBluetoothDeviceDiscovered on_discovered,
                                    const void* private_data) {
    const BleDiscoveryBridge central = GetBleDiscoveryBridge();
    const int number = central.scan(on_discovered, private_data);
    if (number < 1) return number;
    const WholeSecondDeadline deadline(timeout_ms);
    const int sleep_ms = static_cast<int>(GetPortTiming().pollSleepMs);
    while (!RAZICancelFlagSet(cancel) && !deadline.Passed()) RAZISleep::SleepMs(sleep_ms);
    central.stopScan(number);
    return number;
}

void NZWiFiP2PDeviceEnumerator::EnumWiFiP2PDeviceA(unsigned int, int*,
                                                   NZWiFiP2PDeviceDiscoveredA, const void*) {}
void NZWiFiP2PDeviceEnumerator::EnumWiFiP2PDeviceW(unsigned int, int*,
                                                   NZWiFiP2PDeviceDiscoveredW, const void*) {}

extern "C" {

CP_API void CP_Port_EnumBtDevice(unsigned int timeout_ms, int* cancel,
                                 CP_OnBluetoothDeviceDiscovered on_discovered,
                                 const void* private_data) {
    NZBtDeviceEnumerator_ios().EnumBtDeviceA(timeout_ms, cancel, on_discovered, private_data);
}

CP_API int CP_Port_EnumBleDevice(unsigned int timeout_ms, int* cancel,
                                 CP_OnBluetoothDeviceDiscovered on_discovered,
                                 const void* private_data) {
    // A scan without a callback still fills the central's address registry, so later opens
    // by address find their printers at once.
    return NZBleDeviceEnumerator_ios().Scan(timeout_ms, cancel, on_discovered, private_data);
}

CP_API void CP_Port_EnumWiFiP2PDevice(unsigned int timeout_ms, int* cancel,
                                      CP_OnWiFiP2PDeviceDiscovered on_discovered,
                                      const void* private_data) {
    NZWiFiP2PDeviceEnumerator().EnumWiFiP2PDeviceA(timeout_ms, cancel, on_discovered,
                                                   private_data);
}

}  // extern "C"
