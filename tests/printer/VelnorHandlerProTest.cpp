#include <gtest/gtest.h>

#include <vector>

#include "VelnorTestFrames.h"
#include "printer/VelnorHandlerPro.h"

namespace {

struct Split {
    Bytes plain;
    std::vector<Bytes> frames;
};

Split Feed(VelnorHandlerPro& h, const Bytes& input)
{
    Split out;
    for (unsigned char b : input) {
        unsigned char frame[8], passed[8];
        unsigned frameLength = 99, passedLength = 99;
        h.HandleReceivedData(b, frame, sizeof frame, &frameLength, passed, sizeof passed,
                             &passedLength);
        if (frameLength) out.frames.emplace_back(frame, frame + frameLength);
        out.plain.insert(out.plain.end(), passed, passed + passedLength);
    }
    return out;
}

struct SplitCase {
    const char* name;
    Bytes input;
    Bytes plain;
    std::vector<Bytes> frames;
    unsigned bufferedAfter;
};

Bytes WithByte(Bytes b, size_t index, unsigned char value)
{
    b[index] = value;
    return b;
}

TEST(VelnorHandlerPro, SplitsFramesFromPlainBytes)
{
    const Bytes status = VelnorFrame(0, 1, 2, 3, 4, 5);
    const Bytes typeNine = VelnorFrame(9, 0x10);
    const Bytes typeTen = VelnorFrame(10, 0x10);
    const Bytes badCheck = WithByte(status, 7, status[7] ^ 0xFF);
    // 53 11 followed by the first six bytes of a valid frame; the run fails its check, so
    // 53 11 are passed on and the second 0x53 starts the next frame.
    const Bytes printed = VelnorFrame(2, 1, 2, 3, 4);
    const Bytes overlapped = Cat({{0x53, 0x11}, printed});

    const SplitCase cases[] = {
        {"frame between two plain bytes", Cat({{0x41}, status, {0x42}}), {0x41, 0x42},
         {status}, 0},
        {"bad check, no later 0x53: all eight plain", badCheck, badCheck, {}, 0},
        {"bad check resyncs on the later 0x53", overlapped, {0x53, 0x11}, {printed}, 0},
        {"type above 9 rejected as plain", typeTen, typeTen, {}, 0},
        {"type 9 with good check is a frame", typeNine, {}, {typeNine}, 0},
        {"partial frame held", Bytes(status.begin(), status.begin() + 3), {}, {}, 3},
        {"type byte above 9 lets the run go at once", Text("S123456"), Text("S123456"), {}, 0},
        {"a run let go early keeps its later 0x53", Text("SxSyyy1"), Text("Sx"), {}, 5},
        {"a resynced run whose type byte is already bad goes too",
         {0x53, 0x53, 0x01, 0x02, 0x03, 0x04, 0x00, 0xFF},
         {0x53, 0x53, 0x01, 0x02, 0x03, 0x04, 0x00, 0xFF}, {}, 0},
        {"plain bytes only", Text("OK\r\n"), Text("OK\r\n"), {}, 0},
    };
    for (const SplitCase& c : cases) {
        VelnorHandlerPro h;
        const Split got = Feed(h, c.input);
        EXPECT_EQ(got.plain, c.plain) << c.name << "\n got  " << Hex(got.plain) << "\n want "
                                      << Hex(c.plain);
        EXPECT_EQ(got.frames, c.frames) << c.name;
        EXPECT_EQ(h.BufferedCount(), c.bufferedAfter) << c.name;
    }
}

TEST(VelnorHandlerPro, RejectedRunKeepsItsTailAsTheNextPartialFrame)
{
    VelnorHandlerPro h;
    // 53 11 53 22 33 44 55 66: fails its check; 53 11 go on, six bytes stay buffered.
    const Split first = Feed(h, {0x53, 0x11, 0x53, 0x22, 0x33, 0x44, 0x55, 0x66});
    EXPECT_EQ(first.plain, (Bytes{0x53, 0x11}));
    EXPECT_TRUE(first.frames.empty());
    EXPECT_EQ(h.BufferedCount(), 6u);

    h.ResetReceived();
    const Bytes status = VelnorFrame(6, 0xAA, 0xBB);
    EXPECT_EQ(Feed(h, status).frames, std::vector<Bytes>{status});
}

TEST(VelnorHandlerPro, ReleasedPartialFrameIsPlainAndTheNextFrameStillCounts)
{
    VelnorHandlerPro h;
    const Bytes serial = Cat({Text("SN0042"), {0x00}});  // 0x53 and six more: could be a frame
    EXPECT_EQ(Feed(h, serial).plain, Bytes{});
    unsigned char passed[8];
    unsigned length = 99;
    h.ReleasePartialFrame(passed, sizeof passed, &length);
    EXPECT_EQ(Bytes(passed, passed + length), serial);
    EXPECT_EQ(h.BufferedCount(), 0u);
    h.ReleasePartialFrame(passed, sizeof passed, &length);
    EXPECT_EQ(length, 0u);

    const Bytes status = VelnorFrame(0, 1, 2, 3);
    const Split next = Feed(h, status);
    EXPECT_EQ(next.frames, std::vector<Bytes>{status});
    EXPECT_EQ(next.plain, Bytes{});
}

TEST(VelnorHandlerPro, NarrowOrMissingOutputsAreCutNotOverrun)
{
    VelnorHandlerPro h;
    unsigned char small[2] = {};
    unsigned length = 99;
    const Bytes bad = WithByte(VelnorFrame(0, 1), 7, 0);
    for (size_t i = 0; i + 1 < bad.size(); ++i)
        h.HandleReceivedData(bad[i], nullptr, 0, nullptr, nullptr, 0, nullptr);
    h.HandleReceivedData(bad.back(), nullptr, 0, nullptr, small, sizeof small, &length);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(small[0], 0x53);
    EXPECT_EQ(h.BufferedCount(), 0u);
}

TEST(VelnorHandlerPro, CheckHeadAcceptsShortTailsStartingWithTheHeadByte)
{
    const Bytes status = VelnorFrame(0, 1);
    EXPECT_TRUE(VelnorHandlerPro::CheckHead(nullptr, 0));
    EXPECT_TRUE(VelnorHandlerPro::CheckHead(status.data(), 7));
    EXPECT_TRUE(VelnorHandlerPro::CheckHead(status.data(), 8));
    EXPECT_FALSE(VelnorHandlerPro::CheckHead(status.data() + 1, 7));
    const Bytes bad = WithByte(status, 7, 0);
    EXPECT_FALSE(VelnorHandlerPro::CheckHead(bad.data(), 8));
}

}  // namespace
