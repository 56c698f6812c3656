#include "ble_clients/razi_ios_ble_clients.h"

#include "ble_clients/BLEPrinting.h"
#include "ble_clients/BLERWProtoV2.h"
#include "ble_clients/BLERWProtoV3.h"

namespace {

// The calls the three wrappers share, on the skeleton every client has.
bool OpenAddressOn(BLEClientBase& client, const char* address) {
    return address != nullptr && client.OpenAddress(address);
}

// Only a peripheral this client's central reported is followed; any other pointer reaches
// the client as none, which refuses it.
bool OpenOn(BLEClientBase& client, void* peripheral) {
    return client.Open(client.FindReportedPeripheral(peripheral));
}

// The application may free its private data once the wrapper is gone, so no discovery
// callback may still run then: no new report comes once the scan stops, and those already
// queued have run once the client's queue drains. The connection stays as it is.
void QuietenDiscovery(BLEClientBase& client) {
    client.stopScan();
    client.queue()->waitIdle();
}

}  // namespace

razi_ios_ble_basic::razi_ios_ble_basic() : client(BLEPrinting::Create()) {}
razi_ios_ble_basic::~razi_ios_ble_basic() { QuietenDiscovery(*client); }
bool razi_ios_ble_basic::OpenAddress(const char* address) { return OpenAddressOn(*client, address); }
bool razi_ios_ble_basic::Open(void* peripheral) { return OpenOn(*client, peripheral); }
void razi_ios_ble_basic::Close() { client->Close(); }
bool razi_ios_ble_basic::IsOpened() { return client->IsOpened(); }
int razi_ios_ble_basic::Write(unsigned char* buffer, int count, int) { return client->Write(buffer, 0, count); }
int razi_ios_ble_basic::Read(unsigned char* buffer, int count, int timeout) {
    return client->Read(buffer, 0, count, timeout);
}
void razi_ios_ble_basic::SkipAvailable() { client->SkipAvailable(); }
bool razi_ios_ble_basic::scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data) {
    return client->scanPeripheral(pd, sd, private_data);
}
void razi_ios_ble_basic::stopScan() { client->stopScan(); }
void razi_ios_ble_basic::SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry) {
    client->SetWriteMode(mode, packetSize, packetTimeout, packetMaxRetry);
}

razi_ios_ble_rwprotov2::razi_ios_ble_rwprotov2() : client(BLERWProtoV2::Create()) {}
razi_ios_ble_rwprotov2::~razi_ios_ble_rwprotov2() { QuietenDiscovery(*client); }
bool razi_ios_ble_rwprotov2::OpenAddress(const char* address) { return OpenAddressOn(*client, address); }
bool razi_ios_ble_rwprotov2::Open(void* peripheral) { return OpenOn(*client, peripheral); }
void razi_ios_ble_rwprotov2::Close() { client->Close(); }
bool razi_ios_ble_rwprotov2::IsOpened() { return client->IsOpened(); }
int razi_ios_ble_rwprotov2::Write(unsigned char* buffer, int count, int timeout) {
    return client->Write(buffer, 0, count, timeout);
}
int razi_ios_ble_rwprotov2::Read(unsigned char* buffer, int count, int timeout) {
    return client->Read(buffer, 0, count, timeout);
}
void razi_ios_ble_rwprotov2::SkipAvailable() { client->SkipAvailable(); }
bool razi_ios_ble_rwprotov2::scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data) {
    return client->scanPeripheral(pd, sd, private_data);
}
void razi_ios_ble_rwprotov2::stopScan() { client->stopScan(); }
void razi_ios_ble_rwprotov2::ClearPacketSendTimesList() { client->ClearPacketSendTimesList(); }
int razi_ios_ble_rwprotov2::GetPacketSendTimesListLength() { return client->GetPacketSendTimesListLength(); }
int razi_ios_ble_rwprotov2::GetPacketSendTimesListValue(int* values, int count) {
    return client->GetPacketSendTimesListValue(values, count);
}

razi_ios_ble_rwprotov3::razi_ios_ble_rwprotov3() : client(BLERWProtoV3::Create()) {}
razi_ios_ble_rwprotov3::~razi_ios_ble_rwprotov3() { QuietenDiscovery(*client); }
bool razi_ios_ble_rwprotov3::OpenAddress(const char* address) { return OpenAddressOn(*client, address); }
bool razi_ios_ble_rwprotov3::Open(void* peripheral) { return OpenOn(*client, peripheral); }
void razi_ios_ble_rwprotov3::Close() { client->Close(); }
bool razi_ios_ble_rwprotov3::IsOpened() { return client->IsOpened(); }
int razi_ios_ble_rwprotov3::Write(unsigned char* buffer, int count, int timeout) {
    return client->Write(buffer, 0, count, timeout);
}
int razi_ios_ble_rwprotov3::Read(unsigned char* buffer, int count, int timeout) {
    return client->Read(buffer, 0, count, timeout);
}
void razi_ios_ble_rwprotov3::SkipAvailable() { client->SkipAvailable(); }
bool razi_ios_ble_rwprotov3::scan(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data) {
    return client->scanPeripheral(pd, sd, private_data);
}
void razi_ios_ble_rwprotov3::stopScan() { client->stopScan(); }
