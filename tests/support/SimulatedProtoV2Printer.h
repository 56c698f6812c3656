#pragma once
// A printer that speaks the group-packet profile on the simulated radio: service 18F0 with
// notify characteristic 2AF0 and write characteristic 2AF1. It parses and checks every
// packet it is written, answers the setup packet, reports its free space as it consumes
// packets in order, asks for the packets it is missing, and reports the group received.
// Tests script it to stay silent, answer wrongly or late, drop packets, or drop the link.
//
//   qvtest::ScopedRadio radio;
//   qvtest::ProtoV2Printer v2(radio);            // add "P2" to the radio
//   ... open a proxy on v2.printer() ...
//   EXPECT_EQ(v2.Received(), data);
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/SimulatedBle.h"

namespace qvtest {

struct ProtoV2Setup {
    int packetCount = 0;
    int mtu = 0;
    std::vector<uint8_t> bytes;
};

class ProtoV2Printer {
public:
    enum class SetupAnswer { Echo, Silent, WrongMtu };

    explicit ProtoV2Printer(ScopedRadio& radio, const std::string& name = "P2",
                            const std::vector<uint8_t>& address = {2, 2, 2, 2, 2, 2});
    ~ProtoV2Printer();
    ProtoV2Printer(const ProtoV2Printer&) = delete;
    ProtoV2Printer& operator=(const ProtoV2Printer&) = delete;

    const std::shared_ptr<SimulatedPrinter>& printer() const { return printer_; }

    // Scripting; each takes effect from the next packet.
    void SetSetupAnswer(SetupAnswer answer);
    // Setup answers go out this long after the setup packet, from another thread.
    void SetSetupAnswerDelayMs(int ms);
    // Frames sent just ahead of each setup answer, in the same notification.
    void SetBeforeSetupAnswer(std::vector<uint8_t> frames);
    // Free space announced after each setup answer (0 to 65535; -1 announces nothing).
    void SetBufferSize(int bytes);
    // The first send of each of these indexes is lost.
    void DropFirstSendOf(std::set<int> indexes);
    // Reported instead of the true packet count once the group is complete.
    void SetReportedCount(int count);
    // Setup packets are answered with a write error instead.
    void SetSetupWriteError(bool error);
    // Called with each data packet's index before it is taken in; may drop the link.
    void OnPacket(std::function<void(int index)> hook);

    // A data frame carrying bytes for the host's reads: [3 + n][0][0][bytes].
    bool SendData(const std::vector<uint8_t>& bytes);
    // Raw bytes as one notification.
    bool Notify(const std::vector<uint8_t>& bytes);

    std::vector<ProtoV2Setup> Setups() const;
    // Indexes of the data packets in the order they arrived, lost ones included.
    std::vector<int> PacketOrder() const;
    std::vector<std::vector<uint8_t>> DataPackets() const;
    // The payloads of the current group joined in index order, as far as they arrived.
    std::vector<uint8_t> Received() const;
    // Everything malformed that was written to it; empty for a well-behaved host.
    std::vector<std::string> Errors() const;

private:
    SimulatedPrinter::WriteAnswer OnWrite(const SimulatedWrite& write);
    std::vector<uint8_t> OnSetup(const std::vector<uint8_t>& bytes, bool& delayed);
    std::vector<uint8_t> OnDataPacket(const std::vector<uint8_t>& bytes);
    void SendLater(std::vector<uint8_t> bytes, int delayMs);
    void RunSender();

    std::shared_ptr<SimulatedPrinter> printer_;
    mutable std::mutex mutex_;
    SetupAnswer setupAnswer_ = SetupAnswer::Echo;
    int setupDelayMs_ = 0;
    bool setupWriteError_ = false;
    std::vector<uint8_t> beforeSetupAnswer_;
    int bufferSize_ = 4096;
    std::set<int> drops_;
    int reportedCount_ = -1;
    std::function<void(int)> packetHook_;
    std::vector<ProtoV2Setup> setups_;
    std::vector<int> order_;
    std::vector<std::vector<uint8_t>> packets_;
    std::vector<std::string> errors_;
    // The current group.
    int groupCount_ = 0;
    int groupMtu_ = 0;
    std::map<int, std::vector<uint8_t>> payloads_;
    std::set<int> requested_;
    int consumed_ = 0;  // packets taken in order from index 0

    // Delayed notifications.
    std::condition_variable senderWake_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::vector<uint8_t>>> pending_;
    bool stopping_ = false;
    std::thread sender_;
};

}  // namespace qvtest
