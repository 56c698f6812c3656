#pragma once
// The exported classes over the stand-alone Bluetooth LE clients. Each owns one client of its
// own (with its own central and queue) and forwards every call to it with offset 0. The
// destructor does not close the connection; it stops a scan and returns once no discovery
// callback runs any more, so the private data given to scan may be freed after it.
#include <memory>

#include "ble_clients/BleDiscoveryEvents.h"
#include "quorvantelmise.h"

class BLEPrinting;
class BLERWProtoV2;
class BLERWProtoV3;

// Indexed-packet printers.
class CP_API razi_ios_ble_basic {
public:
    razi_ios_ble_basic();
    ~razi_ios_ble_basic();
    razi_ios_ble_basic(const razi_ios_ble_basic&) = delete;
    razi_ios_ble_basic& operator=(const razi_ios_ble_basic&) = delete;

    bool OpenAddress(const char* address);
    // peripheral: a value given to this object's full discovery callback.
    bool Open(void* peripheral);
    void Close();
    bool IsOpened();
    // The client's packet timeout applies; timeout is not used.
    int Write(unsigned char* buffer, int count, int timeout);
    int Read(unsigned char* buffer, int count, int timeout);
    void SkipAvailable();
    bool scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data);
    void stopScan();
    void SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry);

private:
    std::shared_ptr<BLEPrinting> client;
};

// Group-packet printers.
class CP_API razi_ios_ble_rwprotov2 {
public:
    razi_ios_ble_rwprotov2();
    ~razi_ios_ble_rwprotov2();
    razi_ios_ble_rwprotov2(const razi_ios_ble_rwprotov2&) = delete;
    razi_ios_ble_rwprotov2& operator=(const razi_ios_ble_rwprotov2&) = delete;

    bool OpenAddress(const char* address);
    bool Open(void* peripheral);
    void Close();
    bool IsOpened();
    int Write(unsigned char* buffer, int count, int timeout);
    int Read(unsigned char* buffer, int count, int timeout);
    void SkipAvailable();
    bool scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data);
    void stopScan();
    void ClearPacketSendTimesList();
    int GetPacketSendTimesListLength();
    int GetPacketSendTimesListValue(int* values, int count);

private:
    std::shared_ptr<BLERWProtoV2> client;
};

// Credit printers.
class CP_API razi_ios_ble_rwprotov3 {
public:
    razi_ios_ble_rwprotov3();
    ~razi_ios_ble_rwprotov3();
    razi_ios_ble_rwprotov3(const razi_ios_ble_rwprotov3&) = delete;
    razi_ios_ble_rwprotov3& operator=(const razi_ios_ble_rwprotov3&) = delete;

    bool OpenAddress(const char* address);
    bool Open(void* peripheral);
    void Close();
    bool IsOpened();
    int Write(unsigned char* buffer, int count, int timeout);
    int Read(unsigned char* buffer, int count, int timeout);
    void SkipAvailable();
    bool scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data);
    void stopScan();

private:
    std::shared_ptr<BLERWProtoV3> client;
};
