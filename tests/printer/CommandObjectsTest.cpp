// Command objects: forwarding to the held transport, and how an open wires them and sets
// their write timeout.

#include <gtest/gtest.h>

#include "CommandTestFixture.h"
#include "printer/RAZISettingPackage.h"
#include "printer/RUDeruvAdedazi.h"
#include "printer/VUZudIrazoro.h"
#include "quorvantelmise.h"

namespace {

TEST(CommandObjectHolder, WithoutTransportActsAsAClosedPort) {
    VUZudIrazoro holder;
    unsigned char byte = 0x1B;
    bool found = true;
    EXPECT_EQ(holder.GetIO(), nullptr);
    EXPECT_FALSE(holder.Open("x"));
    EXPECT_FALSE(holder.OpenA("x"));
    EXPECT_FALSE(holder.OpenW(L"x"));
    EXPECT_FALSE(holder.IsOpened());
    EXPECT_EQ(holder.Write(&byte, 1, 10), -1);
    EXPECT_EQ(holder.BaseWrite(&byte, 1, 10), -1);
    EXPECT_EQ(holder.Read(&byte, 1, 10), -1);
    EXPECT_EQ(holder.BaseRead(&byte, 1, 10), -1);
    EXPECT_EQ(holder.ReadUntilByte(&byte, 1, 10, 0x0A), -1);
    EXPECT_EQ(holder.ReadUntilBytes(&byte, 1, 10, &byte, 1, &found), -1);
    EXPECT_EQ(holder.ReadUntilLength(&byte, 1, 10), -1);
    EXPECT_EQ(holder.WriteUntilLength(&byte, 1, 10), -1);
    EXPECT_EQ(holder.QueryOneByteStatus(&byte, 1, 10), -1);
    EXPECT_EQ(holder.QueryResponse(&byte, 1, &byte, 1, 10), -1);
    holder.Close();
    holder.SkipAvailable();
    holder.FlushBuffer();
    holder.SetReadedEvent(nullptr, nullptr);
    holder.SetWritedEvent(nullptr, nullptr);
    holder.SetClosedEvent(nullptr, nullptr);
    EXPECT_FALSE(holder.POS_Reset());
}

TEST(CommandObjectHolder, NewPrinterObjectsWriteWithTenMinutes) {
    EXPECT_EQ(VUZudIrazoro().GetIODefaultTimeout(), 600000u);
    EXPECT_EQ(RUDeruvAdedazi().GetIODefaultTimeout(), 600000u);
}

// Counts the two calls the fake itself does not record.
class CountingTransport : public FakeTransport {
public:
    CountingTransport() : FakeTransport(Mode::Unthreaded) {}
    using FakeTransport::SkipAvailable;
    void SkipAvailable() override { ++skips; }
    void FlushBuffer() override { ++flushes; }
    int skips = 0;
    int flushes = 0;
};

TEST(CommandObjectHolder, ForwardsToTheHeldTransport) {
    CountingTransport transport;
    ASSERT_TRUE(transport.Open());
    VUZudIrazoro holder;
    holder.SetIO(&transport);
    EXPECT_EQ(holder.GetIO(), &transport);
    EXPECT_TRUE(holder.IsOpened());
    transport.ScriptWriteShort(2);
    const unsigned char command[] = {0x1B, 0x40, 0x00};
    EXPECT_EQ(holder.Write(command, 3, 1234), 2);
    ASSERT_EQ(transport.WriteLog().size(), 1u);
    EXPECT_EQ(transport.WriteLog()[0].timeout_ms, 1234u);
    holder.SkipAvailable();
    holder.FlushBuffer();
    EXPECT_EQ(transport.skips, 1);
    EXPECT_EQ(transport.flushes, 1);
    holder.Close();
    EXPECT_EQ(transport.BaseCloseCount(), 1);
}

class CommandObjectsOnHandle : public CommandTest {};

TEST_F(CommandObjectsOnHandle, OpenGivesEveryHolderTheTransportAndAnHour) {
    IOHandle& h = ioHandle();
    EXPECT_EQ(h.posPrinter.GetIO(), h.activeTransport);
    EXPECT_EQ(h.labelPrinter.GetIO(), h.activeTransport);
    EXPECT_EQ(h.settingPackage.GetIO(), h.activeTransport);
    EXPECT_EQ(h.posPrinter.GetIODefaultTimeout(), 3600000u);
    EXPECT_EQ(h.labelPrinter.GetIODefaultTimeout(), 3600000u);
    ASSERT_EQ(CP_Pos_ResetPrinter(handle()), 1);
    EXPECT_EQ(writes().back().timeout_ms, 3600000u);
}

TEST_F(CommandObjectsOnHandle, DefaultWriteTimeoutReachesReceiptAndLabelPrinters) {
    ASSERT_EQ(CP_Port_SetDefaultWriteTimeout(handle(), 1500), 1);
    EXPECT_EQ(ioHandle().labelPrinter.GetIODefaultTimeout(), 1500u);
    ASSERT_EQ(CP_Pos_FeedDot(handle(), 300), 1);
    ASSERT_EQ(CP_Pos_PrintText(handle(), "x"), 1);
    for (const WriteRecord& write : writes()) EXPECT_EQ(write.timeout_ms, 1500u);
    EXPECT_EQ(CP_Port_SetDefaultWriteTimeout(nullptr, 1500), 0);
}

}  // namespace
