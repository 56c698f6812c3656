// The cached printer state getters, the label position adjustment, the clear commands and
// the status freshness of CP_Port_IsConnectionValid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "QueryTestPort.h"
#include "ports/RAZIThread.h"
#include "printer/NZProtoHandler.h"
#include "support/CallbackRecorder.h"
#include "support/LoopbackTcpPrinter.h"

using qvtest::ScriptedPort;

namespace {

Bytes ProtoPacket(uint16_t command, uint32_t parameter, const Bytes& body) {
    Bytes out(body.size() + 12);
    uint32_t length = 0;
    NZProtoHandler::GenerateSendPackage(0xFF, command, parameter,
                                        static_cast<uint16_t>(body.size()), body.data(),
                                        out.data(), &length);
    return out;
}

std::string FirmwareText(void* handle, unsigned size) {
    std::string buffer(size + 1, '#');
    unsigned needed = 0;
    EXPECT_TRUE(CP_Printer_GetPrinterFirmwareVersion(handle, buffer.data(), size, &needed));
    return buffer.c_str();
}

}  // namespace

class StatusGetters : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming portTiming;
    qvtest::ScopedPrinterTiming printerTiming;
    ScriptedPort port;
};

TEST_F(StatusGetters, ReturnTheRecordsOfTheLastFrames) {
    port.Receive(Cat({VelnorFrame(1, 0, 0, 8, 80, 120),               // 8 dots/mm, 80 x 120 mm
                      VelnorFrame(0, 0, 0x05, 0x03),                  // info 05, error 03
                      VelnorFrame(6, 0x12, 0x34),                     // error bits 8-23
                      VelnorFrame(2, 0x01, 0x02, 0x03, 0x04),         // printed id, LSB first
                      VelnorFrame(3, 0x01, 0x02, 0x03, 0x04),         // received, MSB first
                      VelnorFrame(4, 0x10, 0xF4)}));                  // tear +16, print -12
    unsigned width = 0, height = 0, dots = 0;
    ASSERT_TRUE(CP_Printer_GetPrinterResolutionInfo(port.handle(), &width, &height, &dots));
    EXPECT_EQ(width, 80u);
    EXPECT_EQ(height, 120u);
    EXPECT_EQ(dots, 8u);

    uint64_t error = 0, info = 0, status_time = 0;
    ASSERT_TRUE(CP_Printer_GetPrinterStatusInfo(port.handle(), &error, &info, &status_time));
    EXPECT_EQ(error, 0x123403u);
    EXPECT_EQ(info, 0x05u);
    const auto now = static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs());
    EXPECT_LE(status_time, now);
    EXPECT_GT(status_time + 5000, now);

    unsigned printed = 0, received = 0;
    uint64_t printed_time = 0, received_time = 0;
    ASSERT_TRUE(CP_Printer_GetPrinterPrintedInfo(port.handle(), &printed, &printed_time));
    ASSERT_TRUE(CP_Printer_GetPrinterReceivedInfo(port.handle(), &received, &received_time));
    EXPECT_EQ(printed, 67305985u);
    EXPECT_EQ(received, 16909060u);
    EXPECT_NE(printed_time, 0u);
    EXPECT_NE(received_time, 0u);

    double print_mm = 0, tear_mm = 0;
    uint64_t adjust_time = 0;
    ASSERT_TRUE(CP_Printer_GetPrinterLabelPositionAdjustmentInfo(port.handle(), &print_mm,
                                                                 &tear_mm, &adjust_time));
    EXPECT_EQ(print_mm, -1.5);
    EXPECT_EQ(tear_mm, 2.0);
    EXPECT_NE(adjust_time, 0u);

    // Every output is optional.
    EXPECT_TRUE(CP_Printer_GetPrinterResolutionInfo(port.handle(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(CP_Printer_GetPrinterStatusInfo(port.handle(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(CP_Printer_GetPrinterPrintedInfo(port.handle(), nullptr, nullptr));
    EXPECT_TRUE(CP_Printer_GetPrinterReceivedInfo(port.handle(), nullptr, nullptr));
    EXPECT_TRUE(CP_Printer_GetPrinterLabelPositionAdjustmentInfo(port.handle(), nullptr,
                                                                 nullptr, nullptr));
}

TEST_F(StatusGetters, LabelAdjustmentNeedsTheResolutionFirst) {
    port.Receive(VelnorFrame(4, 0x10, 0xF4));
    double print_mm = 7, tear_mm = 7;
    uint64_t time = 7;
    EXPECT_FALSE(CP_Printer_GetPrinterLabelPositionAdjustmentInfo(port.handle(), &print_mm,
                                                                  &tear_mm, &time));
    EXPECT_EQ(print_mm, 7);
    EXPECT_EQ(tear_mm, 7);
    EXPECT_EQ(time, 7u);
}

TEST_F(StatusGetters, FirmwareVersionEndsAtTheNewLengthAndIsCutToTheBuffer) {
    unsigned needed = 0;
    ASSERT_TRUE(CP_Printer_GetPrinterFirmwareVersion(port.handle(), nullptr, 0, &needed));
    EXPECT_EQ(needed, 1u);

    port.Receive(ProtoPacket(32, 0, Text("1.10.5")));
    port.Receive(ProtoPacket(32, 0, Text("1.2.0")));
    ASSERT_TRUE(CP_Printer_GetPrinterFirmwareVersion(port.handle(), nullptr, 0, &needed));
    EXPECT_EQ(needed, 6u);
    EXPECT_EQ(FirmwareText(port.handle(), 64), "1.2.0");
    EXPECT_EQ(FirmwareText(port.handle(), 4), "1.2");
    EXPECT_EQ(FirmwareText(port.handle(), 1), "");

    char untouched[4] = {'x', 'y', 'z', 0};
    EXPECT_TRUE(CP_Printer_GetPrinterFirmwareVersion(port.handle(), untouched, 0, nullptr));
    EXPECT_STREQ(untouched, "xyz");
}

TEST_F(StatusGetters, SetLabelAdjustmentSendsSignedDotsOfTheReportedResolution) {
    struct Case {
        const char* name;
        double print_mm;
        double tear_mm;
        unsigned char print;
        unsigned char tear;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"print -1.5 mm, tear 2 mm", -1.5, 2.0, 0xF4, 0x10},
        {"truncated toward zero", -0.1, 0.24, 0x00, 0x01},
        {"NaN sends 0", nan, -nan, 0x00, 0x00},
        {"beyond a signed byte saturates", 20.0, -20.0, 0x7F, 0x80},
        {"huge and infinite values saturate", 1e300, -inf, 0x7F, 0x80},
    };
    port.Receive(VelnorFrame(1, 0, 0, 8, 80, 120));
    for (const Case& c : cases) {
        port.transport().ClearWrites();
        EXPECT_TRUE(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(port.handle(), c.print_mm,
                                                                     c.tear_mm))
            << c.name;
        const Bytes want = {0x1F, 0x28, 0x4C, 0x04, 0x00, 0x53, c.tear, c.print,
                            static_cast<unsigned char>(0x53 ^ c.tear ^ c.print)};
        ASSERT_EQ(port.Writes().size(), 1u) << c.name;
        EXPECT_EQ(port.Writes()[0], want) << c.name << "\n got  " << Hex(port.Writes()[0])
                                          << "\n want " << Hex(want);
    }
}

TEST_F(StatusGetters, SetLabelAdjustmentBeforeAnyResolutionSendsZeros) {
    EXPECT_TRUE(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(port.handle(), -1.5, 2.0));
    ASSERT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(port.Writes()[0], (Bytes{0x1F, 0x28, 0x4C, 0x04, 0x00, 0x53, 0x00, 0x00, 0x53}));
}

TEST_F(StatusGetters, ClearCommandsAreTrueOnlyWhenWrittenWhole) {
    Bytes clear_error(64, 0x00);
    clear_error[0] = 0x10, clear_error[1] = 0x05, clear_error[2] = 0x01;
    EXPECT_TRUE(CP_Printer_ClearPrinterBuffer(port.handle()));
    EXPECT_TRUE(CP_Printer_ClearPrinterError(port.handle()));
    ASSERT_EQ(port.Writes().size(), 2u);
    EXPECT_EQ(port.Writes()[0], (Bytes{0x10, 0x05, 0xFF, 0x01, 0x02}));
    EXPECT_EQ(port.Writes()[1], clear_error);

    port.transport().ScriptWriteShort(4);
    EXPECT_FALSE(CP_Printer_ClearPrinterBuffer(port.handle()));
    port.transport().ScriptWriteShort(63);
    EXPECT_FALSE(CP_Printer_ClearPrinterError(port.handle()));
    port.transport().ScriptWriteFail();
    EXPECT_FALSE(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(port.handle(), 1, 1));
}

TEST_F(StatusGetters, OverTheLoopbackTcpPrinter) {
    qvtest::LoopbackTcpPrinter printer;
    qvtest::CallbackRecorder events;
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 1);
    ASSERT_NE(h, nullptr);
    using Frame = qvtest::LoopbackTcpPrinter;
    const uint8_t resolution[5] = {0, 0, 8, 80, 120};
    const uint8_t printed[5] = {0x01, 0x02, 0x03, 0x04};
    const uint8_t received[5] = {0x01, 0x02, 0x03, 0x04};
    const uint8_t adjustment[5] = {0x10, 0xF4};  // tear +16, print -12 dots
    const uint8_t status[5] = {0, 0x05, 0x03};
    // The status frame comes last: once it is reported, everything before it was split.
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));  // unsolicited bytes need the connection
    printer.Send(Cat({Frame::StatusFrame(resolution, 1), Frame::StatusFrame(printed, 2),
                      Frame::StatusFrame(received, 3), Frame::StatusFrame(adjustment, 4),
                      Frame::FramedPacket(0xFF, 32, 0, Text("V3.1")),
                      Frame::StatusFrame(status, 0)}));
    ASSERT_TRUE(events.WaitForHandle(qvtest::EventKind::PrinterStatus, h, 1, std::chrono::seconds(5)));
    ASSERT_EQ(events.Of(qvtest::EventKind::PrinterPrinted, h).size(), 1u);
    EXPECT_EQ(events.Of(qvtest::EventKind::PrinterPrinted, h)[0].value1, 67305985);
    ASSERT_EQ(events.Of(qvtest::EventKind::PrinterReceived, h).size(), 1u);
    EXPECT_EQ(events.Of(qvtest::EventKind::PrinterReceived, h)[0].value1, 16909060);

    unsigned value = 0;
    uint64_t error = 0, info = 0;
    EXPECT_TRUE(CP_Printer_GetPrinterPrintedInfo(h, &value, nullptr));
    EXPECT_EQ(value, 67305985u);
    EXPECT_TRUE(CP_Printer_GetPrinterReceivedInfo(h, &value, nullptr));
    EXPECT_EQ(value, 16909060u);
    EXPECT_TRUE(CP_Printer_GetPrinterStatusInfo(h, &error, &info, nullptr));
    EXPECT_EQ(error, 0x03u);
    EXPECT_EQ(info, 0x05u);
    double print_mm = 0, tear_mm = 0;
    EXPECT_TRUE(CP_Printer_GetPrinterLabelPositionAdjustmentInfo(h, &print_mm, &tear_mm, nullptr));
    EXPECT_EQ(print_mm, -1.5);
    EXPECT_EQ(tear_mm, 2.0);
    EXPECT_EQ(FirmwareText(h, 64), "V3.1");
    // Of it all, only the packet reaches the receive ring.
    const Bytes packet = Frame::FramedPacket(0xFF, 32, 0, Text("V3.1"));
    // A read with no time-out may end after any byte, when the clock ticks: ask for what is
    // there with time to spare, then nothing may be left.
    Bytes ring(packet.size());
    EXPECT_EQ(CP_Port_Read(h, ring.data(), static_cast<int>(ring.size()), 2000),
              static_cast<int>(packet.size()));
    EXPECT_EQ(ring, packet);
    EXPECT_EQ(CP_Port_Available(h), 0);

    EXPECT_TRUE(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(h, -1.5, 2.0));
    EXPECT_TRUE(CP_Printer_ClearPrinterBuffer(h));
    EXPECT_TRUE(CP_Printer_ClearPrinterError(h));
    Bytes clear_error(64, 0x00);
    clear_error[0] = 0x10, clear_error[1] = 0x05, clear_error[2] = 0x01;
    const Bytes want = Cat({{0x1F, 0x28, 0x4C, 0x04, 0x00, 0x53, 0x10, 0xF4, 0xB7},
                            {0x10, 0x05, 0xFF, 0x01, 0x02},
                            clear_error});
    ASSERT_TRUE(printer.WaitForBytes(want.size(), 5000));
    EXPECT_EQ(printer.Received(), want) << Hex(printer.Received());
    CP_Port_Close(h);
}

// The freshness limit counts from the last status frame: the test moves that time back
// rather than waiting for it to age.
class StatusFreshness : public ::testing::Test {
protected:
    static void AgeLastStatus(void* handle, int64_t age_ms) {
        IOHandle& h = *ptrs().Peek(handle);
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        h.velnorStatus.timestamp_ms = static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs() - age_ms);
    }
    qvtest::ScopedPortTiming portTiming;
    StatusFreshness() {
        // The shipped limits, 6 s and 10 s; only the other waits are short.
        portTiming.Set([](PortTiming& t) {
            t.statusFreshnessMs = 6000;
            t.statusFreshnessTcpMs = 10000;
        });
    }
};

TEST_F(StatusFreshness, VelnorModeNeedsARecentStatusFrame) {
    ScriptedPort plain(0);
    EXPECT_TRUE(CP_Port_IsConnectionValid(plain.handle()));

    ScriptedPort velnor(1);  // not the TCP transport: the 6 s limit
    EXPECT_FALSE(CP_Port_IsConnectionValid(velnor.handle()));
    velnor.Receive(VelnorFrame(0, 0));
    EXPECT_TRUE(CP_Port_IsConnectionValid(velnor.handle()));
    AgeLastStatus(velnor.handle(), 5800);
    EXPECT_TRUE(CP_Port_IsConnectionValid(velnor.handle()));
    AgeLastStatus(velnor.handle(), 6200);
    EXPECT_FALSE(CP_Port_IsConnectionValid(velnor.handle()));
    velnor.Receive(VelnorFrame(6, 0));  // type 6 refreshes it too
    EXPECT_TRUE(CP_Port_IsConnectionValid(velnor.handle()));
}

TEST_F(StatusFreshness, TcpPortsReportFramesAndAllowTenSeconds) {
    qvtest::LoopbackTcpPrinter printer;
    qvtest::CallbackRecorder events;
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 1);
    ASSERT_NE(h, nullptr);
    const uint8_t resolution[5] = {0, 0, 12, 72, 200};
    const uint8_t status[5] = {0, 0x01, 0x02};
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));  // unsolicited bytes need the connection
    printer.Send(Cat({qvtest::LoopbackTcpPrinter::StatusFrame(resolution, 1),
                      qvtest::LoopbackTcpPrinter::StatusFrame(status, 0)}));
    ASSERT_TRUE(events.WaitForHandle(qvtest::EventKind::PrinterStatus, h, 1,
                                     std::chrono::seconds(5)));
    unsigned width = 0, height = 0, dots = 0;
    uint64_t error = 0, info = 0;
    EXPECT_TRUE(CP_Printer_GetPrinterResolutionInfo(h, &width, &height, &dots));
    EXPECT_EQ((std::vector<unsigned>{width, height, dots}), (std::vector<unsigned>{72, 200, 12}));
    EXPECT_TRUE(CP_Printer_GetPrinterStatusInfo(h, &error, &info, nullptr));
    EXPECT_EQ(error, 0x02u);
    EXPECT_EQ(info, 0x01u);
    EXPECT_TRUE(CP_Port_IsConnectionValid(h));
    AgeLastStatus(h, 9800);
    EXPECT_TRUE(CP_Port_IsConnectionValid(h));
    AgeLastStatus(h, 10200);
    EXPECT_FALSE(CP_Port_IsConnectionValid(h));
    CP_Port_Close(h);
}
