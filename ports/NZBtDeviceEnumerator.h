// Enumerators that find devices by scanning and report each one to a callback while the
// caller waits. Only Bluetooth LE scanning does work; Bluetooth classic and Wi-Fi P2P
// enumeration do nothing on this platform.
#pragma once

#include <cwchar>

#include "ports/NZEnumerator.h"
#include "quorvantelmise.h"

using NZBtDeviceDiscoveredW = void (*)(const wchar_t* name, const wchar_t* address,
                                       const void* private_data);
using NZWiFiP2PDeviceDiscoveredA = CP_OnWiFiP2PDeviceDiscovered;
using NZWiFiP2PDeviceDiscoveredW = void (*)(const wchar_t* name, const wchar_t* address,
                                            const wchar_t* type, const void* private_data);

class NZBtDeviceEnumerator : public NZEnumerator {
public:
    virtual void EnumBtDeviceA(unsigned int timeout_ms, int* cancel,
                               CP_OnBluetoothDeviceDiscovered on_discovered,
                               const void* private_data);
    virtual void EnumBtDeviceW(unsigned int timeout_ms, int* cancel,
                               NZBtDeviceDiscoveredW on_discovered, const void* private_data);
};
class NZBtDeviceEnumerator_ios : public NZBtDeviceEnumerator {};

class NZBleDeviceEnumerator : public NZBtDeviceEnumerator {};
class NZBleDeviceEnumerator_ios : public NZBleDeviceEnumerator {
public:
    // Subscribes to Bluetooth LE discovery, waits until *cancel (null: never) is set or the
    // timeout has passed in whole seconds, then ends the subscription. Discoveries reach
    // on_discovered on the Bluetooth layer's thread meanwhile.
    void EnumBtDeviceA(unsigned int timeout_ms, int* cancel,
                       CP_OnBluetoothDeviceDiscovered on_discovered,
                       const void* private_data) override;
    // As EnumBtDeviceA, with the subscription's number as the result: below 1 when no scan
    // could start (then nothing waits).
    int Scan(unsigned int timeout_ms, int* cancel, CP_OnBluetoothDeviceDiscovered on_discovered,
             const void* private_data);
};

class NZWiFiP2PDeviceEnumerator : public NZEnumerator {
public:
    virtual void EnumWiFiP2PDeviceA(unsigned int timeout_ms, int* cancel,
                                    NZWiFiP2PDeviceDiscoveredA on_discovered,
                                    const void* private_data);
    virtual void EnumWiFiP2PDeviceW(unsigned int timeout_ms, int* cancel,
                                    NZWiFiP2PDeviceDiscoveredW on_discovered,
                                    const void* private_data);
};

// How Bluetooth LE enumeration reaches the central: subscribe to discovery (the
// subscription's number, 1 or more, or below 1 when no scan can start) and end a
// subscription. The process-wide central is the default.
struct BleDiscoveryBridge {
    int (*scan)(CP_OnBluetoothDeviceDiscovered on_discovered, const void* private_data);
    void (*stopScan)(int number);
};
BleDiscoveryBridge GetBleDiscoveryBridge();
// The central installs itself here; tests install a fake.
void SetBleDiscoveryBridge(const BleDiscoveryBridge& bridge);
