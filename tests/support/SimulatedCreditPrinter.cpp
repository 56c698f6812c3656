#include "support/SimulatedCreditPrinter.h"

#include <chrono>

namespace qvtest {

CreditPrinter::CreditPrinter(std::shared_ptr<SimulatedPrinter> printer) : printer_(std::move(printer)) {
    printer_->addService("FF00", {{"FF01", CBCharacteristicPropertyNotify},
                                  {"FF02", CBCharacteristicPropertyWriteWithoutResponse},
                                  {"FF03", CBCharacteristicPropertyNotify}});
    printer_->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 185);
    printer_->setSubscribeHandler([this](const std::string& characteristic) {
        if (characteristic != "FF03") return;
        if (mtu > 0) printer_->notify("FF03", {0x02, static_cast<uint8_t>(mtu.load()), 0x00});
        if (initialCredits > 0) Grant(initialCredits);
    });
    printer_->setWriteHandler([this](const SimulatedWrite& w) { return OnPiece(w); });
}

CreditPrinter::~CreditPrinter() {
    printer_->setSubscribeHandler(nullptr);
    printer_->setWriteHandler(nullptr);
}

void CreditPrinter::Grant(int n) {
    ledger_ += n;
    printer_->notify("FF03", {0x01, static_cast<uint8_t>(n)});
}

bool CreditPrinter::WaitForPieces(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return pieces_ >= count; });
}

std::vector<uint8_t> CreditPrinter::Received() const {
    std::vector<uint8_t> joined;
    for (const auto& w : printer_->writes()) {
        if (w.characteristic == "FF02") joined.insert(joined.end(), w.bytes.begin(), w.bytes.end());
    }
    return joined;
}

SimulatedPrinter::WriteAnswer CreditPrinter::OnPiece(const SimulatedWrite& w) {
    if (w.characteristic == "FF02") {
        if (--ledger_ < 0) overdrawn = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++pieces_;
        }
        arrived_.notify_all();
        if (!holdGrants && grantPerPiece > 0) Grant(grantPerPiece);
    }
    return answer.load();
}

}  // namespace qvtest
