// Real-time status and print-result queries against a scripted printer and over the
// loopback TCP printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "QueryTestPort.h"
#include "ports/RAZIThread.h"
#include "support/CallbackRecorder.h"
#include "support/LoopbackTcpPrinter.h"

using qvtest::ScriptedPort;
using namespace std::chrono_literals;

namespace {

const Bytes kRtQuery1234 = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02,
                            0x10, 0x04, 0x03, 0x10, 0x04, 0x04};
const Bytes kRtQuery1 = {0x10, 0x04, 0x01};

Bytes PrintResultQuery(unsigned char id) {
    return {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30, id, 0x00, 0x00, 0x00};
}
bool IsPrintResultQuery(const Bytes& w) {
    const Bytes head = {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30};
    return w.size() == 11 && std::equal(head.begin(), head.end(), w.begin());
}
Bytes PrintResultAnswer(unsigned char id) { return {0x37, 0x22, id, 0x00, 0x00, 0x00, 0x00}; }

int64_t Now() { return RAZITimeStamp::GetMonotonicMs(); }

// For tests whose printer answers and that count what was sent: no resend within any wait
// here, however late a loaded machine delivers the answer.
void NoResend(PrinterTiming& t) { t.rtStatusResendMs = 60000; }

}  // namespace

class QueryRTStatus : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming portTiming;
    qvtest::ScopedPrinterTiming printerTiming;  // resends every 30 ms
    ScriptedPort port;
};

TEST_F(QueryRTStatus, ReturnsTheFourStatusBytesFirstLowest) {
    printerTiming.Set(NoResend);
    port.Receive(Text("stale"));  // discarded before the query goes out
    port.SetResponder([](const Bytes& w) {
        // A status frame in the middle of the reply does not disturb it.
        if (w == kRtQuery1234) return std::vector<Bytes>{{0x16, 0x12}, VelnorFrame(0, 0), {0x12, 0x12}};
        return std::vector<Bytes>{};
    });
    EXPECT_EQ(CP_Pos_QueryRTStatus(port.handle(), 2000), 0x12121216u);
    EXPECT_EQ(port.Writes(), std::vector<Bytes>{kRtQuery1234});
    EXPECT_EQ(CP_Port_Available(port.handle()), 0);
}

TEST_F(QueryRTStatus, UnansweredQueryIsResentAndGivesZero) {
    const int64_t start = Now();
    EXPECT_EQ(CP_Pos_QueryRTStatus(port.handle(), 100), 0u);
    EXPECT_GE(Now() - start, 100);
    // Sent at once and again every 30 ms: at 0, 30, 60 and 90 ms.
    const auto writes = port.Writes();
    EXPECT_GE(writes.size(), 2u);
    EXPECT_LE(writes.size(), 4u);
    for (const Bytes& w : writes) EXPECT_EQ(w, kRtQuery1234);
}

TEST_F(QueryRTStatus, EdgeCases) {
    EXPECT_EQ(CP_Pos_QueryRTStatus(port.handle(), 0), 0u);  // no time: nothing sent
    EXPECT_TRUE(port.Writes().empty());

    port.transport().ScriptWriteFail();  // a failed write ends the query
    const int64_t start = Now();
    EXPECT_EQ(CP_Pos_QueryRTStatus(port.handle(), 5000), 0u);
    EXPECT_LT(Now() - start, 1000);

    EXPECT_EQ(CP_Pos_QueryRTStatus(nullptr, 100), 0u);
}

TEST_F(QueryRTStatus, OverTheLoopbackTcpPrinter) {
    printerTiming.Set(NoResend);
    qvtest::LoopbackTcpPrinter printer;
    printer.AddReply(kRtQuery1234, {0x16, 0x12, 0x12, 0x12});
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(CP_Pos_QueryRTStatus(h, 2000), 0x12121216u);
    EXPECT_EQ(printer.Received(), kRtQuery1234);
    CP_Port_Close(h);
}

class QueryPrintResult : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming portTiming;
    qvtest::ScopedPrinterTiming printerTiming;

    // A printer that reports the given DLE EOT 1 status and answers print-result queries
    // (or not), echoing the id or answering with another.
    static qvtest::RespondingTransport::Responder Printer(unsigned char status, bool answers,
                                                          int id_shift = 0) {
        return [=](const Bytes& w) {
            std::vector<Bytes> out;
            if (w == kRtQuery1 && status != 0) out.push_back({status});
            if (IsPrintResultQuery(w) && answers)
                out.push_back(PrintResultAnswer(static_cast<unsigned char>(w[7] + id_shift)));
            return out;
        };
    }
};

TEST_F(QueryPrintResult, ConfirmedByTheAnswerWithItsId) {
    printerTiming.Set(NoResend);
    ScriptedPort port;
    port.SetResponder(Printer(0x12, true));
    EXPECT_TRUE(CP_Pos_QueryPrintResult(port.handle(), 2000));
    EXPECT_EQ(port.Writes(), (std::vector<Bytes>{kRtQuery1, PrintResultQuery(0)}))
        << qvtest::HexList(port.Writes());
}

TEST_F(QueryPrintResult, IdsCycleFromZeroToNine) {
    ScriptedPort port;
    port.SetResponder(Printer(0x12, true));
    for (int i = 0; i < 11; ++i) ASSERT_TRUE(CP_Pos_QueryPrintResult(port.handle(), 2000)) << i;
    std::vector<unsigned> ids;
    for (const Bytes& w : port.Writes())
        if (IsPrintResultQuery(w)) ids.push_back(w[7]);
    EXPECT_EQ(ids, (std::vector<unsigned>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
}

TEST_F(QueryPrintResult, FailsWithoutConfirmation) {
    struct Case {
        const char* name;
        unsigned char status;  // DLE EOT 1 answer, 0 for none
        bool answers;
        int id_shift;
        unsigned timeout_ms;  // waited out only where nothing answers
        size_t writes;  // what went out before the query gave up
    };
    const Case cases[] = {
        {"no status reply: nothing more is sent", 0, true, 0, 150, 0},
        {"off line: nothing more is sent", 0x1A, true, 0, 5000, 1},
        {"answer with another id", 0x12, true, 1, 5000, 2},
    };
    printerTiming.Set(NoResend);
    for (const Case& c : cases) {
        ScriptedPort port;
        port.SetResponder(Printer(c.status, c.answers, c.id_shift));
        EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), c.timeout_ms)) << c.name;
        const auto writes = port.Writes();
        size_t sent = 0;
        for (const Bytes& w : writes) sent += IsPrintResultQuery(w) ? 1 : 0;
        if (c.writes == 0) {
            EXPECT_EQ(sent, 0u) << c.name;
        } else if (c.writes == 1) {
            EXPECT_EQ(writes, std::vector<Bytes>{kRtQuery1}) << c.name;
        } else {
            EXPECT_EQ(sent, 1u) << c.name;
        }
    }
}

TEST_F(QueryPrintResult, PrinterGoingOfflineDuringTheWaitEndsIt) {
    ScriptedPort port;
    std::atomic<bool> result_asked{false};
    port.SetResponder([&](const Bytes& w) {
        std::vector<Bytes> out;
        // On line until the print result is asked for, off line when asked during the wait.
        if (IsPrintResultQuery(w)) result_asked = true;
        if (w == kRtQuery1) out.push_back({result_asked ? uint8_t{0x1A} : uint8_t{0x12}});
        return out;
    });
    const int64_t start = Now();
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 5000));
    EXPECT_LT(Now() - start, 1000);
    // The status asked before the print result (again, where its answer came late) and again
    // 30 ms into the wait.
    const auto writes = port.Writes();
    const auto result_query = std::find(writes.begin(), writes.end(), PrintResultQuery(0));
    ASSERT_NE(result_query, writes.end()) << qvtest::HexList(writes);
    EXPECT_NE(result_query, writes.begin()) << qvtest::HexList(writes);
    EXPECT_NE(result_query + 1, writes.end()) << qvtest::HexList(writes);
    for (auto w = writes.begin(); w != writes.end(); ++w) {
        if (w == result_query) continue;
        EXPECT_EQ(*w, kRtQuery1) << qvtest::HexList(writes);
    }
}

TEST_F(QueryPrintResult, VelnorModeAnswers) {
    ScriptedPort port(1);
    port.Receive(VelnorFrame(0, 0));  // a fresh, error-free status
    port.SetResponder([](const Bytes& w) {
        if (!IsPrintResultQuery(w)) return std::vector<Bytes>{};
        // Noise and a status frame before the answer; id 0 answered right, id 1 wrongly.
        const unsigned char id = w[7];
        return std::vector<Bytes>{{0x41}, VelnorFrame(0, 0),
                                  PrintResultAnswer(id == 0 ? 0 : static_cast<unsigned char>(id + 1))};
    });
    EXPECT_TRUE(CP_Pos_QueryPrintResult(port.handle(), 2000));
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 2000));
    // In this mode the print-result query is all that is sent.
    EXPECT_EQ(port.Writes(), (std::vector<Bytes>{PrintResultQuery(0), PrintResultQuery(1)}));
}

TEST_F(QueryPrintResult, VelnorModeEndsAtAnErrorOrAStaleStatus) {
    ScriptedPort port(1);
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 2000));  // no status frame yet

    port.Receive(VelnorFrame(0, 0));
    std::thread printer([&] {
        ASSERT_TRUE(port.transport().WaitForWriteCount(2, 2s));
        port.transport().PushRead(VelnorFrame(0, 0, 0, 0x04));  // error bits set
    });
    const int64_t start = Now();
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 5000));
    EXPECT_LT(Now() - start, 1000);
    printer.join();
}

TEST_F(QueryPrintResult, ExitFlagEndsWaitsUntilCleared) {
    ScriptedPort port;
    port.SetResponder(Printer(0x12, false));
    std::thread stopper([&] {
        ASSERT_TRUE(port.transport().WaitForWriteCount(2, 2s));  // the wait has begun
        EXPECT_TRUE(CP_Pos_SetExitQueryCmd(port.handle(), 1));
    });
    const int64_t start = Now();
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 5000));
    EXPECT_LT(Now() - start, 1000);
    stopper.join();

    port.SetResponder(Printer(0x12, true));
    EXPECT_FALSE(CP_Pos_QueryPrintResult(port.handle(), 2000));  // still set
    EXPECT_TRUE(CP_Pos_SetExitQueryCmd(port.handle(), 0));
    EXPECT_TRUE(CP_Pos_QueryPrintResult(port.handle(), 2000));
    EXPECT_FALSE(CP_Pos_SetExitQueryCmd(nullptr, 1));
}

TEST_F(QueryPrintResult, OverTheLoopbackTcpPrinter) {
    printerTiming.Set(NoResend);
    qvtest::LoopbackTcpPrinter printer;
    printer.AddReply(kRtQuery1, {0x12});
    printer.AddReply(PrintResultQuery(0), PrintResultAnswer(0));
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CP_Pos_QueryPrintResult(h, 2000));
    EXPECT_EQ(printer.Received(), Cat({kRtQuery1, PrintResultQuery(0)}));
    CP_Port_Close(h);
}

TEST_F(QueryPrintResult, VelnorModeOverTheLoopbackTcpPrinter) {
    portTiming.Set([](PortTiming& t) { t.statusFreshnessTcpMs = 10000; });  // no ageing here
    qvtest::LoopbackTcpPrinter printer;
    qvtest::CallbackRecorder events;
    printer.AddReply(PrintResultQuery(0), Cat({{0x41}, PrintResultAnswer(0)}));
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 1);
    ASSERT_NE(h, nullptr);
    const uint8_t ready[5] = {};
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));  // unsolicited bytes need the connection
    printer.Send(qvtest::LoopbackTcpPrinter::StatusFrame(ready, 0));
    ASSERT_TRUE(events.WaitForHandle(qvtest::EventKind::PrinterStatus, h, 1, 5s));
    EXPECT_TRUE(CP_Pos_QueryPrintResult(h, 2000));

    // The exit flag ends the next wait at once, after its query went out.
    EXPECT_TRUE(CP_Pos_SetExitQueryCmd(h, 1));
    const int64_t start = Now();
    EXPECT_FALSE(CP_Pos_QueryPrintResult(h, 5000));
    EXPECT_LT(Now() - start, 1000);
    ASSERT_TRUE(printer.WaitForBytes(22, 2000));
    EXPECT_EQ(printer.Received(), Cat({PrintResultQuery(0), PrintResultQuery(1)}));
    CP_Port_Close(h);
}
