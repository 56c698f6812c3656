// A network printer on 127.0.0.1 for tests: listens on an ephemeral port, records what each
// connection sends, answers scripted replies and misbehaves on cue.
//
//   qvtest::LoopbackTcpPrinter printer;            // listening at once
//   printer.AddReply({0x10, 0x04, 0x01}, {0x12});  // answer a real-time status query
//   void *h = CP_Port_OpenTcp(nullptr, "127.0.0.1", printer.Port(), 1000, 0);
//   ASSERT_TRUE(printer.WaitForBytes(3, 1000));
//
// Connections are numbered from 0 in the order they were accepted; calls that take no index
// act on the latest one. One service thread does all socket work, so every cue is applied in
// the order it was given. By default the printer behaves like a real one when the client
// half-closes: it closes its side at once, so graceful port closes are quick.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

using Bytes = std::vector<uint8_t>;

class LoopbackTcpPrinter {
public:
    // What the printer does when the client shuts its writing side (the graceful close).
    enum class OnClientClose {
        CloseAtOnce,  // close our side too: the client's reader sees the end at once
        KeepOpen,     // keep the connection open: the client waits out its close wait
    };

    struct Options {
        // Receive buffer of accepted connections; a small one makes "stop reading" fill up fast.
        int receiveBuffer = 0;  // 0: the system default
        OnClientClose onClientClose = OnClientClose::CloseAtOnce;
    };

    LoopbackTcpPrinter();
    explicit LoopbackTcpPrinter(Options options);
    ~LoopbackTcpPrinter();
    LoopbackTcpPrinter(const LoopbackTcpPrinter &) = delete;
    LoopbackTcpPrinter &operator=(const LoopbackTcpPrinter &) = delete;

    static constexpr const char *kAddress = "127.0.0.1";
    uint16_t Port() const { return port_; }

    // Waits until at least `count` connections were accepted.
    bool WaitForConnections(size_t count, int timeout_ms);
    size_t ConnectionCount() const;

    // Bytes received on a connection so far.
    Bytes Received() const;
    Bytes Received(size_t connection) const;
    // Waits until the latest connection has received at least `count` bytes.
    bool WaitForBytes(size_t count, int timeout_ms);
    // Waits until the client closed (end of input) or reset the latest connection.
    bool WaitForClientClose(int timeout_ms);
    bool ClientClosed() const;

    // Scripted reply: whenever the received stream (of any connection) contains `trigger`,
    // starting after the end of its previous match, `reply` is sent on that connection.
    void AddReply(Bytes trigger, Bytes reply, bool once = false);

    // Cues for the latest connection, applied in order by the service thread.
    void Send(Bytes data);      // sends at once (unsolicited status frames, say)
    void Close();               // orderly close of our side (FIN)
    void Reset();               // abortive close (RST)
    void StopReading();         // stop receiving: the client's sends pile up and then stall
    void ResumeReading();
    // Waits until every cue given so far has been applied.
    bool Sync(int timeout_ms = 2000);

    // Frames a printer sends, built here so suites share one definition.
    // 8-byte status frame: 0x53, five data bytes, type, check byte making the XOR of all 0.
    static Bytes StatusFrame(const uint8_t data[5], uint8_t type);
    // Framed maintenance packet: 12-byte little-endian header and the body.
    static Bytes FramedPacket(uint8_t type, uint16_t command, uint32_t parameter, const Bytes &body);

private:
    struct Connection {
        int fd = -1;
        Bytes received;
        bool reading = true;
        bool clientClosed = false;
        bool ownClosed = false;
    };
    struct Reply {
        Bytes trigger;
        Bytes reply;
        bool once;
        bool used = false;
        std::vector<size_t> scanned;  // per connection: where the next search starts
    };
    enum class CueKind { Send, Close, Reset, StopReading, ResumeReading, Sync };
    struct Cue {
        CueKind kind;
        Bytes data;
        uint64_t serial;
    };

    void Serve();
    void ApplyCue(const Cue &cue);
    void Accept();
    void ReadFrom(size_t index);
    void RunReplies(size_t index);
    void SendAll(int fd, const Bytes &data);
    void CloseConnection(Connection &c);
    void Wake();
    void Push(CueKind kind, Bytes data = {});

    Options options_;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
    uint16_t port_ = 0;
    bool stop_ = false;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Connection> connections_;
    std::vector<Reply> replies_;
    std::deque<Cue> cues_;
    uint64_t cues_given_ = 0;
    uint64_t cues_applied_ = 0;
    std::thread thread_;
};

}  // namespace qvtest
