#include "ble/razi_ios_ble_proxy.h"

#include <string>

#include "ble/MBCentralManager.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ble/MBPeripheralProxyV2.h"

std::shared_ptr<MBPeripheralProxy> razi_ios_ble_proxy::held() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return proxy_;
}

bool razi_ios_ble_proxy::store(std::shared_ptr<MBPeripheralProxy> proxy) {
    std::lock_guard<std::mutex> hold(mutex_);
    proxy_ = std::move(proxy);
    return proxy_ != nullptr;
}

bool razi_ios_ble_proxy::OpenAddress(const char* address) {
    if (address == nullptr) return store(nullptr);
    const std::string text(address);
    return store(MBCentralManager::proxy().OpenAddress(&text, profile_));
}

bool razi_ios_ble_proxy::OpenPeripheral(void* peripheral) {
    auto& central = MBCentralManager::proxy();
    return store(central.OpenPeripheral(central.findPeripheralByObject(peripheral), profile_));
}

void razi_ios_ble_proxy::Close() {
    std::shared_ptr<MBPeripheralProxy> proxy;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        proxy.swap(proxy_);
    }
    // Taken out first, so a second Close finds nothing and closes nothing.
    if (proxy) MBCentralManager::ClosePeripheralProxy(proxy);
}

bool razi_ios_ble_proxy::IsConnectionValid() const {
    auto proxy = held();
    return proxy ? proxy->IsConnectionValid() : false;
}

int razi_ios_ble_proxy::Write(const unsigned char* data, int count, int timeout_ms) const {
    auto proxy = held();
    return proxy ? proxy->Write(data, 0, count, timeout_ms) : -1;
}

int razi_ios_ble_proxy::Read(unsigned char* buffer, int count, int timeout_ms) const {
    auto proxy = held();
    return proxy ? proxy->Read(buffer, 0, count, timeout_ms) : -1;
}

void razi_ios_ble_proxy::SkipAvailable() const {
    if (auto proxy = held()) proxy->SkipAvailable();
}

razi_ios_ble_proxyv1::razi_ios_ble_proxyv1() : razi_ios_ble_proxy(kBleProfileV1) {}

void razi_ios_ble_proxyv1::SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry) {
    auto proxy = std::dynamic_pointer_cast<MBPeripheralProxyV1>(held());
    if (proxy) proxy->SetWriteMode(mode, packetSize, packetTimeout, packetMaxRetry);
}

razi_ios_ble_proxyv2::razi_ios_ble_proxyv2() : razi_ios_ble_proxy(kBleProfileV2) {}

void razi_ios_ble_proxyv2::ClearPacketSendTimesList() {
    if (auto proxy = std::dynamic_pointer_cast<MBPeripheralProxyV2>(held())) proxy->ClearPacketSendTimesList();
}

int razi_ios_ble_proxyv2::GetPacketSendTimesListLength() {
    auto proxy = std::dynamic_pointer_cast<MBPeripheralProxyV2>(held());
    return proxy ? proxy->GetPacketSendTimesListLength() : 0;
}

int razi_ios_ble_proxyv2::GetPacketSendTimesListValue(int* values, int count) {
    auto proxy = std::dynamic_pointer_cast<MBPeripheralProxyV2>(held());
    return proxy && values != nullptr && count > 0 ? proxy->GetPacketSendTimesListValue(values, count) : 0;
}

razi_ios_ble_proxyv3::razi_ios_ble_proxyv3() : razi_ios_ble_proxy(kBleProfileV3) {}
razi_ios_ble_proxyva::razi_ios_ble_proxyva() : razi_ios_ble_proxy(kBleProfileVA) {}

int razi_ios_ble_enumerator::scan(PeripheralCallback peripheral_callback, SimpleCallback simple_callback,
                                  const void* private_data) {
    return MBCentralManager::scan(peripheral_callback, simple_callback, private_data);
}

void razi_ios_ble_enumerator::stopScan(int number) { MBCentralManager::stopScan(number); }
