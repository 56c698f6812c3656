#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ProtoTestBytes.h"
#include "printer/NZProtoHandler.h"
#include "printer/NZProtoHandlerPro.h"

namespace {

struct Packet {
    uint16_t command;
    uint32_t parameter;
    Bytes body;
    bool operator==(const Packet&) const = default;
};

std::string Describe(const std::vector<Packet>& packets)
{
    std::ostringstream s;
    for (const Packet& p : packets)
        s << "\n  cmd " << p.command << " para " << p.parameter << " body " << Hex(p.body);
    return packets.empty() ? "\n  (none)" : s.str();
}

Bytes Encode(uint16_t command, uint32_t parameter, const Bytes& body)
{
    Bytes out(body.size() + 12);
    uint32_t len = 0;
    NZProtoHandler::GenerateSendPackage(0xFF, command, parameter,
                                        static_cast<uint16_t>(body.size()), body.data(),
                                        out.data(), &len);
    out.resize(len);
    return out;
}

// Feeds the reader as the received-data split does: copy each packet, then reset.
std::vector<Packet> Feed(NZProtoHandlerPro& reader, const Bytes& bytes)
{
    std::vector<Packet> out;
    for (unsigned char b : bytes) {
        if (!reader.HandleByte(b)) continue;
        const unsigned char* body = reader.GetResultRecvbuf();
        out.push_back({reader.GetResultCmd(), reader.GetResultPara(),
                       Bytes(body, body + reader.GetResultRecvlen())});
        reader.ResetHandler();
    }
    return out;
}

const Bytes kDevice = Text("DEVICE??");

Bytes WithByte(Bytes b, size_t index, unsigned char value)
{
    b[index] = value;
    return b;
}

struct ReaderCase {
    const char* name;
    bool checks;
    Bytes input;
    std::vector<Packet> expected;
    uint32_t headerCountAfter;
};

TEST(ProtoHandlerPro, ReadsPacketsOutOfTheByteStream)
{
    const Bytes comm = Encode(32, 0, kDevice);
    const Bytes empty = Encode(253, 0, {});
    const Bytes flash = Encode(44, 0x00012300, Bytes(256, 0x5A));
    const Bytes badHeader = WithByte(comm, 10, comm[10] ^ 0x01);
    const Bytes badBody = WithByte(comm, 11, comm[11] ^ 0x01);
    // A 0x03 at position 7 (none at 1 to 6) of a rejected header: its last five bytes are
    // the start of the next header.
    const Bytes stray7 = {0x03, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};

    const ReaderCase cases[] = {
        {"communication reply", true, comm, {{32, 0, kDevice}}, 0},
        {"garbage before start skipped", true, Cat({{0x00, 0xFF, 0x53, 0x20}, comm}),
         {{32, 0, kDevice}}, 0},
        {"back to back", true, Cat({empty, flash, comm}),
         {{253, 0, {}}, {44, 0x00012300, Bytes(256, 0x5A)}, {32, 0, kDevice}}, 0},
        {"bad header resyncs on a later 0x03 with fewer than 11 bytes left", true,
         Cat({stray7, comm}), {{32, 0, kDevice}}, 0},
        {"stray 0x03 before a packet resyncs on a valid header check", true,
         Cat({{0x03}, comm}), {{32, 0, kDevice}}, 0},
        {"bad header without a later 0x03 holds nothing", true,
         Cat({{0x03}, Bytes(11, 0x10)}), {}, 0},
        {"bad header check rejected", true, badHeader, {}, 0},
        {"bad body check drops the whole packet", true,
         Cat({WithByte(Encode(46, 0, {0x03, 0x03, 0x03}), 11, 0x00), comm}),
         {{32, 0, kDevice}}, 0},
        {"bad body check then good packet", true, Cat({badBody, empty}), {{253, 0, {}}}, 0},
        {"checks off accepts wrong check bytes", false, Cat({badHeader, badBody}),
         {{32, 0, kDevice}, {32, 0, kDevice}}, 0},
        {"partial header stays held", true, Bytes(comm.begin(), comm.begin() + 5), {}, 5},
    };
    for (const ReaderCase& c : cases) {
        NZProtoHandlerPro reader;
        reader.SetCheckHeader(c.checks);
        reader.SetCheckBody(c.checks);
        const std::vector<Packet> got = Feed(reader, c.input);
        EXPECT_EQ(got, c.expected) << c.name << "\n input " << Hex(c.input) << "\n got"
                                   << Describe(got) << "\n want" << Describe(c.expected);
        EXPECT_EQ(reader.HeaderCount(), c.headerCountAfter) << c.name;
    }
}

TEST(ProtoHandlerPro, EmptyBodyCompletesOnTheTwelfthByte)
{
    NZProtoHandlerPro reader;
    const Bytes p = Encode(63, 86, {});
    for (size_t i = 0; i + 1 < p.size(); ++i) ASSERT_FALSE(reader.HandleByte(p[i])) << i;
    EXPECT_TRUE(reader.HandleByte(p.back()));
    EXPECT_EQ(reader.GetResultCmd(), 63);
    EXPECT_EQ(reader.GetResultPara(), 86u);
    EXPECT_EQ(reader.GetResultRecvlen(), 0u);
}

TEST(ProtoHandlerPro, LargestBodyAndFeedingOnWithoutReset)
{
    NZProtoHandlerPro reader;
    Bytes big(0xFFFF);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
    const Bytes p = Encode(46, 0xFFFFFFFF, big);
    size_t completions = 0;
    for (unsigned char b : p) completions += reader.HandleByte(b);
    ASSERT_EQ(completions, 1u);
    EXPECT_EQ(reader.GetResultPara(), 0xFFFFFFFFu);
    EXPECT_EQ(Bytes(reader.GetResultRecvbuf(), reader.GetResultRecvbuf() + reader.GetResultRecvlen()),
              big);

    // A caller that forgets ResetHandler still gets the next packet.
    const std::vector<Packet> next = Feed(reader, Encode(32, 1, kDevice));
    EXPECT_EQ(next, (std::vector<Packet>{{32, 1, kDevice}}));
}

}  // namespace
