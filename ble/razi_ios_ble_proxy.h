#pragma once

#include <memory>
#include <mutex>

#include "ble/MBPeripheralProxy.h"

// The door from the ports into the Bluetooth LE layer: one open connection of one GATT
// profile, opened through the process-wide central and held until Close. Plain values only.
// The held proxy lives in the central's registry; each call keeps it alive for its own
// duration, so a call overlapping Close sees either the proxy or none.
class razi_ios_ble_proxy {
public:
    explicit razi_ios_ble_proxy(int profile) : profile_(profile) {}
    razi_ios_ble_proxy(const razi_ios_ble_proxy&) = delete;
    razi_ios_ble_proxy& operator=(const razi_ios_ble_proxy&) = delete;

    // Looks the address up (up to the lookup time) and opens the profile; false for null.
    bool OpenAddress(const char* address);
    // peripheral: a CBPeripheral the central reported (its discovery callback passes it);
    // any other pointer fails the open without being followed.
    bool OpenPeripheral(void* peripheral);
    void Close();
    bool IsOpened() const { return held() != nullptr; }
    bool IsConnectionValid() const;
    int Write(const unsigned char* data, int count, int timeout_ms) const;
    int Read(unsigned char* buffer, int count, int timeout_ms) const;
    void SkipAvailable() const;

protected:
    std::shared_ptr<MBPeripheralProxy> held() const;

private:
    bool store(std::shared_ptr<MBPeripheralProxy> proxy);

    const int profile_;
    mutable std::mutex mutex_;  // guards only the reference
    std::shared_ptr<MBPeripheralProxy> proxy_;
};

class razi_ios_ble_proxyv1 : public razi_ios_ble_proxy {
public:
    razi_ios_ble_proxyv1();
    void SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry);
};

class razi_ios_ble_proxyv2 : public razi_ios_ble_proxy {
public:
    razi_ios_ble_proxyv2();
    // The per-packet send counts of the last write.
    void ClearPacketSendTimesList();
    int GetPacketSendTimesListLength();
    int GetPacketSendTimesListValue(int* values, int count);
};

class razi_ios_ble_proxyv3 : public razi_ios_ble_proxy {
public:
    razi_ios_ble_proxyv3();
};

class razi_ios_ble_proxyva : public razi_ios_ble_proxy {
public:
    razi_ios_ble_proxyva();
};

// Discovery subscriptions on the process-wide central for the device enumeration.
class razi_ios_ble_enumerator {
public:
    using PeripheralCallback = void (*)(const void* peripheral, const char* name, const char* address, int rssi,
                                        const void* private_data);
    using SimpleCallback = void (*)(const char* name, const char* address, const void* private_data);

    static int scan(PeripheralCallback peripheral_callback, SimpleCallback simple_callback, const void* private_data);
    static void stopScan(int number);
};
