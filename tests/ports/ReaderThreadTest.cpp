// The reader thread, its ring, the close thread after a failure, and thread-start failures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ports/RAZIThread.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/ScopedPortTiming.h"

using namespace std::chrono_literals;
using qvtest::Bytes;
using qvtest::FakeTransport;

namespace {

struct ReceivedProbe {
    FakeTransport* io = nullptr;
    std::atomic<int> chunks{0};
    std::atomic<size_t> ring_bytes_at_first_chunk{999};
    static void OnReceived(const unsigned char*, unsigned int, void* context) {
        auto* self = static_cast<ReceivedProbe*>(context);
        if (self->chunks.fetch_add(1) == 0) self->ring_bytes_at_first_chunk = self->io->ReceiveRing().Available();
    }
};

struct ClosedProbe {
    std::atomic<int> count{0};
    std::atomic<bool> on_caller{false};
    std::thread::id caller = std::this_thread::get_id();
    static void OnClosed(void* context) {
        auto* self = static_cast<ClosedProbe*>(context);
        self->count.fetch_add(1);
        if (std::this_thread::get_id() == self->caller) self->on_caller = true;
    }
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 2s) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(ReaderThread, HookSeesChunkBeforeRingThenReadDrainsRing) {
    qvtest::ScopedPortTiming timing;
    auto io = std::make_shared<FakeTransport>();
    ReceivedProbe probe;
    probe.io = io.get();
    io->SetReadedEvent(&ReceivedProbe::OnReceived, &probe);
    ASSERT_TRUE(io->Open());
    EXPECT_TRUE(io->IsReaderRunning());
    io->PushRead({1, 2, 3, 4, 5});
    unsigned char buffer[5] = {};
    EXPECT_EQ(io->Read(buffer, 5, 1000), 5);
    EXPECT_EQ(Bytes(buffer, buffer + 5), Bytes({1, 2, 3, 4, 5}));
    EXPECT_EQ(probe.ring_bytes_at_first_chunk.load(), 0u);
    io->Close();
    EXPECT_FALSE(io->IsReaderRunning());
    EXPECT_EQ(io->Read(buffer, 1, 0), -1);
}

TEST(ReaderThread, FullRingDropsTheRestOfTheChunk) {
    qvtest::ScopedPortTiming timing;
    auto io = std::make_shared<FakeTransport>();
    io->SetReadPacketSize(1024);
    ASSERT_TRUE(io->Open());
    for (int chunk = 0; chunk < 17; ++chunk) {
        Bytes bytes(1024);
        for (int i = 0; i < 1024; ++i) bytes[i] = static_cast<uint8_t>((chunk * 1024 + i) % 251);
        io->PushRead(bytes);
    }
    ASSERT_TRUE(io->WaitForReadsConsumed(5s));
    // The reader's next read comes only after it has pushed (or dropped) the last chunk.
    const int calls = io->BaseReadCalls();
    ASSERT_TRUE(waitFor([&] { return io->BaseReadCalls() > calls; }));
    EXPECT_EQ(io->ReceiveRing().Available(), 16383u);
    // Taken with time to spare: byte by byte, a slow (sanitized) build needs more than 50 ms.
    Bytes all(16383);
    EXPECT_EQ(io->Read(all.data(), all.size(), 5000), 16383);
    EXPECT_EQ(io->ReceiveRing().Available(), 0u);
    bool in_order = true;
    for (int i = 0; i < 16383; ++i) in_order &= all[i] == static_cast<uint8_t>(i % 251);
    EXPECT_TRUE(in_order);
    io->Close();
}

TEST(ReaderThread, InvalidPortIsClosedByCloseThreadOnce) {
    qvtest::ScopedPortTiming timing;
    auto io = std::make_shared<FakeTransport>();
    ClosedProbe closed;
    io->SetClosedEvent(&ClosedProbe::OnClosed, &closed);
    ASSERT_TRUE(io->Open());
    io->PushReadInvalid();
    ASSERT_TRUE(waitFor([&] { return closed.count.load() == 1; }));
    EXPECT_FALSE(closed.on_caller.load());
    EXPECT_TRUE(waitFor([&] { return !io->IsReaderRunning(); }));
    EXPECT_FALSE(io->IsOpened());
    EXPECT_EQ(io->BaseCloseCount(), 1);
    io->Close();
    EXPECT_EQ(closed.count.load(), 1);
}

TEST(ReaderThread, OrderlyEndStopsReaderWithoutClosing) {
    qvtest::ScopedPortTiming timing;
    auto io = std::make_shared<FakeTransport>();
    ClosedProbe closed;
    io->SetClosedEvent(&ClosedProbe::OnClosed, &closed);
    ASSERT_TRUE(io->Open());
    io->PushReadEnd();
    ASSERT_TRUE(waitFor([&] { return !io->IsReaderRunning(); }));
    EXPECT_TRUE(io->IsOpened());
    EXPECT_EQ(closed.count.load(), 0);
    unsigned char byte;
    EXPECT_EQ(io->Read(&byte, 1, 0), -1);
    io->Close();
    EXPECT_EQ(closed.count.load(), 1);
}

namespace {

// A port whose reads fail without setting any flag.
class FailingReads : public FakeTransport {
public:
    std::atomic<int> calls{0};
    int BaseReadDirectly(unsigned char*, size_t, unsigned int) override {
        calls.fetch_add(1);
        return -1;
    }
};

}  // namespace

TEST(ReaderThread, FailedReadWithoutFlagDoesNotSpin) {
    qvtest::ScopedPortTiming timing;  // 1 ms poll sleep
    auto io = std::make_shared<FailingReads>();
    ASSERT_TRUE(io->Open());
    std::this_thread::sleep_for(100ms);  // measuring a rate: the wait is the measurement
    const int calls = io->calls.load();
    io->Close();
    EXPECT_GT(calls, 5);
    EXPECT_LT(calls, 250);  // one read per ~1 ms sleep; a spinning reader makes many thousands
}

TEST(ReaderThread, ZeroTimeoutReadWaitsOneWholeSecond) {
    qvtest::ScopedPortTiming timing;  // a helper second of 50 ms
    auto io = std::make_shared<FakeTransport>();
    ASSERT_TRUE(io->Open());
    unsigned char byte;
    const int64_t start = RAZITimeStamp::GetMonotonicMs();
    EXPECT_EQ(io->Read(&byte, 1, 0), 0);
    const int64_t elapsed = RAZITimeStamp::GetMonotonicMs() - start;
    EXPECT_GE(elapsed, 49);
    EXPECT_LT(elapsed, 1000);
    io->Close();
}

TEST(ReaderThread, ReadPacketSizeIsClamped) {
    const std::pair<size_t, size_t> cases[] = {{0, 1}, {1, 1}, {64, 64}, {1024, 1024}, {5000, 1024}};
    FakeTransport io;
    EXPECT_EQ(io.GetReadPacketSize(), 64u);
    for (auto [given, expected] : cases) {
        io.SetReadPacketSize(given);
        EXPECT_EQ(io.GetReadPacketSize(), expected) << given;
    }
}

TEST(ReaderThread, NoThreadMeansNoOpenAndNoWait) {
    auto io = std::make_shared<FakeTransport>();
    RAZIThread::FailNextStartsForTesting(1);
    EXPECT_FALSE(io->Open());
    EXPECT_FALSE(io->IsReaderRunning());
    EXPECT_TRUE(io->Open());  // the next start works again
    io->Close();
}

TEST(ReaderThread, NoCloseThreadClosesOnTheReader) {
    qvtest::ScopedPortTiming timing;
    auto io = std::make_shared<FakeTransport>();
    ClosedProbe closed;
    io->SetClosedEvent(&ClosedProbe::OnClosed, &closed);
    ASSERT_TRUE(io->Open());
    RAZIThread::FailNextStartsForTesting(1);
    io->PushReadInvalid();
    ASSERT_TRUE(waitFor([&] { return closed.count.load() == 1 && !io->IsReaderRunning(); }));
    EXPECT_FALSE(io->IsOpened());
    RAZIThread::FailNextStartsForTesting(0);
}

// A printer that speaks as soon as the connection stands: the reader has its first bytes
// before the open call has wired the handle's hooks, and the handle must still get them.
TEST(ReaderThread, BytesReadBeforeTheHooksReachTheHandle) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto io = std::make_shared<FakeTransport>();
    ASSERT_TRUE(io->Open());
    io->PushRead({'h', 'i'});
    // In the transport's own ring: the reader is past the point where it calls the hook.
    ASSERT_TRUE(waitFor([&] { return io->ReceiveRing().Available() == 2; }));
    void* handle = qvtest::OpenFakeHandle(io, 2, "greeting");
    ASSERT_NE(handle, nullptr);
    io->PushRead({'!'});
    unsigned char in[3] = {};
    EXPECT_EQ(CP_Port_Read(handle, in, 3, 2000), 3);
    EXPECT_EQ(Bytes(in, in + 3), (Bytes{'h', 'i', '!'}));
    ASSERT_TRUE(events.WaitForHandle(qvtest::EventKind::Received, handle, 2, 2s));
    const auto chunks = events.Of(qvtest::EventKind::Received, handle);
    EXPECT_EQ(chunks[0].data, (Bytes{'h', 'i'}));
    EXPECT_EQ(chunks[1].data, (Bytes{'!'}));
    EXPECT_TRUE(CP_Port_Close(handle));
}
