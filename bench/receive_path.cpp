// Receive path: received bytes through the received hook and the handle's ring, and 1 KiB
// chunks from a loopback TCP sender through a TCP port (reader thread, hook, both rings),
// against a plain recv loop on the same kind of connection.
//
// Instructions per byte: run under callgrind with the hook or the reader thread toggled, e.g.
//   valgrind --tool=callgrind --toggle-collect='Port_ReadedEvent*'
//       build/bench/bench_receive_path --benchmark_filter=ReceivedHook
// and divide the Ir by the bytes the benchmark reports.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortHooks.h"
#include "quorvantelmise.h"

namespace {

constexpr size_t kChunk = 1024;

// Plain bytes: NoHeads holds neither a status frame head (0x53) nor a packet head (0x03);
// AllValues cycles through every byte value, so each head turns up once in 256 bytes.
std::vector<unsigned char> Stream(bool allValues, size_t size) {
    std::vector<unsigned char> out(size);
    for (size_t i = 0; i < size; ++i) {
        unsigned char b = static_cast<unsigned char>(i * 7 + 1);
        if (!allValues && (b == 0x53 || b == 0x03)) b = 0x20;
        out[i] = b;
    }
    return out;
}

// The reader thread's hand-over of one chunk, without the socket: the received hook of a
// registered handle, its ring emptied after each chunk so every push is a real one.
void BM_ReceivedHook(benchmark::State& state) {
    const std::vector<unsigned char> chunk = Stream(state.range(0) != 0, kChunk);
    auto owned = std::make_unique<IOHandle>();
    IOHandle* h = owned.get();
    void* value = ptrs().InitPtr(h);
    if (value == nullptr) {
        state.SkipWithError("handle table full");
        return;
    }
    owned.release();  // the table owns it now
    for (auto _ : state) {
        Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), value);
        std::lock_guard<std::mutex> lock(h->receiveMutex);
        h->receiveRing.SkipUnread();
    }
    ptrs().Release(value);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_ReceivedHook)->ArgName("all_values")->Arg(0)->Arg(1);
// A fixed count of chunks, for counting instructions.
BENCHMARK(BM_ReceivedHook)->Name("ReceivedHookFixed")->ArgName("all_values")->Arg(0)->Arg(1)->Iterations(4096);

// Streams 1 KiB sends to whoever connects, until stopped (at most three minutes).
class LoopbackSender {
public:
    LoopbackSender() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 1) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("LoopbackSender: listen");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackSender() {
        stop_.store(true);
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
    }
    uint16_t Port() const { return port_; }

private:
    void Serve() {
        const int fd = ::accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        const timeval tv{0, 100000};  // a stalled reader does not keep us past stop
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        const std::vector<unsigned char> chunk = Stream(false, kChunk);
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (!stop_.load() && std::chrono::steady_clock::now() < end) {
            if (::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN) break;
        }
        ::close(fd);
    }

    int listen_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

constexpr uint64_t kBatch = 1u << 20;  // bytes per benchmark iteration

struct ReceiveCount {
    std::atomic<uint64_t> bytes{0};
    std::atomic<uint64_t> events{0};
    std::mutex mutex;
    std::condition_variable batchDone;
    uint64_t batches = 0;  // under mutex
    void* handle = nullptr;
};
ReceiveCount g_count;

// Empties both rings (so each chunk is pushed for real) and counts, on the reader thread.
void CountReceived(void* handle, const unsigned char*, unsigned int length, void*) {
    if (handle != g_count.handle) return;
    CP_Port_SkipAvailable(handle);
    IOHandleRef ref(handle);
    if (ref) ref->tcpIO.ReceiveRing().SkipUnread();
    g_count.events.fetch_add(1, std::memory_order_relaxed);
    const uint64_t before = g_count.bytes.fetch_add(length, std::memory_order_relaxed);
    if ((before + length) / kBatch != before / kBatch) {
        std::lock_guard<std::mutex> lock(g_count.mutex);
        ++g_count.batches;
        g_count.batchDone.notify_one();
    }
}

void BM_TcpPortReceive(benchmark::State& state) {
    LoopbackSender sender;
    g_count.bytes = 0;
    g_count.events = 0;
    g_count.batches = 0;
    CP_Port_AddOnPortReceivedEvent(&CountReceived, nullptr);
    void* h = CP_Port_OpenTcp(nullptr, "127.0.0.1", sender.Port(), 1000, 0);
    g_count.handle = h;
    if (h == nullptr) {
        CP_Port_RemoveOnPortReceivedEvent(&CountReceived);
        state.SkipWithError("open failed");
        return;
    }
    std::unique_lock<std::mutex> lock(g_count.mutex);
    uint64_t seen = g_count.batches;
    const uint64_t bytes0 = g_count.bytes.load(), events0 = g_count.events.load();
    for (auto _ : state) {
        while (g_count.batches == seen) {
            if (g_count.batchDone.wait_for(lock, std::chrono::seconds(1)) == std::cv_status::timeout &&
                !CP_Port_IsOpened(h)) {
                state.SkipWithError("the sender stopped");
                break;
            }
        }
        seen = g_count.batches;
    }
    lock.unlock();
    const uint64_t bytes = g_count.bytes.load() - bytes0, events = g_count.events.load() - events0;
    CP_Port_Close(h);
    // Everything the reader handed on while the port was open, for counting instructions.
    state.counters["total_bytes"] = static_cast<double>(g_count.bytes.load());
    CP_Port_RemoveOnPortReceivedEvent(&CountReceived);
    g_count.handle = nullptr;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["events"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
    state.counters["bytes_per_event"] = events ? static_cast<double>(bytes) / events : 0;
}
BENCHMARK(BM_TcpPortReceive)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TcpPortReceive)->Name("TcpPortReceiveFixed")->UseRealTime()->Iterations(4);

// The baseline: the same sender, read by recv of 1024 bytes at a time and nothing else.
void BM_PlainRecvLoop(benchmark::State& state) {
    LoopbackSender sender;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(sender.Port());
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (fd >= 0) ::close(fd);
        state.SkipWithError("connect failed");
        return;
    }
    unsigned char buffer[kChunk];
    uint64_t bytes = 0, events = 0;
    for (auto _ : state) {
        for (uint64_t got = 0; got < kBatch;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                state.SkipWithError("recv failed");
                break;
            }
            got += static_cast<uint64_t>(n);
            ++events;
        }
        bytes += kBatch;
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["events"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
    state.counters["bytes_per_event"] = events ? static_cast<double>(bytes) / events : 0;
}
BENCHMARK(BM_PlainRecvLoop)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
