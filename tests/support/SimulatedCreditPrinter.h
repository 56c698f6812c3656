#pragma once
// The printer's side of the credit profile on a simulated printer: service FF00 with FF01
// (its data), FF02 (the host's pieces, without response) and FF03 (flow control). On
// subscription to FF03 it announces its MTU (02 mtu 00) and grants its first credits
// (01 n); for every piece on FF02 it grants grantPerPiece credits back, at once, unless
// grants are held for the test to send. It keeps its own ledger of credits and notes a piece
// that arrives without one.
//
//   auto printer = radio.AddPrinter("P80", qvtest::PrinterAdvert({1, 2, 3, 4, 5, 6}));
//   qvtest::CreditPrinter credit(printer);
//   credit.mtu = 64;                              // before the host subscribes
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/SimulatedRadio.h"

namespace qvtest {

class CreditPrinter {
public:
    explicit CreditPrinter(std::shared_ptr<SimulatedPrinter> printer);
    ~CreditPrinter();
    CreditPrinter(const CreditPrinter&) = delete;
    CreditPrinter& operator=(const CreditPrinter&) = delete;

    void Grant(int n);
    // Waits until count pieces arrived.
    bool WaitForPieces(size_t count);
    // The bytes of every piece on FF02, joined in order.
    std::vector<uint8_t> Received() const;

    std::atomic<int> mtu{100};
    std::atomic<int> initialCredits{1};
    std::atomic<int> grantPerPiece{1};
    std::atomic<bool> holdGrants{false};
    std::atomic<SimulatedPrinter::WriteAnswer> answer{SimulatedPrinter::WriteAnswer::None};
    std::atomic<bool> overdrawn{false};

private:
    SimulatedPrinter::WriteAnswer OnPiece(const SimulatedWrite& w);

    std::shared_ptr<SimulatedPrinter> printer_;
    std::atomic<int> ledger_{0};
    std::mutex mutex_;
    std::condition_variable arrived_;
    size_t pieces_ = 0;
};

}  // namespace qvtest
