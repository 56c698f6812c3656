// The dispatch-queue stand-in, its strands, and the wait and log helpers of the platform layer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/CBUUID.h"
#include "platform/DispatchQueue.h"
#include "platform/NSCondition.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

using namespace std::chrono_literals;

TEST(DispatchQueue, SerialRunsInOrderOnItsOwnThreadUnderItsLabel) {
    DispatchQueue queue("test.serial", DispatchQueue::Kind::Serial);
    EXPECT_EQ(queue.label(), "test.serial");
    EXPECT_EQ(DispatchQueue::Current(), nullptr);
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::atomic<bool> onQueue{true};
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            onQueue = onQueue && DispatchQueue::Current() == &queue;
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        });
    }
    queue.waitIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
    for (auto id : threads) EXPECT_EQ(id, threads[0]);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_TRUE(onQueue);
}

TEST(DispatchQueue, ConcurrentRunsTasksAtTheSameTime) {
    DispatchQueue queue("test.concurrent", DispatchQueue::Kind::Concurrent);
    // Two tasks that each wait for the other can only finish when both run at once.
    std::promise<void> first, second;
    auto a = first.get_future().share();
    auto b = second.get_future().share();
    std::atomic<int> met{0};
    queue.async([&] { first.set_value(); if (b.wait_for(5s) == std::future_status::ready) ++met; });
    queue.async([&] { second.set_value(); if (a.wait_for(5s) == std::future_status::ready) ++met; });
    queue.waitIdle();
    EXPECT_EQ(met, 2);
}

TEST(DispatchQueue, DestructionRunsWhatWasQueuedAndJoins) {
    std::atomic<int> ran{0};
    {
        DispatchQueue queue("test.drain", DispatchQueue::Kind::Concurrent);
        for (int i = 0; i < 50; ++i) queue.async([&] { ++ran; });
    }
    EXPECT_EQ(ran, 50);
}

TEST(DispatchQueue, LastOwnerLettingGoOnTheQueueDoesNotDeadlock) {
    auto queue = std::make_shared<DispatchQueue>("test.self", DispatchQueue::Kind::Serial);
    std::promise<void> done;
    auto finished = done.get_future();
    DispatchQueue* raw = queue.get();
    raw->async([queue = std::move(queue), &done]() mutable {
        queue.reset();  // the queue is destroyed on its own thread
        done.set_value();
    });
    EXPECT_EQ(finished.wait_for(5s), std::future_status::ready);
}

TEST(DispatchStrand, KeepsOrderAndRunsOneAtATimeOnAConcurrentQueue) {
    auto queue = std::make_shared<DispatchQueue>("test.strand", DispatchQueue::Kind::Concurrent);
    DispatchStrand strand(queue);
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::mutex mutex;
    std::vector<int> order;
    for (int i = 0; i < 200; ++i) {
        strand.async([&, i] {
            if (++running > 1) overlapped = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            }
            std::this_thread::yield();
            --running;
        });
    }
    queue->waitIdle();
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
}

TEST(DispatchStrand, ABlockedStrandLeavesOthersRunning) {
    auto queue = std::make_shared<DispatchQueue>("test.strands", DispatchQueue::Kind::Concurrent);
    DispatchStrand blocked(queue), free(queue);
    std::promise<void> release;
    auto released = release.get_future().share();
    std::promise<void> ran;
    blocked.async([released] { released.wait_for(5s); });
    free.async([&] { ran.set_value(); });
    EXPECT_EQ(ran.get_future().wait_for(5s), std::future_status::ready);
    release.set_value();
    queue->waitIdle();
}

TEST(NSDate, IntervalsAndDeadlines) {
    const NSDate now = NSDate::date();
    const NSDate later = now.dateByAddingTimeInterval(1.5);
    EXPECT_DOUBLE_EQ(later.timeIntervalSinceDate(now), 1.5);
    EXPECT_DOUBLE_EQ(now.timeIntervalSinceDate(later), -1.5);
    EXPECT_TRUE(later.isInFuture());
    EXPECT_FALSE(DeadlineAfterMs(0).isInFuture());
    EXPECT_FALSE(DeadlineAfterMs(-1000).isInFuture());
    EXPECT_TRUE(DeadlineAfterMs(60000).isInFuture());
    // Intervals far beyond the clock's range are clamped rather than overflowing.
    EXPECT_TRUE(now.dateByAddingTimeInterval(1e300).isInFuture());
    EXPECT_FALSE(now.dateByAddingTimeInterval(-1e300).isInFuture());
}

TEST(NSCondition, WaitEndsAtAPastDateOrWhenSignalled) {
    NSCondition condition;
    condition.lock();
    EXPECT_FALSE(condition.waitUntilDate(DeadlineAfterMs(-1)));
    condition.unlock();

    std::atomic<bool> ready{false};
    std::thread signaller([&] {
        condition.lock();
        ready = true;
        condition.signal();
        condition.unlock();
    });
    const auto start = std::chrono::steady_clock::now();
    condition.lock();
    while (!ready) condition.waitUntilDate(DeadlineAfterMs(60000));
    condition.unlock();
    signaller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST(NSLog, FormatsOneLinePerCallIntoTheSink) {
    std::vector<std::string> lines;
    SetLogSinkForTesting([&](const std::string& line) { lines.push_back(line); });
    NSLog("scan %d", 7);
    NSLog("Connecting %s %p", "P58", static_cast<void*>(nullptr));
    NSLog("%s", std::string(5000, 'x').c_str());
    SetLogSinkForTesting(nullptr);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "scan 7");
    EXPECT_EQ(lines[1].rfind("Connecting P58 ", 0), 0u);
    EXPECT_EQ(lines[2].size(), 5000u);
}

TEST(CBUUID, ComparesByUpperCaseText) {
    EXPECT_EQ(CBUUID("e7810a71-73ae-499d-8c15-faa9aef0c3f2").UUIDString(), "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2");
    EXPECT_EQ(CBUUID("2af0"), CBUUID("2AF0"));
    EXPECT_FALSE(CBUUID("2AF0") == CBUUID("2AF1"));
    EXPECT_FALSE(CBUUID("18F0") == CBUUID("000018F0-0000-1000-8000-00805F9B34FB"));
}
