// The Bluetooth LE receive ring: order, capacity, a full ring, an empty take, clear, and one
// putting thread beside one taking thread.
#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "ble/BufferPool.h"

namespace {

std::vector<unsigned char> TakeAll(BufferPool& ring) {
    std::vector<unsigned char> out;
    while (!ring.isEmpty()) out.push_back(ring.getByte());
    return out;
}

std::vector<unsigned char> Sequence(int count, int from = 0) {
    std::vector<unsigned char> bytes;
    for (int i = from; i < from + count; ++i) bytes.push_back(static_cast<unsigned char>(i * 7 + i / 256));
    return bytes;
}

}  // namespace

TEST(BufferPool, OnePutOneTake) {
    BufferPool ring;
    EXPECT_EQ(ring.size(), 4096);
    EXPECT_TRUE(ring.isEmpty());
    ring.putByte(0x5A);
    EXPECT_FALSE(ring.isEmpty());
    EXPECT_EQ(ring.getByte(), 0x5A);
    EXPECT_TRUE(ring.isEmpty());
}

// Putting into a full ring used to let the write index catch the read index, so every held
// byte looked gone. The new byte is dropped instead.
TEST(BufferPool, FullRingKeepsItsBytesAndDropsTheNewOne) {
    BufferPool ring;
    const auto sent = Sequence(4095);
    for (unsigned char b : sent) ring.putByte(b);
    ring.putByte(0xEE);
    ring.putByte(0xEF);
    std::vector<unsigned char> got;
    for (int i = 0; i < 4095; ++i) {
        ASSERT_FALSE(ring.isEmpty()) << "after " << i << " takes";
        got.push_back(ring.getByte());
    }
    EXPECT_TRUE(ring.isEmpty());
    EXPECT_EQ(got, sent);
    ring.putByte(0x11);
    EXPECT_EQ(TakeAll(ring), std::vector<unsigned char>{0x11});
}

TEST(BufferPool, OrderKeptAcrossTheEndOfTheBuffer) {
    BufferPool ring;
    for (unsigned char b : Sequence(4000)) ring.putByte(b);
    EXPECT_EQ(TakeAll(ring), Sequence(4000));
    // Slots 4000..4095 and then 0..: both ends of the buffer, and full again after the wrap.
    const auto sent = Sequence(4095, 4000);
    for (unsigned char b : sent) ring.putByte(b);
    ring.putByte(0xEE);
    EXPECT_EQ(TakeAll(ring), sent);
}

// A take from an empty ring used to move the read index past the write index, so the ring
// then reported thousands of stale bytes.
TEST(BufferPool, TakeFromEmptyRingLeavesItEmpty) {
    BufferPool ring;
    ring.putByte(1);
    ring.getByte();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ring.getByte(), 0);
    EXPECT_TRUE(ring.isEmpty());
    ring.putByte(2);
    EXPECT_EQ(TakeAll(ring), std::vector<unsigned char>{2});
}

TEST(BufferPool, ClearDropsUnreadBytes) {
    BufferPool ring;
    for (unsigned char b : Sequence(100)) ring.putByte(b);
    ring.getByte();
    ring.clear();
    EXPECT_TRUE(ring.isEmpty());
    ring.putByte(0x42);
    ring.putByte(0x43);
    EXPECT_EQ(TakeAll(ring), (std::vector<unsigned char>{0x42, 0x43}));
    ring.clear();
    ring.clear();
    EXPECT_TRUE(ring.isEmpty());
}

TEST(BufferPool, SizesBelowTwoHoldNothing) {
    struct Case {
        int size;
        int expected_size;
        size_t holds;
    };
    const Case cases[] = {{-5, 0, 0}, {0, 0, 0}, {1, 1, 0}, {2, 2, 1}, {3, 3, 2}};
    for (const auto& c : cases) {
        BufferPool ring(c.size);
        EXPECT_EQ(ring.size(), c.expected_size) << "size " << c.size;
        for (unsigned char b : Sequence(5)) ring.putByte(b);
        EXPECT_EQ(TakeAll(ring), Sequence(static_cast<int>(c.holds))) << "size " << c.size;
        ring.clear();
        EXPECT_EQ(ring.getByte(), 0) << "size " << c.size;
        EXPECT_TRUE(ring.isEmpty()) << "size " << c.size;
    }
}

// The putter never runs more than the ring's capacity ahead, so every byte must arrive.
TEST(BufferPool, OnePutterOneTakerKeepEveryByteInOrder) {
    BufferPool ring(64);
    constexpr int kCount = 30000;
    const auto sent = Sequence(kCount);
    std::atomic<int> taken{0};
    std::thread putter([&] {
        for (int i = 0; i < kCount; ++i) {
            while (i - taken.load(std::memory_order_acquire) >= 63) std::this_thread::yield();
            ring.putByte(sent[i]);
        }
    });
    int mismatches = 0;
    for (int i = 0; i < kCount; ++i) {
        while (ring.isEmpty()) std::this_thread::yield();
        mismatches += ring.getByte() != sent[i];
        taken.store(i + 1, std::memory_order_release);
    }
    putter.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(ring.isEmpty());
}

// Clearing used to zero both indexes; a put under way then republished its old write index
// and bytes read long before came back. Bytes put before the clear must never reappear. The
// ring is large so that the putter is still storing when the clear comes.
TEST(BufferPool, ClearWhilePuttingNeverBringsBackOldBytes) {
    for (int round = 0; round < 50; ++round) {
        BufferPool ring(1 << 20);
        std::promise<void> oldBytesPut;
        std::atomic<bool> stop{false};
        std::thread putter([&] {
            for (int i = 0; i < 200; ++i) ring.putByte(0xAA);
            oldBytesPut.set_value();
            while (!stop.load(std::memory_order_acquire)) ring.putByte(0xBB);
        });
        oldBytesPut.get_future().wait();
        for (int i = 0; i < 50; ++i) ring.getByte();
        ring.clear();
        stop.store(true, std::memory_order_release);
        putter.join();
        int old = 0;
        for (unsigned char b : TakeAll(ring)) old += b != 0xBB;
        ASSERT_EQ(old, 0) << "round " << round;
    }
}
