// The allocator stb_image decodes with, on each of its paths: malloc blocks, blocks mapped
// on huge-page boundaries from 4 MiB (malloc alone under AddressSanitizer), growth across
// that size, shrinking, release, and two threads at once. These tests carry the label
// "threaded", so that the ThreadSanitizer pass, which maps, runs them too.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "nzcommon/imgprocess/NZStbImage.h"
#include "support/DirtyMemory.h"

namespace {

using nzimg::kStbLargeBlock;
constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kHugePage = 2 * kMiB;

bool Maps() { return nzimg::StbMapsLargeBlocks(); }

unsigned char *At(void *p) { return static_cast<unsigned char *>(p); }

size_t Page() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

// Whether bytes [from, to) of p all hold v (compared a page at a time: blocks are megabytes).
::testing::AssertionResult Holds(void *p, size_t from, size_t to, unsigned char v) {
    unsigned char want[4096];
    std::memset(want, v, sizeof want);
    for (size_t at = from; at < to; at += sizeof want) {
        const size_t n = to - at < sizeof want ? to - at : sizeof want;
        if (std::memcmp(At(p) + at, want, n) == 0) continue;
        size_t i = at;
        while (At(p)[i] == v) ++i;
        return ::testing::AssertionFailure() << "byte " << i << " of [" << from << ", " << to << ") is " << int(At(p)[i])
                                             << ", not " << int(v);
    }
    return ::testing::AssertionSuccess();
}

// A block of `size` bytes came from the path its size chooses.
void ExpectPath(void *p, size_t size) {
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    const bool mapped = Maps() && size >= kStbLargeBlock;
    EXPECT_EQ(nzimg::StbBlockIsMapped(p), mapped) << size;
    if (mapped) {
        EXPECT_LT(reinterpret_cast<uintptr_t>(p) % kHugePage, Page()) << "not at a 2 MiB boundary";
    }
}

// Whether the page holding p is still mapped in this process.
bool PageMapped(const void *p) {
    const uintptr_t page = reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{Page()} - 1);
    unsigned char resident = 0;
    return mincore(reinterpret_cast<void *>(page), Page(), &resident) == 0 || errno != ENOMEM;
}

TEST(StbAllocator, BlocksComeZeroedFromTheirPath) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{100}, size_t{4099}, kMiB + 7, kStbLargeBlock - 1, kStbLargeBlock,
                        kStbLargeBlock + 5, 3 * kStbLargeBlock + 12345}) {
        SCOPED_TRACE(size);
        qvtest::DirtyHeap(0xA5);
        void *p = nzimg::StbMalloc(size);
        ExpectPath(p, size);
        EXPECT_TRUE(Holds(p, 0, size, 0));
        std::memset(p, 0x5A, size);
        const bool mapped = nzimg::StbBlockIsMapped(p);
        nzimg::StbFree(p);
        if (mapped) {
            EXPECT_FALSE(PageMapped(p)) << "mapping kept after release";
        }
    }
    nzimg::StbFree(nullptr);
}

TEST(StbAllocator, ResizedBlocksKeepTheirBytesAndGrowZeroed) {
    const struct {
        const char *name;
        size_t from, to;
    } cases[] = {
        {"small, grown", 1000, 300000},
        {"small, shrunk", 300000, 1000},
        {"small to mapped", 3 * kMiB, kStbLargeBlock + kMiB},
        {"mapped, grown within its last page", kStbLargeBlock + 10, kStbLargeBlock + 100},
        {"mapped to a larger mapping", kStbLargeBlock + kMiB, 3 * kStbLargeBlock},
        {"mapped, shrunk below the mapping size", 2 * kStbLargeBlock, kMiB},
        {"null, grown", 0, kStbLargeBlock},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::DirtyHeap(0xA5);
        void *p = c.from ? nzimg::StbMalloc(c.from) : nullptr;
        if (p) std::memset(p, 0x3C, c.from);
        const bool was_mapped = p && nzimg::StbBlockIsMapped(p);
        void *q = nzimg::StbRealloc(p, c.to);
        // A mapped block shrinks in place; everything else follows its new size.
        ExpectPath(q, was_mapped && c.to < c.from ? c.from : c.to);
        const size_t kept = c.from < c.to ? c.from : c.to;
        EXPECT_TRUE(Holds(q, 0, kept, 0x3C));
        EXPECT_TRUE(Holds(q, kept, c.to, 0));
        nzimg::StbFree(q);
    }
}

TEST(StbAllocator, BlocksShrunkThenGrownAgainReadZeroPastWhatTheyKept) {
    for (size_t size : {size_t{200000}, 3 * kStbLargeBlock}) {
        SCOPED_TRACE(size);
        void *p = nzimg::StbMalloc(size);
        ASSERT_NE(p, nullptr);
        std::memset(p, 0x77, size);
        const bool mapped = nzimg::StbBlockIsMapped(p);
        void *small = nzimg::StbRealloc(p, 1000);
        ASSERT_NE(small, nullptr);
        if (mapped) {
            EXPECT_EQ(small, p) << "a mapped block shrinks in place";
        }
        void *again = nzimg::StbRealloc(small, size);
        ASSERT_NE(again, nullptr);
        if (mapped) {
            EXPECT_EQ(again, p) << "and grows in place within its mapping";
        }
        EXPECT_TRUE(Holds(again, 0, 1000, 0x77));
        EXPECT_TRUE(Holds(again, 1000, size, 0));
        nzimg::StbFree(again);
    }
}

TEST(StbAllocator, SizesNoBlockCanHaveFail) {
    // Half the address space reaches malloc only where nothing is mapped, and there
    // AddressSanitizer stops the process rather than fail the call.
    std::vector<size_t> huge = {SIZE_MAX, SIZE_MAX - 8};
    if (Maps()) huge.push_back(SIZE_MAX / 2);
    for (size_t n : huge) EXPECT_EQ(nzimg::StbMalloc(n), nullptr) << n;
    for (size_t size : {size_t{64}, kStbLargeBlock}) {
        SCOPED_TRACE(size);
        void *p = nzimg::StbMalloc(size);
        ASSERT_NE(p, nullptr);
        std::memset(p, 0x42, size);
        for (size_t n : huge) EXPECT_EQ(nzimg::StbRealloc(p, n), nullptr) << n;
        // The block stays as it was, as realloc leaves it.
        EXPECT_TRUE(Holds(p, 0, size, 0x42));
        nzimg::StbFree(p);
    }
}

TEST(StbAllocator, TwoThreadsAtOnce) {
    std::atomic<int> faults{0};
    auto work = [&](unsigned char pattern) {
        for (int round = 0; round < 6; ++round) {
            size_t size = 64 << 10;
            void *p = nzimg::StbMalloc(size);
            if (!p) {
                ++faults;
                return;
            }
            std::memset(p, pattern, size);
            // Small, mapped, a larger mapping, shrunk in place, grown in place, released.
            for (size_t next : {3 * kMiB, kStbLargeBlock + kMiB, 3 * kStbLargeBlock, 2 * kMiB, 2 * kStbLargeBlock}) {
                void *q = nzimg::StbRealloc(p, next);
                if (!q) {
                    ++faults;
                    break;
                }
                const size_t kept = size < next ? size : next;
                if (!Holds(q, 0, kept, pattern) || !Holds(q, kept, next, 0)) ++faults;
                std::memset(q, pattern, next);
                p = q, size = next;
            }
            nzimg::StbFree(p);
        }
    };
    std::thread a(work, 0x11), b(work, 0xEE);
    a.join();
    b.join();
    EXPECT_EQ(faults.load(), 0);
}

}  // namespace
