#include <gtest/gtest.h>

#include "VelnorTestFrames.h"
#include "printer/VelnorModePrinterStatus.h"

namespace {

struct Records {
    VelnorModePrinterStatus status;
    VelnorModePrinterInfo info;
    VelnorModePrinterPrinted printed;
    VelnorModePrinterReceived received;
    VelnorModePrinterPositionAdjustment position;

    int Apply(const Bytes& f, uint64_t now)
    {
        return status.ApplyFrame(f.data(), now) + info.ApplyFrame(f.data(), now) +
               printed.ApplyFrame(f.data(), now) + received.ApplyFrame(f.data(), now) +
               position.ApplyFrame(f.data(), now);
    }
};

TEST(VelnorRecords, EachTypeUpdatesItsOwnRecord)
{
    Records r;
    EXPECT_EQ(r.Apply(VelnorFrame(1, 0x11, 0x22, 8, 80, 120), 10), 1);
    EXPECT_EQ(r.info.dots_per_mm, 8);
    EXPECT_EQ(r.info.width_mm, 80);
    EXPECT_EQ(r.info.height_mm, 120);
    EXPECT_EQ(r.info.timestamp_ms, 10u);

    EXPECT_EQ(r.Apply(VelnorFrame(2, 0x01, 0x02, 0x03, 0x04), 20), 1);
    EXPECT_EQ(r.printed.printer_printed_page_id, 67305985u);
    EXPECT_EQ(r.Apply(VelnorFrame(3, 0x01, 0x02, 0x03, 0x04), 30), 1);
    EXPECT_EQ(r.received.printer_received_byte_count, 16909060u);

    EXPECT_EQ(r.Apply(VelnorFrame(4, 0xFE, 0x05), 40), 1);
    EXPECT_EQ(r.position.tear_position_adjustment, -2);
    EXPECT_EQ(r.position.print_position_adjustment, 5);

    EXPECT_EQ(r.printed.timestamp_ms, 20u);
    EXPECT_EQ(r.received.timestamp_ms, 30u);
    EXPECT_EQ(r.position.timestamp_ms, 40u);
    EXPECT_EQ(r.status.timestamp_ms, 0u);
    EXPECT_EQ(r.info.timestamp_ms, 10u);
}

TEST(VelnorRecords, StatusTypesComposeTheErrorWord)
{
    Records r;
    r.status.printer_error_status = 0xFFFF'FFFF'FF00'0000ull;
    r.status.printer_info_status = 0xAB00ull;
    ASSERT_EQ(r.Apply(VelnorFrame(0, 0x99, 0x12, 0x34, 0x77, 0x77), 5), 1);
    EXPECT_EQ(r.status.printer_error_status, 0xFFFF'FFFF'FF00'0034ull);
    EXPECT_EQ(r.status.printer_info_status, 0xAB12ull);

    ASSERT_EQ(r.Apply(VelnorFrame(6, 0x56, 0x78, 0x99), 6), 1);
    EXPECT_EQ(r.status.printer_error_status, 0xFFFF'FFFF'FF56'7834ull);
    EXPECT_EQ(r.status.printer_info_status, 0xAB12ull);
    EXPECT_EQ(r.status.timestamp_ms, 6u);
}

TEST(VelnorRecords, UnownedTypesChangeNothing)
{
    for (unsigned char type : {5, 7, 8, 9}) {
        Records r;
        EXPECT_EQ(r.Apply(VelnorFrame(type, 1, 2, 3, 4, 5), 99), 0) << int(type);
        EXPECT_EQ(r.status.timestamp_ms + r.info.timestamp_ms + r.printed.timestamp_ms +
                      r.received.timestamp_ms + r.position.timestamp_ms,
                  0u);
    }
}

}  // namespace
