#include "support/SimulatedProtoV2Printer.h"

#include <algorithm>

namespace qvtest {

namespace {

constexpr int kAllWrites = CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse;

void PutLe16(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// A 10-byte control frame: 00 0A type, then the fields, padded with zeros.
std::vector<uint8_t> Control(uint8_t type, const std::vector<uint8_t>& fields) {
    std::vector<uint8_t> frame(10, 0);
    frame[1] = 0x0A;
    frame[2] = type;
    std::copy_n(fields.begin(), std::min<size_t>(fields.size(), 7), frame.begin() + 3);
    return frame;
}

std::vector<uint8_t> Le16Field(int value) {
    std::vector<uint8_t> out;
    PutLe16(out, value);
    return out;
}

// Retry requests for one run of missing indexes: the short form for one, the long for more.
std::vector<uint8_t> RetryFrame(int first, int count) {
    if (count == 1) return Control(0xFF, Le16Field(first));
    std::vector<uint8_t> frame = {0x00, 0x0C, 0xFF};
    PutLe16(frame, first);
    frame.push_back(0);
    PutLe16(frame, count);
    frame.resize(12, 0);
    return frame;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& frame) {
    out.insert(out.end(), frame.begin(), frame.end());
}

}  // namespace

ProtoV2Printer::ProtoV2Printer(ScopedRadio& radio, const std::string& name, const std::vector<uint8_t>& address)
    : printer_(radio.AddPrinter(name, PrinterAdvert(address))) {
    printer_->addService("18F0", {{"2AF0", CBCharacteristicPropertyNotify}, {"2AF1", kAllWrites}});
    printer_->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 120);
    printer_->setWriteHandler([this](const SimulatedWrite& write) { return OnWrite(write); });
    sender_ = std::thread([this] { RunSender(); });
}

ProtoV2Printer::~ProtoV2Printer() {
    printer_->setWriteHandler(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    senderWake_.notify_all();
    sender_.join();
}

void ProtoV2Printer::SetSetupAnswer(SetupAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    setupAnswer_ = answer;
}

void ProtoV2Printer::SetSetupAnswerDelayMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    setupDelayMs_ = ms;
}

void ProtoV2Printer::SetSetupWriteError(bool error) {
    std::lock_guard<std::mutex> lock(mutex_);
    setupWriteError_ = error;
}

void ProtoV2Printer::SetBeforeSetupAnswer(std::vector<uint8_t> frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    beforeSetupAnswer_ = std::move(frames);
}

void ProtoV2Printer::SetBufferSize(int bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    bufferSize_ = bytes;
}

void ProtoV2Printer::DropFirstSendOf(std::set<int> indexes) {
    std::lock_guard<std::mutex> lock(mutex_);
    drops_ = std::move(indexes);
}

void ProtoV2Printer::SetReportedCount(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    reportedCount_ = count;
}

void ProtoV2Printer::OnPacket(std::function<void(int)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    packetHook_ = std::move(hook);
}

bool ProtoV2Printer::SendData(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> frame = {static_cast<uint8_t>(3 + bytes.size()), 0, 0};
    Append(frame, bytes);
    return Notify(frame);
}

bool ProtoV2Printer::Notify(const std::vector<uint8_t>& bytes) { return printer_->notify("2AF0", bytes); }

std::vector<ProtoV2Setup> ProtoV2Printer::Setups() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return setups_;
}

std::vector<int> ProtoV2Printer::PacketOrder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_;
}

std::vector<std::vector<uint8_t>> ProtoV2Printer::DataPackets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return packets_;
}

std::vector<uint8_t> ProtoV2Printer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out;
    for (const auto& [index, payload] : payloads_) Append(out, payload);
    return out;
}

std::vector<std::string> ProtoV2Printer::Errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

SimulatedPrinter::WriteAnswer ProtoV2Printer::OnWrite(const SimulatedWrite& write) {
    std::vector<uint8_t> reply;
    bool delayed = false;
    int delayMs = 0;
    std::function<void(int)> hook;
    int index = -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (write.characteristic != "2AF1" || write.type != CBCharacteristicWriteWithoutResponse) {
            errors_.push_back("written to " + write.characteristic + " with type " + std::to_string(write.type));
            return SimulatedPrinter::WriteAnswer::None;
        }
        const auto& b = write.bytes;
        if (b.size() == 17 && b[0] == 0x00 && b[1] == 0x07) {
            if (setupWriteError_) {
                setups_.push_back({b[10] | (b[11] << 8), b[12], b});
                return SimulatedPrinter::WriteAnswer::Error;
            }
            reply = OnSetup(b, delayed);
            delayMs = setupDelayMs_;
        } else if (b.size() >= 4) {
            index = b[2] | (b[3] << 8);
            hook = packetHook_;
        } else {
            errors_.push_back("short packet");
        }
    }
    if (hook) hook(index);  // without the lock: it may drop the link
    if (index >= 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        reply = OnDataPacket(write.bytes);
    }
    if (delayed) {
        SendLater(std::move(reply), delayMs);
    } else if (!reply.empty()) {
        Notify(reply);
    }
    return SimulatedPrinter::WriteAnswer::None;
}

std::vector<uint8_t> ProtoV2Printer::OnSetup(const std::vector<uint8_t>& b, bool& delayed) {
    ProtoV2Setup setup{b[10] | (b[11] << 8), b[12], b};
    setups_.push_back(setup);
    if (!std::all_of(b.begin() + 2, b.begin() + 8, [](uint8_t x) { return x == 0; }) || b[8] != 0x0A ||
        b[9] != 0x02) {
        errors_.push_back("malformed setup packet");
    }
    groupCount_ = setup.packetCount;
    groupMtu_ = setup.mtu;
    payloads_.clear();
    requested_.clear();
    consumed_ = 0;
    if (setupAnswer_ == SetupAnswer::Silent) return {};
    std::vector<uint8_t> reply = beforeSetupAnswer_;
    std::vector<uint8_t> fields = Le16Field(setup.packetCount);
    fields.push_back(static_cast<uint8_t>(setupAnswer_ == SetupAnswer::WrongMtu ? setup.mtu - 1 : setup.mtu));
    Append(reply, Control(0x03, fields));
    if (bufferSize_ >= 0) {
        std::vector<uint8_t> space = {0};
        Append(space, Le16Field(bufferSize_));
        Append(reply, Control(0x01, space));
    }
    delayed = setupDelayMs_ > 0;
    return reply;
}

std::vector<uint8_t> ProtoV2Printer::OnDataPacket(const std::vector<uint8_t>& b) {
    packets_.push_back(b);
    const int index = b[2] | (b[3] << 8);
    order_.push_back(index);
    uint8_t check = 0;
    for (uint8_t x : b) check ^= x;
    const int payloadSize = groupMtu_ - 4;
    if (b[0] != b.size()) errors_.push_back("length byte " + std::to_string(b[0]) + " for " + std::to_string(b.size()));
    if (check != 0) errors_.push_back("check byte of packet " + std::to_string(index));
    if (index >= groupCount_) errors_.push_back("index " + std::to_string(index) + " outside the group");
    if (static_cast<int>(b.size()) - 4 > payloadSize) errors_.push_back("packet longer than the MTU");
    if (index < groupCount_ - 1 && static_cast<int>(b.size()) - 4 != payloadSize) {
        errors_.push_back("short packet " + std::to_string(index) + " before the last");
    }
    if (drops_.erase(index)) return {};
    payloads_[index] = std::vector<uint8_t>(b.begin() + 4, b.end());

    std::vector<uint8_t> reply;
    // Ask once for each packet missing below this one.
    for (int i = consumed_; i < index;) {
        if (payloads_.count(i) || requested_.count(i)) {
            ++i;
            continue;
        }
        int run = 0;
        while (i + run < index && !payloads_.count(i + run) && !requested_.count(i + run)) {
            requested_.insert(i + run);
            ++run;
        }
        Append(reply, RetryFrame(i, run));
        i += run;
    }
    // Packets are printed in order, which frees their space.
    int freed = 0;
    while (payloads_.count(consumed_)) freed += static_cast<int>(payloads_[consumed_++].size());
    if (freed > 0) {
        std::vector<uint8_t> space = {1};
        Append(space, Le16Field(freed));
        Append(reply, Control(0x01, space));
    }
    if (consumed_ == groupCount_ && freed > 0) {
        Append(reply, Control(0x05, Le16Field(reportedCount_ >= 0 ? reportedCount_ : groupCount_)));
    }
    return reply;
}

void ProtoV2Printer::SendLater(std::vector<uint8_t> bytes, int delayMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.emplace_back(std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs), std::move(bytes));
    }
    senderWake_.notify_all();
}

void ProtoV2Printer::RunSender() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (pending_.empty()) {
            senderWake_.wait(lock);
            continue;
        }
        const auto due = pending_.front().first;
        if (std::chrono::steady_clock::now() < due) {
            senderWake_.wait_until(lock, due);
            continue;
        }
        std::vector<uint8_t> bytes = std::move(pending_.front().second);
        pending_.erase(pending_.begin());
        lock.unlock();
        Notify(bytes);
        lock.lock();
    }
}

}  // namespace qvtest
