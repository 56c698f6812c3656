#include "QVTestBed.h"

#include <dlfcn.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ble/MBCentralManager.h"
#include "ports/NZNetSettings.h"
#include "ports/PortTiming.h"
#include "ports/UdpTestBytes.h"
#include "quorvantelmise.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespaceEntry.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedCreditPrinter.h"
#include "support/SimulatedBle.h"
#include "support/SimulatedProtoV2Printer.h"

#define QV_TESTBED_API extern "C" __attribute__((visibility("default")))

namespace {

using Bytes = std::vector<uint8_t>;

// A simulated printer of one profile, as the Swift tests see it.
class BedPrinter {
public:
    virtual ~BedPrinter() = default;
    virtual const std::shared_ptr<SimulatedPrinter>& printer() const = 0;
    virtual Bytes Received() const = 0;
    virtual bool Send(const Bytes& bytes) = 0;
};

Bytes WrittenTo(const SimulatedPrinter& printer, const std::string& characteristic) {
    Bytes all;
    for (const SimulatedWrite& w : printer.writes()) {
        if (w.characteristic == characteristic) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
    }
    return all;
}

class PlainPrinter : public BedPrinter {
public:
    static constexpr const char* kService = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
    static constexpr const char* kCharacteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";

    PlainPrinter(qvtest::ScopedRadio& radio, std::optional<std::string> name, const Bytes& address)
        : printer_(radio.AddPrinter(std::move(name), qvtest::PrinterAdvert(address))) {
        printer_->addService(kService, {{kCharacteristic, CBCharacteristicPropertyWrite |
                                                              CBCharacteristicPropertyWriteWithoutResponse |
                                                              CBCharacteristicPropertyNotify}});
    }
    const std::shared_ptr<SimulatedPrinter>& printer() const override { return printer_; }
    Bytes Received() const override { return WrittenTo(*printer_, kCharacteristic); }
    bool Send(const Bytes& bytes) override { return printer_->notify(kCharacteristic, bytes); }

private:
    std::shared_ptr<SimulatedPrinter> printer_;
};

class GroupPacketPrinter : public BedPrinter {
public:
    GroupPacketPrinter(qvtest::ScopedRadio& radio, std::optional<std::string> name, const Bytes& address)
        : v2_(radio, name.value_or("P2"), address) {}
    const std::shared_ptr<SimulatedPrinter>& printer() const override { return v2_.printer(); }
    Bytes Received() const override { return v2_.Received(); }
    bool Send(const Bytes& bytes) override { return v2_.SendData(bytes); }

private:
    qvtest::ProtoV2Printer v2_;
};

class CreditPrinter : public BedPrinter {
public:
    CreditPrinter(qvtest::ScopedRadio& radio, std::optional<std::string> name, const Bytes& address)
        : printer_(radio.AddPrinter(std::move(name), qvtest::PrinterAdvert(address))), credit_(printer_) {}
    const std::shared_ptr<SimulatedPrinter>& printer() const override { return printer_; }
    Bytes Received() const override { return credit_.Received(); }
    bool Send(const Bytes& bytes) override { return printer_->notify("FF01", bytes); }

private:
    std::shared_ptr<SimulatedPrinter> printer_;
    qvtest::CreditPrinter credit_;
};

struct Responders {
    std::unique_ptr<qvtest::LoopbackUdpPeer> a;
    std::unique_ptr<qvtest::LoopbackUdpPeer> b;
};

// Guarded by mutex.
struct Bed {
    std::mutex mutex;
    int users = 0;
    PortTiming savedPortTiming;
    std::unique_ptr<qvtest::ScopedBleTiming> bleTiming;
    std::unique_ptr<qvtest::ScopedRadio> radio;
    std::map<int, std::unique_ptr<BedPrinter>> printers;
    int nextPrinter = 1;
    Responders responders;
};

Bed& bed() {
    static Bed* instance = new Bed;  // never destroyed: calls may come while the process exits
    return *instance;
}

// Shorter helper seconds and discovery pauses, and a Bluetooth LE write timeout that a lost
// confirmation cannot stretch to minutes. The other port waits stay: suites that run meanwhile
// rely on them.
PortTiming BedPortTiming(PortTiming timing) {
    timing.helperSecondMs = 20;
    timing.discoveryCycleSleeps = 4;
    timing.blePacketTimeoutMs = 2000;
    return timing;
}

void SettleCentral() { MBCentralManager::proxy().queue()->waitIdle(); }

template <typename Result>
Result WithPrinter(int number, Result none, const std::function<Result(BedPrinter&)>& body) {
    Bed& b = bed();
    std::lock_guard<std::mutex> lock(b.mutex);
    auto found = b.printers.find(number);
    return found == b.printers.end() ? none : body(*found->second);
}

// The loopback TCP printers, apart from the bed: they need no Begin, and their waits must
// not hold the bed's lock. A call keeps its printer alive while it runs, so a stop on another
// thread ends the printer only after it.
struct TcpPrinters {
    std::mutex mutex;
    std::map<int, std::shared_ptr<qvtest::LoopbackTcpPrinter>> started;
    int next = 1;
};

TcpPrinters& tcpPrinters() {
    static TcpPrinters* instance = new TcpPrinters;  // never destroyed, like the bed
    return *instance;
}

std::shared_ptr<qvtest::LoopbackTcpPrinter> TcpPrinter(int number) {
    TcpPrinters& all = tcpPrinters();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto found = all.started.find(number);
    return found == all.started.end() ? nullptr : found->second;
}

Bytes BytesOf(const unsigned char* bytes, int count) {
    return bytes == nullptr || count <= 0 ? Bytes{} : Bytes(bytes, bytes + count);
}

int CopyOut(const Bytes& bytes, unsigned char* buffer, int capacity) {
    if (buffer != nullptr && capacity > 0)
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), static_cast<size_t>(capacity)), buffer);
    return static_cast<int>(bytes.size());
}

// Any function of this library: its address tells which loaded object is the bed.
int InTheBed() { return 0; }

// Set on a thread that entered a namespace of its own.
thread_local bool t_inNetNamespace = false;

}  // namespace

QV_TESTBED_API int QVTestBed_ServesTheProcess(void) {
    Dl_info served{}, mine{};
    void* open = dlsym(RTLD_DEFAULT, "CP_Port_OpenBtBle");
    if (open == nullptr || dladdr(open, &served) == 0 ||
        dladdr(reinterpret_cast<void*>(&InTheBed), &mine) == 0)
        return 0;
    return served.dli_fbase == mine.dli_fbase;
}

// Both hold the bed's lock throughout, so a Begin never finds an End half done. Nothing that
// runs meanwhile (the central's queue, a printer's threads) takes that lock.
QV_TESTBED_API void QVTestBed_Begin(void) {
    Bed& b = bed();
    std::lock_guard<std::mutex> lock(b.mutex);
    if (b.users++ > 0) return;
    b.savedPortTiming = GetPortTiming();
    SetPortTimingForTesting(BedPortTiming(b.savedPortTiming));
    b.bleTiming = std::make_unique<qvtest::ScopedBleTiming>();
    b.radio = std::make_unique<qvtest::ScopedRadio>();
}

QV_TESTBED_API void QVTestBed_End(void) {
    Bed& b = bed();
    std::lock_guard<std::mutex> lock(b.mutex);
    if (b.users == 0 || --b.users > 0) return;
    b.printers.clear();
    SettleCentral();
    b.radio.reset();  // takes the printers out of range and restores the power state
    b.bleTiming.reset();
    SetPortTimingForTesting(b.savedPortTiming);
}

QV_TESTBED_API int QVTestBed_AddPrinter(int profile, const char* name, const unsigned char* address) {
    if (address == nullptr) return 0;
    const Bytes bytes(address, address + 6);
    std::optional<std::string> advertised;
    if (name != nullptr) advertised = name;
    Bed& b = bed();
    std::lock_guard<std::mutex> lock(b.mutex);
    if (!b.radio) return 0;
    std::unique_ptr<BedPrinter> printer;
    switch (profile) {
    case QVTestBed_PlainProfile:
        printer = std::make_unique<PlainPrinter>(*b.radio, advertised, bytes);
        break;
    case QVTestBed_GroupPacketProfile:
        printer = std::make_unique<GroupPacketPrinter>(*b.radio, advertised, bytes);
        break;
    case QVTestBed_CreditProfile:
        printer = std::make_unique<CreditPrinter>(*b.radio, advertised, bytes);
        break;
    default:
        return 0;
    }
    const int number = b.nextPrinter++;
    b.printers.emplace(number, std::move(printer));
    return number;
}

QV_TESTBED_API void QVTestBed_RemovePrinter(int printer) {
    std::unique_ptr<BedPrinter> removed;
    {
        Bed& b = bed();
        std::lock_guard<std::mutex> lock(b.mutex);
        auto found = b.printers.find(printer);
        if (found == b.printers.end()) return;
        removed = std::move(found->second);
        b.printers.erase(found);
    }
    SimulatedRadio::Instance().removePrinter(removed->printer());
}

QV_TESTBED_API int QVTestBed_IsConnected(int printer) {
    return WithPrinter<int>(printer, 0, [](BedPrinter& p) { return p.printer()->isConnected() ? 1 : 0; });
}

QV_TESTBED_API int QVTestBed_Received(int printer, unsigned char* buffer, int capacity) {
    return WithPrinter<int>(printer, 0, [&](BedPrinter& p) { return CopyOut(p.Received(), buffer, capacity); });
}

QV_TESTBED_API int QVTestBed_Send(int printer, const unsigned char* bytes, int count) {
    if (bytes == nullptr || count < 0) return 0;
    const Bytes data(bytes, bytes + count);
    return WithPrinter<int>(printer, 0, [&](BedPrinter& p) { return p.Send(data) ? 1 : 0; });
}

QV_TESTBED_API int QVTestBed_EnterNetNamespace(char* reason, int capacity) {
    std::string why;
    if (qvtest::EnterFreshNetNamespace(why)) {
        t_inNetNamespace = true;
        return 1;
    }
    if (reason != nullptr && capacity > 0) {
        const size_t n = std::min(why.size(), static_cast<size_t>(capacity - 1));
        std::memcpy(reason, why.data(), n);
        reason[n] = '\0';
    }
    return 0;
}

QV_TESTBED_API int QVTestBed_StartDiscoveryResponders(const unsigned char* mac_a, const char* name_a,
                                                      const unsigned char* mac_b) {
    // The responders bind the any-address: never on the machine's own network.
    if (!t_inNetNamespace || mac_a == nullptr || mac_b == nullptr) return 0;
    const NZNetDestinations shipped;
    const Bytes replyA = DiscoveryReplyA(mac_a, name_a ? name_a : "");
    const Bytes replyB = DiscoveryReplyB(mac_b);
    Responders made;
    qvtest::LoopbackUdpPeer::Options options;
    options.address = "0.0.0.0";  // hears the broadcasts to lo
    try {
        options.port = shipped.discoveryPortA;
        made.a = std::make_unique<qvtest::LoopbackUdpPeer>(options);
        options.port = shipped.discoveryPortB;
        made.b = std::make_unique<qvtest::LoopbackUdpPeer>(options);
    } catch (const std::exception&) {
        return 0;  // a port taken in this namespace
    }
    made.a->SetResponder([replyA](const qvtest::Datagram&) { return std::vector<Bytes>{replyA}; });
    made.b->SetResponder([replyB](const qvtest::Datagram&) { return std::vector<Bytes>{replyB}; });
    Responders previous;
    {
        Bed& b = bed();
        std::lock_guard<std::mutex> lock(b.mutex);
        previous = std::exchange(b.responders, std::move(made));
    }
    return 1;
}

QV_TESTBED_API void QVTestBed_StopDiscoveryResponders(void) {
    Responders stopped;
    Bed& b = bed();
    std::lock_guard<std::mutex> lock(b.mutex);
    stopped = std::exchange(b.responders, Responders{});
}

QV_TESTBED_API int QVTestBed_StartTcpPrinter(void) {
    std::shared_ptr<qvtest::LoopbackTcpPrinter> printer;
    try {
        printer = std::make_shared<qvtest::LoopbackTcpPrinter>();
    } catch (const std::exception&) {
        return 0;
    }
    TcpPrinters& all = tcpPrinters();
    std::lock_guard<std::mutex> lock(all.mutex);
    const int number = all.next++;
    all.started.emplace(number, std::move(printer));
    return number;
}

QV_TESTBED_API void QVTestBed_StopTcpPrinter(int printer) {
    std::shared_ptr<qvtest::LoopbackTcpPrinter> stopped;
    TcpPrinters& all = tcpPrinters();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto found = all.started.find(printer);
    if (found == all.started.end()) return;
    stopped = std::move(found->second);
    all.started.erase(found);
}

QV_TESTBED_API int QVTestBed_TcpPrinterPort(int printer) {
    const auto p = TcpPrinter(printer);
    return p ? p->Port() : 0;
}

QV_TESTBED_API void QVTestBed_AddTcpReply(int printer, const unsigned char* trigger, int trigger_count,
                                          const unsigned char* reply, int reply_count, int once) {
    if (const auto p = TcpPrinter(printer))
        p->AddReply(BytesOf(trigger, trigger_count), BytesOf(reply, reply_count), once != 0);
}

QV_TESTBED_API void QVTestBed_TcpSend(int printer, const unsigned char* bytes, int count) {
    if (const auto p = TcpPrinter(printer)) p->Send(BytesOf(bytes, count));
}

QV_TESTBED_API int QVTestBed_TcpReceived(int printer, unsigned char* buffer, int capacity) {
    const auto p = TcpPrinter(printer);
    return p ? CopyOut(p->Received(), buffer, capacity) : 0;
}

QV_TESTBED_API int QVTestBed_WaitForTcpConnections(int printer, int count, int timeout_ms) {
    const auto p = TcpPrinter(printer);
    return p && count >= 0 && p->WaitForConnections(static_cast<size_t>(count), timeout_ms);
}

QV_TESTBED_API int QVTestBed_WaitForTcpBytes(int printer, int count, int timeout_ms) {
    const auto p = TcpPrinter(printer);
    return p && count >= 0 && p->WaitForBytes(static_cast<size_t>(count), timeout_ms);
}

QV_TESTBED_API int QVTestBed_WaitForTcpClientClose(int printer, int timeout_ms) {
    const auto p = TcpPrinter(printer);
    return p && p->WaitForClientClose(timeout_ms);
}

QV_TESTBED_API void QVTestBed_StatusFrame(const unsigned char* data, unsigned char type, unsigned char* frame) {
    if (data == nullptr || frame == nullptr) return;
    const Bytes made = qvtest::LoopbackTcpPrinter::StatusFrame(data, type);
    std::copy(made.begin(), made.end(), frame);
}

QV_TESTBED_API int QVTestBed_FramedPacket(unsigned char type, unsigned short command, unsigned int parameter,
                                          const unsigned char* body, int body_count, unsigned char* packet,
                                          int capacity) {
    const Bytes made = qvtest::LoopbackTcpPrinter::FramedPacket(type, command, parameter, BytesOf(body, body_count));
    return CopyOut(made, packet, capacity);
}
