#include "platform/CBCentralManager.h"

#include "platform/SimulatedRadio.h"

std::shared_ptr<CBCentralManager> CBCentralManager::Create(std::weak_ptr<CBCentralManagerDelegate> delegate,
                                                           std::shared_ptr<DispatchQueue> queue,
                                                           CBCentralManagerOptions options) {
    if (!queue) queue = std::make_shared<DispatchQueue>("CBCentralManager", DispatchQueue::Kind::Serial);
    std::shared_ptr<CBCentralManager> central(new CBCentralManager(std::move(delegate), std::move(queue), options));
    SimulatedRadio::Instance().Register(central.get());
    return central;
}

CBCentralManager::CBCentralManager(std::weak_ptr<CBCentralManagerDelegate> delegate,
                                   std::shared_ptr<DispatchQueue> queue, CBCentralManagerOptions options)
    : delegate_(std::move(delegate)),
      queue_(std::move(queue)),
      options_(options),
      strand_(std::make_shared<DispatchStrand>(queue_)) {}

CBCentralManager::~CBCentralManager() { SimulatedRadio::Instance().Unregister(this); }

int CBCentralManager::state() const { return SimulatedRadio::Instance().CentralState(*this); }

bool CBCentralManager::isScanning() const { return SimulatedRadio::Instance().CentralScanning(*this); }

void CBCentralManager::scanForPeripheralsWithServices(const std::vector<CBUUID>& services, bool allowDuplicates) {
    SimulatedRadio::Instance().StartScan(*this, services, allowDuplicates);
}

void CBCentralManager::stopScan() { SimulatedRadio::Instance().StopScan(*this); }

void CBCentralManager::connectPeripheral(const std::shared_ptr<CBPeripheral>& peripheral) {
    SimulatedRadio::Instance().Connect(*this, peripheral);
}

void CBCentralManager::cancelPeripheralConnection(const std::shared_ptr<CBPeripheral>& peripheral) {
    SimulatedRadio::Instance().CancelConnection(*this, peripheral);
}
