// The group-packet frame reassembler, fed as the notification handlers feed it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ble/BLERWProtoV2Handler.h"
#include "printer/ProtoTestBytes.h"

namespace {

struct Completed {
    size_t at;  // index of the byte that completed the frame
    Bytes frame;
    bool operator==(const Completed&) const = default;
};

std::string Describe(const std::vector<Completed>& frames) {
    std::string out;
    for (const auto& f : frames) out += "@" + std::to_string(f.at) + ": " + Hex(f.frame) + "\n";
    return out.empty() ? "(none)" : out;
}

// Feeds the stream byte by byte, takes each complete frame and resets, as every caller does.
std::vector<Completed> Feed(BLERWProtoV2Handler& handler, const Bytes& stream, bool reset = true) {
    std::vector<Completed> frames;
    for (size_t i = 0; i < stream.size(); ++i) {
        if (!handler.HandleReceivedData(stream[i])) continue;
        const unsigned char* data = handler.GetReceivedData();
        frames.push_back({i, Bytes(data, data + handler.GetReceivedLen())});
        if (reset) handler.ResetReceived();
    }
    return frames;
}

Bytes Repeat(size_t count, unsigned char byte) { return Bytes(count, byte); }

Bytes DataFrame(unsigned char length) {
    Bytes frame{length};
    for (unsigned i = 1; i < length; ++i) frame.push_back(static_cast<unsigned char>(i));
    return frame;
}

const Bytes kFreeSpace{0x00, 0x0A, 0x01, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00};
const Bytes kData5{0x05, 0x41, 0x42, 0x43, 0x44};

}  // namespace

TEST(BLERWProtoV2Handler, FramesCompleteOnTheirLastByte) {
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Completed> expected;
    };
    const Case cases[] = {
        {"data frame", {0x05, 0x01, 0x02, 0x03, 0x04}, {{4, {0x05, 0x01, 0x02, 0x03, 0x04}}}},
        {"control frame of 10", kFreeSpace, {{9, kFreeSpace}}},
        {"control frame 00 02", {0x00, 0x02}, {{1, {0x00, 0x02}}}},
        {"data frame of 2", {0x02, 0x7F}, {{1, {0x02, 0x7F}}}},
        {"two frames in one notification", Cat({kData5, {0x03, 0x01, 0x02}}),
         {{4, kData5}, {7, {0x03, 0x01, 0x02}}}},
        {"frame of 255", DataFrame(0xFF), {{254, DataFrame(0xFF)}}},
        {"control frame of 255", Cat({{0x00, 0xFF}, Repeat(253, 0x00)}),
         {{254, Cat({{0x00, 0xFF}, Repeat(253, 0x00)})}}},
        {"partial frame stays gathered", {0x05, 0x41, 0x42}, {}},
    };
    for (const auto& c : cases) {
        BLERWProtoV2Handler handler;
        const auto got = Feed(handler, c.stream);
        EXPECT_EQ(got, c.expected) << c.name << "\ngot:\n" << Describe(got) << "expected:\n" << Describe(c.expected);
    }
}

TEST(BLERWProtoV2Handler, FrameContinuesInTheNextNotification) {
    BLERWProtoV2Handler handler;
    EXPECT_TRUE(Feed(handler, {0x00, 0x0A, 0x01, 0x00}).empty());
    EXPECT_EQ(handler.GetReceivedLen(), 4u);
    const auto got = Feed(handler, {0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x05, 0x41});
    EXPECT_EQ(got, (std::vector<Completed>{{5, kFreeSpace}})) << Describe(got);
    EXPECT_EQ(handler.GetReceivedLen(), 2u);  // the next frame has begun
}

// A length below 2 can never be reached: such a frame used to gather forever, past the end of
// the buffer, and no later frame ever completed. The next byte starts a new frame.
TEST(BLERWProtoV2Handler, FramesThatCanNeverCompleteAreDropped) {
    struct Case {
        const char* name;
        Bytes before;
    };
    const Case cases[] = {
        {"data length 1", {0x01}},
        {"control length 0", {0x00, 0x00}},
        {"control length 1", {0x00, 0x01}},
        {"many of them", Cat({Repeat(500, 0x01), Repeat(600, 0x00)})},
    };
    for (const auto& c : cases) {
        BLERWProtoV2Handler handler;
        const auto got = Feed(handler, Cat({c.before, kData5}));
        const std::vector<Completed> expected{{c.before.size() + 4, kData5}};
        EXPECT_EQ(got, expected) << c.name << "\n" << Describe(got);
    }
}

// Without the reset a complete frame used to keep growing past its length, and past the end
// of the buffer. The byte after it starts the next frame instead.
TEST(BLERWProtoV2Handler, ByteAfterACompleteFrameStartsTheNext) {
    BLERWProtoV2Handler handler;
    Bytes stream;
    for (int i = 0; i < 200; ++i) stream = Cat({stream, kData5, {0x00, 0x02}});
    const auto got = Feed(handler, stream, /*reset=*/false);
    ASSERT_EQ(got.size(), 400u);
    EXPECT_EQ(got[398], (Completed{1397, kData5}));
    EXPECT_EQ(got[399], (Completed{1399, {0x00, 0x02}}));
}

TEST(BLERWProtoV2Handler, ResetDropsAPartialFrame) {
    BLERWProtoV2Handler handler;
    Feed(handler, {0x05, 0x41, 0x42});
    handler.ResetReceived();
    EXPECT_EQ(handler.GetReceivedLen(), 0u);
    const auto got = Feed(handler, {0x02, 0x09});
    EXPECT_EQ(got, (std::vector<Completed>{{1, {0x02, 0x09}}})) << Describe(got);
}

// Close resets from its own thread while the notification handler may still be feeding.
TEST(BLERWProtoV2Handler, ResetFromAnotherThreadWhileFeeding) {
    BLERWProtoV2Handler handler;
    std::atomic<bool> stop{false};
    std::atomic<int> badFrames{0};
    std::thread feeder([&] {
        while (!stop.load(std::memory_order_acquire)) {
            for (unsigned char b : kData5) {
                if (!handler.HandleReceivedData(b)) continue;
                const unsigned length = handler.GetReceivedLen();
                const unsigned char* data = handler.GetReceivedData();
                const unsigned expected = data[0] != 0 ? data[0] : data[1];
                if (length != 0 && (length < 2 || length != expected)) ++badFrames;
                handler.ResetReceived();
            }
        }
    });
    for (int i = 0; i < 2000; ++i) handler.ResetReceived();
    stop.store(true, std::memory_order_release);
    feeder.join();
    EXPECT_EQ(badFrames.load(), 0);
    handler.ResetReceived();
    EXPECT_EQ(Feed(handler, kData5), (std::vector<Completed>{{4, kData5}}));
}
