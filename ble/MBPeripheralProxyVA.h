#pragma once

#include <memory>
#include <mutex>

#include "ble/MBPeripheralConnectionProxy.h"

// The automatic profile: connects the peripheral, discovers all its services, chooses the
// handler of the first profile it offers in the order credits (FF00), group packets (18F0),
// plain packets, and hands every GATT step of the connection to that handler. Itself it
// keeps the connection, makes the checks in front of reads and writes, and forwards the
// peripheral's callbacks to whichever handler is current.
class MBPeripheralProxyVA : public MBPeripheralConnectionProxy {
public:
    using MBPeripheralConnectionProxy::MBPeripheralConnectionProxy;

    // Connects and waits for the services; false (the connection cancelled) without them.
    bool connectPeripheralAndDiscoverServices();
    // One attempt: services, the handler they select, and its set-up.
    bool BaseOpen() override;
    void Close() override;
    void SkipAvailable() override;
    int Read(uint8_t* buffer, int offset, int count, int timeoutMs) override;
    int Write(const uint8_t* buffer, int offset, int count, int timeoutMs) override;

    bool isConnecting() const { return isOpening(); }
    std::shared_ptr<const CBServiceList> discoveredServices() const;
    std::shared_ptr<MBPeripheralProxyVAHandler> myHandler() const;

    void didDiscoverServices(CBPeripheral& peripheral, const NSError* error) override;
    void didDiscoverCharacteristicsForService(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service,
                                              const NSError* error) override;
    void didWriteValueForCharacteristic(CBPeripheral& peripheral,
                                        const std::shared_ptr<CBCharacteristic>& characteristic,
                                        const NSError* error) override;
    void didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                     const std::shared_ptr<CBCharacteristic>& characteristic,
                                                     const NSError* error) override;
    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;

    // The handler of the first profile among the services, or null.
    static std::shared_ptr<MBPeripheralProxyVAHandler> ChooseHandler(const CBServiceList& services);

private:
    void setDiscoveredServices(std::shared_ptr<const CBServiceList> services);
    void setHandler(std::shared_ptr<MBPeripheralProxyVAHandler> handler);
    // The five checks in front of a read or a write, each logged; the handler when all pass.
    std::shared_ptr<MBPeripheralProxyVAHandler> handlerForTransfer() const;
    // The handler a callback of this proxy's peripheral goes to; null (logged) without one.
    std::shared_ptr<MBPeripheralProxyVAHandler> handlerForCallback(const CBPeripheral& peripheral) const;

    // Guards the two references, so that a callback racing an attempt that replaces the
    // handler gets the old or the new one whole, and keeps it for its own duration.
    mutable std::mutex mutex_;
    std::shared_ptr<const CBServiceList> discoveredServices_;
    std::shared_ptr<MBPeripheralProxyVAHandler> myHandler_;
};
