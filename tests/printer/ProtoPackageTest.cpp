#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <string>

#include "ProtoTestBytes.h"
#include "printer/NZProtoHandler.h"
#include "printer/NZProtoModePrinterFirmwareVersion.h"
#include "printer/NZReceivedProtoPackage.h"

namespace {

struct WriterCase {
    const char* name;
    uint8_t type;
    uint16_t command;
    uint32_t parameter;
    Bytes body;
    Bytes expected;
};

TEST(ProtoPackage, WriterProducesExactPackets)
{
    const WriterCase cases[] = {
        {"communication test", 0xFF, 32, 0, Text("DEVICE??"),
         Cat({{0x03, 0xFF, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0xD4, 0x18},
              Text("DEVICE??")})},
        {"empty body has body check 0", 0xFF, 253, 0, {},
         {0x03, 0xFF, 0xFD, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}},
        {"fields little-endian", 0x01, 0x1234, 0xAABBCCDD, {0x10, 0x20, 0x40},
         {0x03, 0x01, 0x34, 0x12, 0xDD, 0xCC, 0xBB, 0xAA, 0x03, 0x00, 0x27, 0x70, 0x10, 0x20,
          0x40}},
    };
    for (const WriterCase& c : cases) {
        Bytes out(c.body.size() + 12, 0xEE);
        uint32_t len = 0;
        ASSERT_TRUE(NZProtoHandler::GenerateSendPackage(c.type, c.command, c.parameter,
                                                        static_cast<uint16_t>(c.body.size()),
                                                        c.body.data(), out.data(), &len))
            << c.name;
        EXPECT_EQ(len, c.expected.size()) << c.name;
        EXPECT_EQ(out, c.expected) << c.name << "\n got  " << Hex(out) << "\n want "
                                   << Hex(c.expected);
    }
}

TEST(ProtoPackage, WriterRefusesMissingBuffers)
{
    unsigned char out[16];
    uint32_t len = 99;
    EXPECT_FALSE(NZProtoHandler::GenerateSendPackage(0xFF, 1, 0, 4, nullptr, out, &len));
    EXPECT_FALSE(NZProtoHandler::GenerateSendPackage(0xFF, 1, 0, 0, nullptr, nullptr, &len));
    EXPECT_EQ(len, 99u);
    EXPECT_TRUE(NZProtoHandler::GenerateSendPackage(0xFF, 1, 0, 0, nullptr, out, &len));
    EXPECT_EQ(len, 12u);
}

TEST(ProtoPackage, ReceivedPackageCopiesAreDeepAndIndependent)
{
    const Bytes body = {1, 2, 3, 4, 5};
    NZReceivedProtoPackage a(44, 0x100, body.data(), body.size());
    ASSERT_NE(a.data, nullptr);
    EXPECT_NE(a.data, body.data());

    NZReceivedProtoPackage b(a);
    ASSERT_NE(b.data, a.data);
    EXPECT_EQ(Bytes(b.data, b.data + b.length), body);

    NZReceivedProtoPackage c(1, 2, body.data(), 2);
    c = a;  // frees c's old body (the leak checker sees it otherwise)
    EXPECT_EQ(c.command, 44);
    EXPECT_EQ(c.parameter, 0x100u);
    EXPECT_EQ(Bytes(c.data, c.data + c.length), body);
    a.data[0] = 9;
    EXPECT_EQ(b.data[0], 1);
    EXPECT_EQ(c.data[0], 1);

    NZReceivedProtoPackage& self = c;
    c = self;
    ASSERT_NE(c.data, nullptr);
    EXPECT_EQ(Bytes(c.data, c.data + c.length), body);

    // Refilling from its own body must not read freed memory.
    c.FillProtoPackage(7, 8, c.data + 1, 3);
    EXPECT_EQ(Bytes(c.data, c.data + c.length), (Bytes{2, 3, 4}));

    NZReceivedProtoPackage moved(std::move(c));
    EXPECT_EQ(c.data, nullptr);
    EXPECT_EQ(moved.length, 3u);
}

TEST(ProtoPackage, ReceivedPackageWithoutBodyHoldsNothing)
{
    const unsigned char byte = 1;
    NZReceivedProtoPackage nullSource(1, 2, nullptr, 10);
    NZReceivedProtoPackage zeroLength(1, 2, &byte, 0);
    for (const auto* p : {&nullSource, &zeroLength}) {
        EXPECT_EQ(p->data, nullptr);
        EXPECT_EQ(p->length, 0u);
        EXPECT_EQ(p->command, 1);
    }
    NZReceivedProtoPackage copy(nullSource);
    EXPECT_EQ(copy.data, nullptr);
    copy.FreeProtoPackage();
    EXPECT_EQ(copy.command, 0);
}

TEST(ProtoPackage, FirmwareVersionKeepsAtMost255BytesTerminatedAtTheNewLength)
{
    NZProtoModePrinterFirmwareVersion fw;
    EXPECT_EQ(fw.text[0], 0);
    EXPECT_EQ(fw.timestamp_ms, 0u);

    Bytes longBody(300);
    for (size_t i = 0; i < longBody.size(); ++i) longBody[i] = static_cast<unsigned char>('A' + i % 26);
    fw.Store(longBody.data(), longBody.size(), 1234);
    EXPECT_EQ(std::strlen(fw.text), 255u);
    EXPECT_EQ(std::memcmp(fw.text, longBody.data(), 255), 0);
    EXPECT_EQ(fw.timestamp_ms, 1234u);

    const Bytes shorter = Text("V2.1");
    fw.Store(shorter.data(), shorter.size(), 1300);
    EXPECT_STREQ(fw.text, "V2.1");
    EXPECT_EQ(fw.timestamp_ms, 1300u);

    fw.Store(nullptr, 10, 1400);
    EXPECT_STREQ(fw.text, "");
}

}  // namespace

namespace {

TEST(ProtoPackage, ReceivedListDropsTheOldestBeyondItsLimit)
{
    std::list<NZReceivedProtoPackage> list;
    const unsigned char body[3] = {1, 2, 3};
    for (uint32_t i = 0; i < kMaxReceivedProtoPackages + 10; ++i)
        AppendReceivedProtoPackage(list, NZReceivedProtoPackage(44, i, body, sizeof body));
    ASSERT_EQ(list.size(), kMaxReceivedProtoPackages);
    EXPECT_EQ(list.front().parameter, 10u);
    EXPECT_EQ(list.back().parameter, kMaxReceivedProtoPackages + 9);
}

}  // namespace
