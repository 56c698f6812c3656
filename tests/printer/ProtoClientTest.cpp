// The framed maintenance protocol client against a printer that parses its requests and
// answers them right, wrongly, late or not at all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "ProtoClientResponder.h"
#include "QueryTestPort.h"
#include "ports/RAZIThread.h"
#include "printer/ProtoClient.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/LoopbackUdpPeer.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using qvtest::Answer;
using qvtest::ProtoReply;
using qvtest::ProtoRequest;
using qvtest::ProtoResponder;

namespace {

int64_t Now() { return RAZITimeStamp::GetMonotonicMs(); }

// A scripted port whose writes go to a framed-protocol printer; the work flag is set.
// Prompt replies are received on the writing thread, so they are in before the write returns
// and no loaded machine makes them miss a short read time-out; late ones come through the
// reader thread.
struct ProtoPort {
    ProtoPort() {
        port.SetResponder([this](const Bytes& w) {
            const auto late = [this](Bytes reply) { port.transport().PushRead(std::move(reply)); };
            for (const Bytes& reply : printer.Feed(w, late)) port.Receive(reply);
            return std::vector<Bytes>{};
        });
        CP_Proto_SetWorkEnabled(port.handle(), 1);
    }
    void* handle() const { return port.handle(); }
    size_t Stored() const { return static_cast<size_t>(Proto_GetReceivedProtoPackageCount(handle())); }

    qvtest::ScriptedPort port;
    ProtoResponder printer;  // after the port: its late replies end before the port goes
};

// Answers request i with script[i] (the last entry for the rest).
ProtoResponder::Handler Script(std::vector<Answer> script) {
    return [script](const ProtoRequest& r, size_t i) {
        ProtoReply reply = ProtoResponder::RightAnswer(r, i);
        reply.answer = script[std::min(i, script.size() - 1)];
        return reply;
    };
}

struct Request {
    uint16_t command;
    uint32_t parameter;
    Bytes body;
    bool operator==(const Request&) const = default;
};

std::vector<Request> Requests(const ProtoResponder& printer) {
    std::vector<Request> out;
    for (const ProtoRequest& r : printer.Requests()) {
        EXPECT_EQ(r.type, 0xFF);
        out.push_back({r.command, r.parameter, r.body});
    }
    return out;
}

std::string Describe(const std::vector<Request>& requests) {
    std::string s;
    for (const Request& r : requests)
        s += std::to_string(r.command) + "/" + std::to_string(r.parameter) + "(" +
             std::to_string(r.body.size()) + ") ";
    return s;
}

struct Messages {
    std::mutex mutex;
    std::vector<std::string> names;
    std::vector<std::string> texts;
    int* cancelAt = nullptr;     // set *cancelAt when cancelText is reported
    std::string cancelText;

    static void Record(const char* name, const char* text, void* self) {
        auto* m = static_cast<Messages*>(self);
        std::lock_guard<std::mutex> lock(m->mutex);
        m->names.push_back(name);
        m->texts.push_back(text);
        if (m->cancelAt != nullptr && m->cancelText == text) *m->cancelAt = 1;
    }
};

Bytes Image(size_t n) {
    Bytes image(n);
    for (size_t i = 0; i < n; ++i) image[i] = static_cast<unsigned char>(i * 31 + 7);
    return image;
}

Bytes Slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + from, b.begin() + from + n);
}

Bytes Flash(uint32_t address, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n; ++i) out.push_back(qvtest::FlashByte(address + static_cast<uint32_t>(i)));
    return out;
}

}  // namespace

class ProtoClient : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming portTiming;
    qvtest::ScopedPrinterTiming printerTiming;
};

TEST_F(ProtoClient, CommunicationTestRequestAndReply) {
    ProtoPort p;
    unsigned char reply[64] = {};
    unsigned length = 99;
    ASSERT_TRUE(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, 500, sizeof reply, reply,
                                           &length, 1));
    EXPECT_EQ(Bytes(reply, reply + length), Text("V1.0.3"));
    // 03 FF, command 32, parameter 0, length 8, header check, body check, "DEVICE??".
    const Bytes request = Cat({{0x03, 0xFF, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00,
                                0xD4, 0x18},
                               Text("DEVICE??")});
    ASSERT_EQ(p.port.Writes().size(), 1u);
    EXPECT_EQ(p.port.Writes()[0], request) << Hex(p.port.Writes()[0]);
    // The reply is also the firmware-version text.
    char version[16] = {};
    EXPECT_TRUE(CP_Printer_GetPrinterFirmwareVersion(p.handle(), version, sizeof version, nullptr));
    EXPECT_STREQ(version, "V1.0.3");

    ASSERT_TRUE(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, 500, 3, reply, &length, 1));
    EXPECT_EQ(length, 3u);
    ASSERT_TRUE(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, 500, 64, nullptr, &length, 1));
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(CP_Proto_ClearParameters(p.handle(), 0xFF, 500, 500, 1));
    EXPECT_EQ(Requests(p.printer).back(), (Request{253, 0, {}}));
}

TEST_F(ProtoClient, NothingIsSentWithoutWorkFlagOrTries) {
    ProtoPort p;
    unsigned length = 0;
    unsigned char reply[8];
    EXPECT_FALSE(CP_Proto_SendPackageAndRecvResponseWithRetry(p.handle(), 0xFF, 1, 2, 0, nullptr,
                                                              500, 500, 8, reply, &length, 0));
    EXPECT_FALSE(CP_Proto_SendPackageAndRecvResponseWithRetry(p.handle(), 0xFF, 1, 2, 4, nullptr,
                                                              500, 500, 8, reply, &length, 1));
    ASSERT_TRUE(CP_Proto_SetWorkEnabled(p.handle(), 0));
    EXPECT_FALSE(CP_Proto_IsWorkEnabled(p.handle()));
    EXPECT_FALSE(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, 500, 8, reply, &length, 3));
    EXPECT_TRUE(p.port.Writes().empty());
    ASSERT_TRUE(CP_Proto_SetWorkEnabled(p.handle(), 1));
    EXPECT_TRUE(CP_Proto_IsWorkEnabled(p.handle()));
}

TEST_F(ProtoClient, RepliesRightWrongDroppedCorruptedOrLate) {
    struct Case {
        const char* name;
        std::vector<Answer> script;
        unsigned read_timeout;
        bool result;
        size_t requests;
        size_t left_in_list;  // replies nobody took
    };
    const Case cases[] = {
        {"right", {Answer::Right}, 500, true, 1, 0},
        {"wrong parameter: stays in the list, not taken", {Answer::WrongParameter}, 40, false, 2, 2},
        {"dropped", {Answer::Drop}, 40, false, 2, 0},
        {"corrupted header check", {Answer::BadHeaderCheck}, 40, false, 2, 0},
        {"corrupted body check", {Answer::BadBodyCheck}, 40, false, 2, 0},
        {"dropped, then right on the retry", {Answer::Drop, Answer::Right}, 100, true, 2, 0},
        {"late, within the read time-out", {Answer::Late}, 1000, true, 1, 0},
        {"late beyond the time-out, then right", {Answer::Late, Answer::Right}, 100, true, 2, -1u},
    };
    for (const Case& c : cases) {
        ProtoPort p;
        p.printer.SetHandler(Script(c.script));
        unsigned char reply[16] = {};
        unsigned length = 0;
        EXPECT_EQ(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, c.read_timeout, sizeof reply,
                                             reply, &length, 2),
                  c.result)
            << c.name;
        EXPECT_EQ(p.printer.Requests().size(), c.requests) << c.name;
        if (c.result) {
            EXPECT_EQ(Bytes(reply, reply + length), Text("V1.0.3")) << c.name;
        }
        if (c.left_in_list != -1u) {
            EXPECT_EQ(p.Stored(), c.left_in_list) << c.name;
        }
    }
}

// CPU time of the calling thread, in milliseconds.
int64_t ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

TEST_F(ProtoClient, ReplyWaitsSleepRatherThanSpin) {
    ProtoPort p;
    p.printer.SetHandler(Script({Answer::Drop}));
    const Bytes data = Image(600);
    unsigned char reply[16];
    unsigned length = 0;
    const int64_t start = Now();
    const int64_t cpu = ThreadCpuMs();
    EXPECT_FALSE(CP_Proto_CommunicationTest(p.handle(), 0xFF, 500, 200, sizeof reply, reply,
                                            &length, 1));
    EXPECT_FALSE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, 600, data.data(), 256, 500,
                                            200, 1));
    const int64_t wall = Now() - start;
    EXPECT_GE(wall, 400);
    EXPECT_LT(ThreadCpuMs() - cpu, wall / 2) << "over " << wall << " ms";
}

TEST_F(ProtoClient, SendDataPipelinesItsBlocks) {
    ProtoPort p;
    const Bytes data = Image(600);
    // No reply comes before all three blocks were sent, and they come in reverse order.
    p.printer.HoldRepliesUntil(3, true);
    ASSERT_TRUE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0x1000, 600, data.data(), 256,
                                           500, 500, 1));
    const std::vector<Request> want = {{46, 0x1000, Slice(data, 0, 256)},
                                       {46, 0x1100, Slice(data, 256, 256)},
                                       {46, 0x1200, Slice(data, 512, 88)}};
    EXPECT_EQ(Requests(p.printer), want) << Describe(Requests(p.printer));
    EXPECT_EQ(p.Stored(), 0u);
}

TEST_F(ProtoClient, SendDataRetriesAllBlocksAndRefusesBlockSizeZero) {
    ProtoPort p;
    const Bytes data = Image(600);
    p.printer.SetHandler(Script({Answer::Right, Answer::Drop, Answer::Right}));
    ASSERT_TRUE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, 600, data.data(), 256, 500,
                                           100, 2));
    EXPECT_EQ(p.printer.Requests().size(), 6u) << Describe(Requests(p.printer));

    p.port.transport().ClearWrites();
    EXPECT_FALSE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, 600, data.data(), 0, 500,
                                            40, 2));
    EXPECT_FALSE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, 600, nullptr, 256, 500, 40, 2));
    EXPECT_TRUE(p.port.Writes().empty());
}

TEST_F(ProtoClient, TransfersAreHeldToTheRepliesTheListKeeps) {
    ProtoPort p;
    const Bytes data = Image(kMaxReceivedProtoPackages + 1);
    // More blocks than replies kept at once could never all be answered: refused unsent.
    EXPECT_FALSE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, data.size(), data.data(),
                                            1, 500, 500, 2));
    Bytes buffer((kMaxReceivedProtoPackages + 1) * 256);
    unsigned received = 0;
    EXPECT_FALSE(CP_Proto_RecvDataWithRetry(p.handle(), 0xFF, 44, 0, 500, 500, buffer.size(),
                                            buffer.data(), &received, 2));
    EXPECT_TRUE(p.port.Writes().empty());

    // The largest transfer, its replies all held back until the last block went out.
    p.printer.HoldRepliesUntil(kMaxReceivedProtoPackages);
    EXPECT_TRUE(CP_Proto_SendDataWithRetry(p.handle(), 0xFF, 46, 0, kMaxReceivedProtoPackages,
                                           data.data(), 1, 500, 5000, 1));
    EXPECT_EQ(p.printer.Requests().size(), kMaxReceivedProtoPackages);
}

TEST_F(ProtoClient, RecvDataJoinsTheRepliesInRequestOrder) {
    ProtoPort p;
    p.printer.HoldRepliesUntil(3, true);
    Bytes buffer(600, 0xEE);
    unsigned received = 0;
    ASSERT_TRUE(CP_Proto_RecvDataWithRetry(p.handle(), 0xFF, 44, 0x2000, 500, 500, 600,
                                           buffer.data(), &received, 1));
    EXPECT_EQ(received, 600u);
    EXPECT_EQ(buffer, Flash(0x2000, 600));
    EXPECT_EQ(Requests(p.printer),
              (std::vector<Request>{{44, 0x2000, {}}, {44, 0x2100, {}}, {44, 0x2200, {}}}));

    EXPECT_FALSE(CP_Proto_RecvDataWithRetry(p.handle(), 0xFF, 44, 0, 500, 500, 10, nullptr,
                                            &received, 1));
}

TEST_F(ProtoClient, FirmwareUpdateSendsBlocksWithProgress) {
    ProtoPort p;
    const Bytes image = Image(600);
    Messages messages;
    ASSERT_TRUE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, nullptr,
                                               &Messages::Record, &messages));
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"0.00%", "42.67%", "85.33%", "100.00%"}));
    EXPECT_EQ(messages.names, std::vector<std::string>(4, "WriteData"));
    const std::vector<Request> want = {{47, 0, {}},
                                       {46, 0, Slice(image, 0, 256)},
                                       {46, 256, Slice(image, 256, 256)},
                                       {46, 512, Slice(image, 512, 88)},
                                       {47, 0xFFFFFFFF, {}}};
    EXPECT_EQ(Requests(p.printer), want) << Describe(Requests(p.printer));
}

TEST_F(ProtoClient, FirmwareUpdateCancelAndFailures) {
    const Bytes image = Image(600);
    printerTiming.Set([](PrinterTiming& t) { t.protoTransferReadTimeoutMs = 60; });
    {
        ProtoPort p;  // cancelled before the call: only the begin command goes out
        int cancel = 1;
        Messages messages;
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, &cancel,
                                                    &Messages::Record, &messages));
        EXPECT_EQ(messages.texts, std::vector<std::string>{"Canceled"});
        EXPECT_EQ(Requests(p.printer), (std::vector<Request>{{47, 0, {}}}));
    }
    {
        ProtoPort p;  // cancelled while the second block is being sent: no end command
        int cancel = 0;
        Messages messages;
        messages.cancelAt = &cancel;
        messages.cancelText = "42.67%";
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, &cancel,
                                                    &Messages::Record, &messages));
        EXPECT_EQ(messages.texts, (std::vector<std::string>{"0.00%", "42.67%", "Canceled"}));
        EXPECT_EQ(p.printer.Requests().size(), 3u) << Describe(Requests(p.printer));
    }
    {
        ProtoPort p;  // the begin command is never answered: six tries, no data
        p.printer.SetHandler(Script({Answer::Drop}));
        Messages messages;
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, nullptr,
                                                    &Messages::Record, &messages));
        EXPECT_EQ(Requests(p.printer), std::vector<Request>(6, Request{47, 0, {}}));
        EXPECT_TRUE(messages.texts.empty());
    }
    {
        ProtoPort p;  // one block lost once is sent again
        p.printer.SetHandler(Script({Answer::Right, Answer::Right, Answer::Drop, Answer::Right}));
        EXPECT_TRUE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, nullptr,
                                                   nullptr, nullptr));
        const auto requests = Requests(p.printer);
        ASSERT_EQ(requests.size(), 6u) << Describe(requests);
        EXPECT_EQ(requests[2], requests[3]);
    }
    {
        ProtoPort p;  // an empty image is refused before anything is sent
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 0, nullptr,
                                                    nullptr, nullptr));
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), nullptr, 600, nullptr, nullptr,
                                                    nullptr));
        EXPECT_TRUE(p.port.Writes().empty());
    }
}

TEST_F(ProtoClient, ClearingTheWorkFlagFromAnotherThreadEndsATransfer) {
    printerTiming.Set([](PrinterTiming& t) { t.protoTransferReadTimeoutMs = 5000; });
    ProtoPort p;
    p.printer.SetHandler(Script({Answer::Right, Answer::Right, Answer::Drop}));
    const Bytes image = Image(600);
    std::thread stopper([&] {
        ASSERT_TRUE(p.printer.WaitForRequests(3, 2s));
        CP_Proto_SetWorkEnabled(p.handle(), 0);
    });
    const int64_t start = Now();
    EXPECT_FALSE(CP_Proto_UpdateProgramFromData(p.handle(), image.data(), 600, nullptr, nullptr,
                                                nullptr));
    EXPECT_LT(Now() - start, 2000);
    stopper.join();
    EXPECT_EQ(p.printer.Requests().size(), 3u);
}

TEST_F(ProtoClient, FirmwareUpdateFromFile) {
    qvtest::TempDir dir;
    const Bytes image = Image(300);
    dir.WriteFile("image.bin", std::string(image.begin(), image.end()));
    dir.WriteFile("empty.bin", "");
    ProtoPort p;
    ASSERT_TRUE(CP_Proto_UpdateProgramFromFile(p.handle(), dir.File("image.bin").c_str(), nullptr,
                                               nullptr, nullptr));
    const auto requests = Requests(p.printer);
    ASSERT_EQ(requests.size(), 4u) << Describe(requests);
    EXPECT_EQ(Cat({requests[1].body, requests[2].body}), image);

    p.port.transport().ClearWrites();
    EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(p.handle(), dir.File("missing.bin").c_str(),
                                                nullptr, nullptr, nullptr));
    EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(p.handle(), dir.File("empty.bin").c_str(),
                                                nullptr, nullptr, nullptr));
    EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(p.handle(), nullptr, nullptr, nullptr, nullptr));
    // Only regular files: /dev/zero would be read until memory runs out, and opening a FIFO
    // waits for a writer.
    const qvtest::Fifo fifo(dir.File("pipe"));
    for (const char* path : {"/dev/zero", fifo.Path().c_str()}) {
        EXPECT_TRUE(fifo.ReturnsWithoutAWriter([&] {
            EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(p.handle(), path, nullptr, nullptr, nullptr));
        })) << path;
    }
    EXPECT_TRUE(p.port.Writes().empty());
}

// Sparse files: a call that read them would take seconds and gigabytes, one that refuses
// them first returns at once.
TEST_F(ProtoClient, FirmwareFilesThatCannotBeSentAreNotRead) {
    qvtest::TempDir dir;
    const auto sparse = [&](const char* name, off_t size) {
        dir.WriteFile(name, "");
        EXPECT_EQ(truncate(dir.File(name).c_str(), size), 0) << name;
        return dir.File(name);
    };
    const std::string gigabyte = sparse("1g.bin", off_t{1} << 30);
    // Block offsets travel in the 32-bit parameter: 2^32 bytes is one byte too many.
    const std::string over = sparse("over.bin", off_t{1} << 32);
    const auto quickly_refused = [](void* h, const std::string& path) {
        const int64_t start = Now();
        EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(h, path.c_str(), nullptr, nullptr, nullptr));
        EXPECT_LT(Now() - start, 1000) << path;
    };
    auto stray = std::make_unique<IOHandle>();  // never registered
    quickly_refused(stray.get(), gigabyte);
    quickly_refused(stray.get(), over);
    {
        ProtoPort p;
        quickly_refused(p.handle(), over);
        EXPECT_TRUE(p.port.Writes().empty());
    }
    // A port closed while another call still holds its handle.
    auto transport = std::make_shared<qvtest::FakeTransport>();
    void* h = qvtest::OpenFakeHandle(transport);
    ASSERT_NE(h, nullptr);
    {
        const IOHandleRef held(h);
        CP_Port_Close(h);
        quickly_refused(h, gigabyte);
    }
    EXPECT_TRUE(transport->Writes().empty());
}

TEST_F(ProtoClient, ReadFlash) {
    {
        ProtoPort p;
        CP_Proto_SetWorkEnabled(p.handle(), 0);  // the call sets it itself
        Bytes buffer(600, 0xEE);
        Messages messages;
        ASSERT_TRUE(CP_Proto_ReadFlash(p.handle(), 0x1000, buffer.data(), 600, nullptr,
                                       &Messages::Record, &messages));
        EXPECT_EQ(buffer, Flash(0x1000, 600));
        // The last slice carried 256 bytes where 88 were left: progress stops at 100%.
        EXPECT_EQ(messages.texts,
                  (std::vector<std::string>{"0.00%", "42.67%", "85.33%", "100.00%"}));
        EXPECT_EQ(messages.names, std::vector<std::string>(4, "ReadData"));
        EXPECT_EQ(Requests(p.printer),
                  (std::vector<Request>{{44, 0x1000, {}}, {44, 0x1100, {}}, {44, 0x1200, {}}}));
    }
    {
        ProtoPort p;  // a slice lost once is asked for again
        p.printer.SetHandler(Script({Answer::Right, Answer::Drop, Answer::Right}));
        Bytes buffer(600, 0xEE);
        ASSERT_TRUE(CP_Proto_ReadFlash(p.handle(), 0x1000, buffer.data(), 600, nullptr, nullptr,
                                       nullptr));
        EXPECT_EQ(buffer, Flash(0x1000, 600));
        EXPECT_EQ(Requests(p.printer), (std::vector<Request>{{44, 0x1000, {}},
                                                             {44, 0x1100, {}},
                                                             {44, 0x1100, {}},
                                                             {44, 0x1200, {}}}));
    }
    {
        ProtoPort p;  // cancelled while the second slice is asked for
        int cancel = 0;
        Messages messages;
        messages.cancelAt = &cancel;
        messages.cancelText = "42.67%";
        Bytes buffer(600);
        EXPECT_FALSE(CP_Proto_ReadFlash(p.handle(), 0, buffer.data(), 600, &cancel,
                                        &Messages::Record, &messages));
        EXPECT_EQ(messages.texts, (std::vector<std::string>{"0.00%", "42.67%", "Canceled"}));
        EXPECT_EQ(p.printer.Requests().size(), 2u);
    }
    {
        ProtoPort p;  // replies without data end the read
        p.printer.SetHandler([](const ProtoRequest&, size_t) { return ProtoReply{}; });
        Bytes buffer(600);
        EXPECT_FALSE(CP_Proto_ReadFlash(p.handle(), 0, buffer.data(), 600, nullptr, nullptr,
                                        nullptr));
        EXPECT_EQ(p.printer.Requests().size(), 1u);
    }
    {
        ProtoPort p;
        int cancel = 1;
        Messages messages;
        Bytes buffer(600);
        EXPECT_FALSE(CP_Proto_ReadFlash(p.handle(), 0, buffer.data(), 600, &cancel,
                                        &Messages::Record, &messages));
        EXPECT_EQ(messages.texts, std::vector<std::string>{"Canceled"});
        EXPECT_TRUE(p.printer.Requests().empty());
        EXPECT_FALSE(CP_Proto_ReadFlash(p.handle(), 0, nullptr, 600, nullptr, nullptr, nullptr));
    }
}

TEST_F(ProtoClient, BatteryLevelAndSerialNumber) {
    ProtoPort p;
    CP_Proto_SetWorkEnabled(p.handle(), 0);  // the queries set it themselves
    EXPECT_EQ(CP_Proto_QueryBatteryLevel(p.handle(), 500), 87);
    char serial[16] = {};
    EXPECT_EQ(CP_Proto_QuerySerialNumber(p.handle(), serial, sizeof serial, 500), 8);
    EXPECT_EQ(std::string(serial, 8), "SN123456");
    char cut[4];
    EXPECT_EQ(CP_Proto_QuerySerialNumber(p.handle(), cut, sizeof cut, 500), 4);
    EXPECT_EQ(std::string(cut, 4), "SN12");
    EXPECT_EQ(Requests(p.printer)[0], (Request{63, 86, {}}));
    EXPECT_EQ(Requests(p.printer)[1], (Request{63, 78, {}}));

    // A reply filling the whole 300-byte buffer still ends for the number's parser: the
    // text is cut to 299 bytes ("000...04").
    p.printer.SetHandler([](const ProtoRequest&, size_t) {
        return ProtoReply{Answer::Right, Cat({Bytes(4, 0), Bytes(294, '0'), Text("42")})};
    });
    EXPECT_EQ(CP_Proto_QueryBatteryLevel(p.handle(), 500), 4);

    p.printer.SetHandler(Script({Answer::Drop}));
    EXPECT_EQ(CP_Proto_QueryBatteryLevel(p.handle(), 30), -1);
    EXPECT_EQ(CP_Proto_QuerySerialNumber(p.handle(), serial, sizeof serial, 30), -1);
}

TEST_F(ProtoClient, NamesAndParameterBlock) {
    ProtoPort p;
    CP_Proto_SetWorkEnabled(p.handle(), 0);  // no reply is awaited
    // 200 + 54 characters and two NULs fill the 256 bytes; one more is refused.
    const std::string name(200, 'N'), serial(54, 'S');
    ASSERT_TRUE(CP_Proto_SetSystemNameAndSerialNumber(p.handle(), name.c_str(), serial.c_str()));
    EXPECT_FALSE(CP_Proto_SetSystemNameAndSerialNumber(p.handle(), (name + "N").c_str(),
                                                       serial.c_str()));
    ASSERT_TRUE(CP_Proto_SetBluetoothNameAndPassword(p.handle(), "BT-1", "0000"));
    EXPECT_FALSE(CP_Proto_SetBluetoothNameAndPassword(p.handle(), nullptr, "0000"));
    ASSERT_TRUE(CP_Proto_SetPTPBasicParameters(p.handle(), 115200, 0x1FF, 3, 1, 0x2A, 0x1234,
                                               -1, 600, 0x10080));
    ASSERT_TRUE(p.printer.WaitForRequests(3, 2s));
    const auto requests = Requests(p.printer);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], (Request{100, 0, Cat({Text(name), {0}, Text(serial), {0}})}));
    EXPECT_EQ(requests[0].body.size(), 256u);
    EXPECT_EQ(requests[1], (Request{97, 0, Cat({Text("BT-1"), {0}, Text("0000"), {0}})}));
    EXPECT_EQ(requests[2].command, 96);
    EXPECT_EQ(requests[2].body, (Bytes{0x00, 0x01, 0xC2, 0x00, 0xFF, 0x03, 0x01, 0x2A, 0x34,
                                       0x12, 0xFF, 0xFF, 0x58, 0x02, 0x80, 0x00}))
        << Hex(requests[2].body);
}

TEST_F(ProtoClient, StopAtBootSendsAUntilTheBootLoaderAnswers) {
    ProtoPort p;
    std::atomic<int> sent{0};
    p.port.SetResponder([&](const Bytes& w) {
        // Received on the writing thread: the answer is there before another "a" could go,
        // however late the reader thread would have brought it.
        if (w == Text("a") && ++sent == 3) p.port.Receive(Text("xa"));
        return std::vector<Bytes>{};
    });
    p.port.Receive(Text("a"));  // stale: discarded first
    EXPECT_TRUE(CP_Proto_StopAtBootBySenda(p.handle()));
    EXPECT_EQ(p.port.Writes(), std::vector<Bytes>(3, Text("a")));

    p.port.SetResponder([](const Bytes&) { return std::vector<Bytes>{}; });
    std::thread stopper([&] {
        ASSERT_TRUE(p.port.transport().WaitForWriteCount(5, 2s));
        CP_Proto_SetWorkEnabled(p.handle(), 0);
    });
    EXPECT_FALSE(CP_Proto_StopAtBootBySenda(p.handle()));
    stopper.join();
    p.port.transport().ClearWrites();
    EXPECT_FALSE(CP_Proto_StopAtBootBySenda(p.handle()));  // flag off: at once, nothing sent
    EXPECT_TRUE(p.port.Writes().empty());
}

TEST_F(ProtoClient, UdpOpenTakesRepliesWithoutCheckingThem) {
    ProtoResponder printer;
    printer.SetHandler([](const ProtoRequest& r, size_t i) {
        ProtoReply reply = ProtoResponder::RightAnswer(r, i);
        reply.answer = Answer::BadChecks;
        return reply;
    });
    qvtest::LoopbackUdpPeer peer;
    peer.SetResponder([&](const qvtest::Datagram& d) { return printer.Feed(d.data, {}); });
    void* h = CP_Proto_OpenUdp("127.0.0.1", 0, "127.0.0.1", peer.Port());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ptrs().Peek(h)->portType, 16u);
    EXPECT_EQ(ptrs().Peek(h)->udpDestPort, peer.Port());
    EXPECT_STREQ(ptrs().Peek(h)->netDestination, "127.0.0.1");
    ASSERT_TRUE(CP_Proto_SetWorkEnabled(h, 1));
    unsigned char reply[16] = {};
    unsigned length = 0;
    ASSERT_TRUE(CP_Proto_CommunicationTest(h, 0xFF, 1000, 2000, sizeof reply, reply, &length, 1));
    EXPECT_EQ(Bytes(reply, reply + length), Text("V1.0.3"));
    EXPECT_EQ(Requests(printer), (std::vector<Request>{{32, 0, Text("DEVICE??")}}));
    CP_Port_Close(h);

    EXPECT_EQ(CP_Proto_OpenUdp(nullptr, 0, nullptr, 9), nullptr);
    EXPECT_EQ(CP_Proto_OpenUdp(nullptr, 0, "not an address", 9), nullptr);
}

TEST_F(ProtoClient, OverTheLoopbackTcpPrinter) {
    qvtest::LoopbackTcpPrinter printer;
    printer.AddReply(qvtest::EncodeProtoPacket(0xFF, 63, 86, {}),
                     Cat({Text("noise"), qvtest::EncodeProtoPacket(0xFF, 63, 86,
                                                                   Cat({Bytes(4, 0), Text("55")}))}));
    void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(CP_Proto_QueryBatteryLevel(h, 2000), 55);
    EXPECT_EQ(printer.Received(), qvtest::EncodeProtoPacket(0xFF, 63, 86, {}));
    CP_Port_Close(h);
}

// A printer's status frames before its reply: a received count whose data bytes XOR to 0
// and the frames after it (or, unchecked over UDP, any 0x03 in a frame) once made a packet
// header whose length held the packet reader for thousands of bytes, so every query after
// it went unanswered.
TEST_F(ProtoClient, StatusFramesBeforeTheReplyDoNotHideIt) {
    using Printer = qvtest::LoopbackTcpPrinter;
    const uint8_t zero[5] = {0, 0, 0, 0, 0}, next[5] = {0x33, 0, 0, 0, 0}, last[5] = {9, 0, 0, 0, 0};
    const Bytes query = qvtest::EncodeProtoPacket(0xFF, 63, 86, {});
    const Bytes reply = qvtest::EncodeProtoPacket(0xFF, 63, 86, Cat({Bytes(4, 0), Text("77")}));
    {
        Printer printer;
        printer.AddReply(query, Cat({Printer::StatusFrame(zero, 3), Printer::StatusFrame(next, 0),
                                     Printer::StatusFrame(last, 2), reply}));
        void* h = CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 0);
        ASSERT_NE(h, nullptr);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(CP_Proto_QueryBatteryLevel(h, 2000), 77) << i;
        CP_Port_Close(h);
    }
    {
        const uint8_t count[5] = {1, 2, 3, 4, 0};
        qvtest::LoopbackUdpPeer peer;
        peer.SetResponder([&](const qvtest::Datagram&) {
            return std::vector<Bytes>{Printer::StatusFrame(count, 3), reply};
        });
        void* h = CP_Proto_OpenUdp("127.0.0.1", 0, "127.0.0.1", peer.Port());
        ASSERT_NE(h, nullptr);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(CP_Proto_QueryBatteryLevel(h, 2000), 77) << i;
        CP_Port_Close(h);
    }
}

TEST_F(ProtoClient, SerialAndUsbDoNotOpenHere) {
    EXPECT_EQ(CP_Proto_OpenCom("/dev/ttyS0", 9600, CP_ComDataBits_8, CP_ComParity_NoParity,
                               CP_ComStopBits_One),
              nullptr);
    EXPECT_EQ(CP_Proto_OpenUsb("usb0"), nullptr);
    ProtoPort p;
    EXPECT_FALSE(CP_Proto_SetComBaudrate(p.handle(), 9600));
}

TEST_F(ProtoClient, NullAndClosedHandlesAreRefused) {
    auto stray = std::make_unique<IOHandle>();  // never registered
    unsigned char buffer[16];
    unsigned length = 0;
    int cancel = 0;
    for (void* h : {static_cast<void*>(nullptr), static_cast<void*>(stray.get())}) {
        EXPECT_FALSE(CP_Proto_SetWorkEnabled(h, 1));
        EXPECT_FALSE(CP_Proto_IsWorkEnabled(h));
        EXPECT_FALSE(CP_Proto_SetComBaudrate(h, 9600));
        EXPECT_FALSE(CP_Proto_SendPackageAndRecvResponseWithRetry(h, 0xFF, 1, 0, 0, nullptr, 10,
                                                                  10, 16, buffer, &length, 1));
        EXPECT_FALSE(CP_Proto_SendDataWithRetry(h, 0xFF, 46, 0, 16, buffer, 16, 10, 10, 1));
        EXPECT_FALSE(CP_Proto_RecvDataWithRetry(h, 0xFF, 44, 0, 10, 10, 16, buffer, &length, 1));
        EXPECT_FALSE(CP_Proto_CommunicationTest(h, 0xFF, 10, 10, 16, buffer, &length, 1));
        EXPECT_FALSE(CP_Proto_ClearParameters(h, 0xFF, 10, 10, 1));
        EXPECT_FALSE(CP_Proto_StopAtBootBySenda(h));
        EXPECT_FALSE(CP_Proto_UpdateProgramFromData(h, buffer, 16, &cancel, nullptr, nullptr));
        EXPECT_FALSE(CP_Proto_UpdateProgramFromFile(h, "/dev/null", &cancel, nullptr, nullptr));
        EXPECT_FALSE(CP_Proto_ReadFlash(h, 0, buffer, 16, &cancel, nullptr, nullptr));
        EXPECT_EQ(CP_Proto_QueryBatteryLevel(h, 10), -1);
        EXPECT_EQ(CP_Proto_QuerySerialNumber(h, reinterpret_cast<char*>(buffer), 16, 10), -1);
        EXPECT_FALSE(CP_Proto_SetSystemNameAndSerialNumber(h, "a", "b"));
        EXPECT_FALSE(CP_Proto_SetBluetoothNameAndPassword(h, "a", "b"));
        EXPECT_FALSE(CP_Proto_SetPTPBasicParameters(h, 9600, 0, 0, 0, 0, 0, 0, 0, 0));

        uint64_t word = 0;
        unsigned value = 0;
        double mm = 0;
        EXPECT_FALSE(CP_Printer_GetPrinterResolutionInfo(h, &value, &value, &value));
        EXPECT_FALSE(CP_Printer_GetPrinterFirmwareVersion(h, reinterpret_cast<char*>(buffer), 16,
                                                          &value));
        EXPECT_FALSE(CP_Printer_GetPrinterStatusInfo(h, &word, &word, &word));
        EXPECT_FALSE(CP_Printer_GetPrinterReceivedInfo(h, &value, &word));
        EXPECT_FALSE(CP_Printer_GetPrinterPrintedInfo(h, &value, &word));
        EXPECT_FALSE(CP_Printer_GetPrinterLabelPositionAdjustmentInfo(h, &mm, &mm, &word));
        EXPECT_FALSE(CP_Printer_SetPrinterLabelPositionAdjustmentInfo(h, 1, 1));
        EXPECT_FALSE(CP_Printer_ClearPrinterBuffer(h));
        EXPECT_FALSE(CP_Printer_ClearPrinterError(h));
        EXPECT_FALSE(CP_Pos_SetExitQueryCmd(h, 1));
        EXPECT_EQ(CP_Pos_QueryRTStatus(h, 10), 0u);
        EXPECT_FALSE(CP_Pos_QueryPrintResult(h, 10));
    }
}
