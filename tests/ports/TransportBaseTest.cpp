// The transport template operations, flags, filters, close nesting and the helpers.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "ports/NZFilter.h"
#include "base/RAZIRxBuffer.h"
#include "ports/RAZIThread.h"
#include "support/FakeTransport.h"
#include "support/ScopedPortTiming.h"

using qvtest::Bytes;
using qvtest::FakeTransport;

namespace {

struct HookLog {
    std::vector<Bytes> chunks;
    static void Record(const unsigned char* data, unsigned int length, void* context) {
        static_cast<HookLog*>(context)->chunks.emplace_back(data, data + length);
    }
};

std::shared_ptr<FakeTransport> openedSink() {
    auto io = std::make_shared<FakeTransport>(FakeTransport::Mode::Unthreaded);
    EXPECT_TRUE(io->Open());
    return io;
}

}  // namespace

TEST(RAZIRxBuffer, HoldsOneByteLessThanItsSize) {
    RAZIRxBuffer ring;
    ASSERT_EQ(ring.Size(), 16384u);
    size_t accepted = 0;
    for (int i = 0; i < 16384; ++i) accepted += ring.TryPushBack(static_cast<unsigned char>(i)) ? 1 : 0;
    EXPECT_EQ(accepted, 16383u);
    EXPECT_TRUE(ring.IsFull());
    EXPECT_EQ(ring.Available(), 16383u);
    unsigned char byte = 0;
    ASSERT_TRUE(ring.TryPopFront(&byte));
    EXPECT_EQ(byte, 0);
    EXPECT_TRUE(ring.TryPushBack(0xAB));  // wraps around
    EXPECT_EQ(ring.Available(), 16383u);
    ring.Reset();
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_FALSE(ring.TryPopFront(&byte));
}

TEST(RAZIRxBuffer, OneProducerOneConsumerKeepOrder) {
    RAZIRxBuffer ring(64);
    constexpr int kCount = 5000;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) ring.PushBack(static_cast<unsigned char>(i * 7));
    });
    bool ordered = true;
    for (int i = 0; i < kCount; ++i) ordered &= ring.PopFront() == static_cast<unsigned char>(i * 7);
    producer.join();
    EXPECT_TRUE(ordered);
}

TEST(RAZIRxBuffer, BulkPutWrapsAroundAndKeepsWhatFits) {
    RAZIRxBuffer ring(8);  // holds 7
    const unsigned char five[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(ring.TryPushBulk(five, 5), 5u);
    unsigned char byte = 0;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(ring.TryPopFront(&byte));
    const unsigned char eight[] = {6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(ring.TryPushBulk(eight, 8), 6u);  // past the end of the storage and round
    EXPECT_TRUE(ring.IsFull());
    EXPECT_EQ(ring.TryPushBulk(eight, 8), 0u);
    Bytes out;
    while (ring.TryPopFront(&byte)) out.push_back(byte);
    EXPECT_EQ(out, (Bytes{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(ring.TryPushBulk(eight, 0), 0u);
    RAZIRxBuffer none(0);
    EXPECT_EQ(none.TryPushBulk(five, 5), 0u);
}

TEST(RAZIRxBuffer, BulkProducerAndOneByteConsumerKeepOrder) {
    RAZIRxBuffer ring(64);
    constexpr int kCount = 5000;
    std::thread producer([&] {
        unsigned char chunk[37];
        for (int at = 0; at < kCount;) {
            const int n = std::min<int>(kCount - at, 1 + at % 37);
            for (int i = 0; i < n; ++i) chunk[i] = static_cast<unsigned char>((at + i) * 7);
            for (int kept = 0; kept < n;) {
                kept += static_cast<int>(ring.TryPushBulk(chunk + kept, n - kept));
                if (kept < n) std::this_thread::yield();
            }
            at += n;
        }
    });
    bool ordered = true;
    for (int i = 0; i < kCount; ++i) ordered &= ring.PopFront() == static_cast<unsigned char>(i * 7);
    producer.join();
    EXPECT_TRUE(ordered);
}

TEST(TransportWrite, RefusedByEachFlagWithoutCallingHook) {
    struct Case {
        const char* name;
        void (*apply)(FakeTransport&);
    };
    const Case cases[] = {
        {"closed", [](FakeTransport& io) { io.SetOpened(false); }},
        {"invalid", [](FakeTransport& io) { io.SetInvalid(true); }},
        {"unwritable", [](FakeTransport& io) { io.SetUnwritable(true); }},
        {"cancelWrite", [](FakeTransport& io) { io.SetCancelWrite(true); }},
    };
    for (const auto& c : cases) {
        auto io = openedSink();
        HookLog written;
        io->SetWritedEvent(&HookLog::Record, &written);
        c.apply(*io);
        const unsigned char data[] = {1, 2, 3};
        EXPECT_EQ(io->Write(data, 3, 100), -1) << c.name;
        EXPECT_EQ(io->WriteCount(), 0u) << c.name;
        EXPECT_TRUE(written.chunks.empty()) << c.name;
    }
    auto io = openedSink();
    EXPECT_EQ(io->Write(nullptr, 3, 100), -1);
}

TEST(TransportWrite, FilterAccounting) {
    enum Script { All, Short, Fail };
    struct Case {
        const char* name;
        size_t alignment;  // 0: no filter installed
        size_t length;
        Script script;
        size_t short_count;
        int expected_result;
        size_t expected_sent;  // bytes BaseWrite was given; 0 = not called
    };
    const Case cases[] = {
        {"no filter", 0, 10, All, 0, 10, 10},
        {"padded and sent whole reports caller count", 64, 10, All, 0, 10, 64},
        {"exact multiple stays", 64, 64, All, 0, 64, 64},
        {"100 becomes 128", 64, 100, All, 0, 100, 128},
        {"short within caller bytes", 64, 10, Short, 5, 5, 64},
        {"short beyond caller bytes", 64, 10, Short, 30, 10, 64},
        {"failed send stays failure", 64, 10, Fail, 0, -1, 64},
        {"alignment 1 is a copy", 1, 7, All, 0, 7, 7},
    };
    for (const auto& c : cases) {
        auto io = openedSink();
        NZFilter_ByteAlignment filter;
        filter.fill = 0xEE;
        if (c.alignment != 0) {
            filter.alignment = c.alignment;
            io->SetWriteFilter(&filter);
        }
        if (c.script == Short) io->ScriptWriteShort(c.short_count);
        if (c.script == Fail) io->ScriptWriteFail();
        HookLog written;
        io->SetWritedEvent(&HookLog::Record, &written);
        Bytes data(c.length);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
        EXPECT_EQ(io->Write(data.data(), data.size(), 100), c.expected_result) << c.name;
        auto log = io->WriteLog();
        ASSERT_EQ(log.size(), 1u) << c.name;
        ASSERT_EQ(log[0].bytes.size(), c.expected_sent) << c.name;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), log[0].bytes.begin())) << c.name;
        for (size_t i = c.length; i < log[0].bytes.size(); ++i) EXPECT_EQ(log[0].bytes[i], 0xEE) << c.name;
        if (c.expected_result > 0) {
            ASSERT_EQ(written.chunks.size(), 1u) << c.name;
            EXPECT_EQ(written.chunks[0], Bytes(data.begin(), data.begin() + c.expected_result)) << c.name;
        } else {
            EXPECT_TRUE(written.chunks.empty()) << c.name;
        }
    }
}

TEST(TransportWrite, ZeroAlignmentSendsNothingAndReportsZero) {
    auto io = openedSink();
    NZFilter_ByteAlignment filter;
    filter.alignment = 0;
    io->SetWriteFilter(&filter);
    const unsigned char data[] = {1, 2};
    EXPECT_EQ(io->Write(data, 2, 100), 0);
    EXPECT_EQ(io->WriteCount(), 0u);
}

TEST(NZFilter, PlainFilterCopiesAndRefusesEmpty) {
    NZFilter_ByteAlignment aligned;  // alignment 1 behaves as the plain copy
    const unsigned char data[] = {9, 8, 7};
    size_t out = 99;
    EXPECT_EQ(aligned.FilterData(nullptr, 3, &out), nullptr);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(aligned.FilterData(data, 0, nullptr), nullptr);
    unsigned char* copy = aligned.FilterData(data, 3, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Bytes(copy, copy + 3), Bytes({9, 8, 7}));
    free(copy);
}

TEST(TransportReadDirectly, CallsReceivedHookWithChunkAndRefusesByFlag) {
    auto io = openedSink();
    io->SetUnreadable(false);
    HookLog received;
    io->SetReadedEvent(&HookLog::Record, &received);
    io->PushRead({1, 2, 3});
    unsigned char buffer[8];
    EXPECT_EQ(io->ReadDirectly(buffer, sizeof buffer, 100), 3);
    ASSERT_EQ(received.chunks.size(), 1u);
    EXPECT_EQ(received.chunks[0], Bytes({1, 2, 3}));
    io->SetCancelRead(true);
    EXPECT_EQ(io->ReadDirectly(buffer, sizeof buffer, 100), -1);
}

namespace {

void CountQuiet(void* context) { ++*static_cast<int*>(context); }

}  // namespace

TEST(TransportReadDirectly, KeepsEarlyChunksForTheHookAndReportsQuietOncePerSpell) {
    auto io = openedSink();
    io->SetUnreadable(false);
    int quiet = 0;
    io->SetReadQuietEvent(&CountQuiet, &quiet);
    std::vector<unsigned char> buffer(RAZIBase::kEarlyBytesKept + 100);
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 0);
    // Before a received hook: kept, up to the limit, and nothing is due to be let go.
    io->PushRead({1, 2, 3});
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 3);
    io->PushRead(Bytes(buffer.size(), 0xEE));
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), static_cast<int>(buffer.size()));
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(quiet, 0);

    HookLog received;
    io->SetReadedEvent(&HookLog::Record, &received);
    io->PushRead({9});
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 1);
    ASSERT_EQ(received.chunks.size(), 2u);
    Bytes early = {1, 2, 3};
    early.resize(RAZIBase::kEarlyBytesKept, 0xEE);
    EXPECT_EQ(received.chunks[0], early);
    EXPECT_EQ(received.chunks[1], Bytes{9});
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(io->ReadDirectly(buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(quiet, 1);
    EXPECT_EQ(received.chunks.size(), 2u);
}

namespace {

struct CloseCounter {
    std::shared_ptr<FakeTransport> io;
    std::atomic<int> hooks{0};
    std::atomic<bool> closed_before_hook{true};  // BaseClose ran and opened was cleared
    static void OnClosed(void* context) {
        auto* self = static_cast<CloseCounter*>(context);
        self->hooks.fetch_add(1);
        if (self->io->IsOpened() || self->io->BaseCloseCount() != self->hooks.load())
            self->closed_before_hook = false;
        self->io->Close();  // nested close: must do nothing
    }
};

}  // namespace

TEST(TransportClose, NestedCloseFromHookDoesNothing) {
    CloseCounter counter;
    counter.io = openedSink();
    counter.io->SetClosedEvent(&CloseCounter::OnClosed, &counter);
    counter.io->Close();
    EXPECT_EQ(counter.hooks.load(), 1);
    EXPECT_EQ(counter.io->BaseCloseCount(), 1);
    EXPECT_FALSE(counter.io->IsOpened());
    counter.io->Close();  // not opened: nothing
    EXPECT_EQ(counter.hooks.load(), 1);
    // Reopened, it closes again.
    ASSERT_TRUE(counter.io->Open());
    counter.io->Close();
    EXPECT_EQ(counter.hooks.load(), 2);
    EXPECT_TRUE(counter.closed_before_hook.load());
}

TEST(TransportClose, ConcurrentClosesRunBaseCloseOnce) {
    for (int round = 0; round < 20; ++round) {
        CloseCounter counter;
        counter.io = std::make_shared<FakeTransport>();  // threaded: BaseClose stops a reader
        ASSERT_TRUE(counter.io->Open());
        counter.io->SetClosedEvent(&CloseCounter::OnClosed, &counter);
        std::thread other([&] { counter.io->Close(); });
        counter.io->Close();
        other.join();
        EXPECT_EQ(counter.hooks.load(), 1);
        EXPECT_EQ(counter.io->BaseCloseCount(), 1);
    }
}

TEST(TransportHelpers, WholeSecondsRoundUpIn64Bits) {
    EXPECT_EQ(RoundUpToWholeSeconds(0, 1000), 0u);
    EXPECT_EQ(RoundUpToWholeSeconds(1, 1000), 1u);
    EXPECT_EQ(RoundUpToWholeSeconds(1000, 1000), 1u);
    EXPECT_EQ(RoundUpToWholeSeconds(1001, 1000), 2u);
    EXPECT_EQ(RoundUpToWholeSeconds(UINT32_MAX, 1000), 4294968u);  // 32 bits would give 0
}

TEST(TransportHelpers, ZeroTimeoutStillLastsOneWholeSecond) {
    qvtest::ScopedPortTiming timing;  // a helper second of 50 ms
    const int64_t start = RAZITimeStamp::GetMonotonicMs();
    WholeSecondDeadline deadline(0);
    while (!deadline.Passed()) RAZISleep::SleepMs(1);
    const int64_t elapsed = RAZITimeStamp::GetMonotonicMs() - start;
    EXPECT_GE(elapsed, 49);
    EXPECT_LT(elapsed, 1000);
    EXPECT_FALSE(WholeSecondDeadline(UINT32_MAX).Passed());
}

TEST(TransportHelpers, ReadUntilByteStopsAfterStopByte) {
    auto io = openedSink();
    io->SetUnreadable(false);
    io->SetCancelRead(false);
    io->PushRead({'a', 'b', '\n', 'c'});
    unsigned char buffer[8] = {};
    EXPECT_EQ(io->ReadUntilByte(buffer, sizeof buffer, 100, '\n'), 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), Bytes({'a', 'b', '\n'}));
    EXPECT_EQ(io->ReadUntilByte(buffer, 0, 100, '\n'), 0);
    EXPECT_EQ(io->ReadUntilByte(nullptr, 4, 100, '\n'), -1);
}

TEST(TransportHelpers, ReadUntilBytesRestartsMatch) {
    qvtest::ScopedPortTiming timing;
    struct Case {
        const char* name;
        Bytes input;
        int expected_count;
        bool expected_found;
    };
    const Case cases[] = {
        {"a CR CR LF", {'a', '\r', '\r', '\n'}, 4, true},
        {"CR LF at once", {'\r', '\n', 'z'}, 2, true},
        {"no pattern", {'x', 'y'}, 2, false},
    };
    const unsigned char pattern[] = {'\r', '\n'};
    for (const auto& c : cases) {
        auto io = openedSink();
        io->SetUnreadable(false);
        io->SetCancelRead(false);
        io->PushRead(c.input);
        unsigned char buffer[16] = {};
        bool found = !c.expected_found;
        EXPECT_EQ(io->ReadUntilBytes(buffer, sizeof buffer, 10, pattern, 2, &found), c.expected_count) << c.name;
        EXPECT_EQ(found, c.expected_found) << c.name;
    }
    auto io = openedSink();
    unsigned char buffer[4];
    EXPECT_EQ(io->ReadUntilBytes(buffer, 4, 10, nullptr, 2, nullptr), -1);
    EXPECT_EQ(io->ReadUntilBytes(buffer, 4, 10, pattern, 0, nullptr), -1);
}

TEST(TransportHelpers, WriteUntilLengthContinuesAfterShortWrites) {
    auto io = openedSink();
    io->ScriptWriteShort(2);
    io->ScriptWriteShort(1);
    const unsigned char data[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(io->WriteUntilLength(data, 5, 100), 5);
    auto writes = io->Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], Bytes({1, 2}));
    EXPECT_EQ(writes[1], Bytes({3}));
    EXPECT_EQ(writes[2], Bytes({4, 5}));
    io->ScriptWriteFail();
    EXPECT_EQ(io->WriteUntilLength(data, 5, 100), -1);
}

TEST(TransportHelpers, ZeroResultsPauseInsteadOfSpinning) {
    qvtest::ScopedPortTiming timing;  // a helper second of 50 ms: the limit passes after 150 ms
    auto io = openedSink();
    for (int i = 0; i < 1000; ++i) io->ScriptWriteShort(0);
    const unsigned char data[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(io->WriteUntilLength(data, 5, 100), 0);  // a spinning loop would reach the end of the script
    EXPECT_GT(io->WriteCount(), 10u);
    EXPECT_LT(io->WriteCount(), 500u);
}

TEST(TransportHelpers, QueryOneByteStatusResendsUntilLimit) {
    qvtest::ScopedPortTiming timing;  // reply wait and helper second of 50 ms
    auto io = std::make_shared<FakeTransport>();
    ASSERT_TRUE(io->Open());
    const unsigned char command[] = {0x10, 0x04, 0x01};
    EXPECT_EQ(io->QueryOneByteStatus(command, 3, 100), -1);  // limit 2 helper seconds
    EXPECT_GE(io->WriteCount(), 2u);
    EXPECT_LE(io->WriteCount(), 4u);
    for (const auto& write : io->Writes()) EXPECT_EQ(write, Bytes(command, command + 3));

    io->ClearWrites();
    io->AnswerNextWrite({});  // the first command goes unanswered
    io->AnswerNextWrite({0x12});
    EXPECT_EQ(io->QueryOneByteStatus(command, 3, 1000), 0x12);
    EXPECT_EQ(io->WriteCount(), 2u);
    io->Close();
}

TEST(TransportHelpers, QueryResponseSkipsStaleBytesAndReadsTheReply) {
    auto io = std::make_shared<FakeTransport>();
    ASSERT_TRUE(io->Open());
    io->PushRead({0x99, 0x98});  // stale bytes, waiting before the query
    while (io->ReceiveRing().Available() < 2) RAZISleep::SleepMs(1);
    io->AnswerNextWrite({0x37, 0x22, 0x05});
    unsigned char reply[3] = {};
    const unsigned char query[] = {0x1D, 0x28, 0x48};
    EXPECT_EQ(io->QueryResponse(query, 3, reply, 3, 1000), 3);
    EXPECT_EQ(Bytes(reply, reply + 3), Bytes({0x37, 0x22, 0x05}));
    io->ScriptWriteShort(1);
    EXPECT_EQ(io->QueryResponse(query, 3, reply, 3, 1000), -1);
    io->Close();
}

namespace {

struct ThreadProbe {
    std::mutex mutex;
    std::condition_variable ran;
    void* argument = nullptr;
    std::thread::id thread;
    static void Run(void* argument) {
        ThreadProbe& probe = Instance();
        std::lock_guard<std::mutex> lock(probe.mutex);
        probe.argument = argument;
        probe.thread = std::this_thread::get_id();
        probe.ran.notify_all();
    }
    static ThreadProbe& Instance() {
        static ThreadProbe probe;  // outlives the detached thread's unlock
        return probe;
    }
};

int64_t wallClockMs() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
}

}  // namespace

TEST(PortHelpers, StartThreadRunsTheFunctionOnADetachedThread) {
    ThreadProbe& probe = ThreadProbe::Instance();
    int argument = 0;
    ASSERT_TRUE(RAZIThread::StartThread(&ThreadProbe::Run, &argument));
    std::unique_lock<std::mutex> lock(probe.mutex);
    ASSERT_TRUE(probe.ran.wait_for(lock, std::chrono::seconds(2), [&] { return probe.argument != nullptr; }));
    EXPECT_EQ(probe.argument, &argument);
    EXPECT_NE(probe.thread, std::this_thread::get_id());
    EXPECT_FALSE(RAZIThread::StartThread(nullptr, &argument));
}

TEST(PortHelpers, WallClockAndSleep) {
    const int64_t before = wallClockMs();
    const int64_t micros = RAZITimeStamp::GetSysTimeMicros();
    const int64_t millis = RAZITimeStamp::GetSysTimeMs();
    const int64_t after = wallClockMs();
    EXPECT_GE(micros / 1000, before);
    EXPECT_LE(micros / 1000, millis);
    EXPECT_LE(millis, after);

    int64_t start = RAZITimeStamp::GetMonotonicMs();
    RAZISleep::SleepMs(20);
    EXPECT_GE(RAZITimeStamp::GetMonotonicMs() - start, 20);
    start = RAZITimeStamp::GetMonotonicMs();
    RAZISleep::SleepMs(0);
    RAZISleep::SleepMs(-5);
    // At once (a loaded machine may still hold the thread back a while); -5 taken as
    // unsigned would sleep for weeks.
    EXPECT_LT(RAZITimeStamp::GetMonotonicMs() - start, 1000);
}
