#pragma once

#include <atomic>

#include "ble/MBPeripheralProxy.h"

// A proxy that connects its peripheral itself: the wait for the radio, connection attempts
// within the open window, and the central's connection events. A subclass makes one attempt
// (BaseOpen) and decides what a usable link is.
class MBPeripheralConnectionProxy : public MBPeripheralProxy {
public:
    using MBPeripheralProxy::MBPeripheralProxy;

    // The radio on within its wait, the peripheral disconnected, then attempts until one
    // succeeds or the open window closes.
    bool Open() override;
    bool IsOpened() override { return isOpened_.load(); }

    bool waitForCBCentralManagerStatePoweredOn(int timeoutMs);
    // One connection attempt; returns isOpened.
    virtual bool BaseOpen() = 0;

    bool isConnected() const { return isConnected_.load(); }
    bool isOpening() const { return isOpening_.load(); }

    // For this proxy's central and peripheral only. A connection makes the proxy the
    // peripheral's delegate and asks for its services.
    void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) override;
    void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) override;
    void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const NSError* error) override;

protected:
    // False, after logging which one is missing, when there is no central or no peripheral.
    bool hasCentralAndPeripheral() const;
    bool centralPoweredOn() const;
    bool ownsEvent(const CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) const;
    bool ownsPeripheral(const CBPeripheral& peripheral) const;
    bool peripheralConnected() const;
    // After a failed attempt: cancels the connection and waits, within the close wait, until
    // the peripheral is disconnected or the radio is off. A stack that never reports the
    // disconnection cannot hold the opener for longer.
    void cancelAndWaitForDisconnected();
    // Close: cancels the connection and waits, within the close wait, while the link is up.
    void cancelAndWaitWhileConnected();

    std::atomic<bool> isConnected_{false};
    // An attempt is under way; a failed connection or a disconnection ends it.
    std::atomic<bool> isOpening_{false};
    std::atomic<bool> isOpened_{false};
};
