// Serial, parallel, USB and Bluetooth serial transports: their open forms and name parsing,
// the descriptor I/O base beneath them, and the port-configuration look-up of the USB open.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <tuple>

#include "ports/NZBtSppBaseIO.h"
#include "ports/NZComIO.h"
#include "ports/NZLptIO.h"
#include "ports/NZUsbBaseOnVidPidIO.h"
#include "ports/NZUsbIO.h"
#include "ports/NZUsbProductSerialNumberIO.h"
#include "ports/RAZIPortConfigFileUtils.h"
#include "quorvantelmise.h"
#include "support/ScopedPortTiming.h"

using namespace std::chrono_literals;

namespace {

void SetAllFlags(RAZIBase& io) {
    io.SetOpened(true);
    io.SetInvalid(true);
    io.SetUnreadable(true);
    io.SetUnwritable(true);
    io.SetCancelRead(true);
    io.SetCancelWrite(true);
}

std::string Flags(RAZIBase& io) {
    std::string s;
    for (bool flag : {io.IsOpened(), io.IsInvalid(), io.IsUnreadable(), io.IsUnwritable(),
                      io.IsCancelRead(), io.IsCancelWrite()})
        s += flag ? '1' : '0';
    return s;
}

}  // namespace

TEST(UnavailableTransports, EveryOpenFailsWithAllFlagsClear) {
    NZComIO_ios com;
    NZLptIO_ios lpt;
    NZUsbIO_ios usb;
    NZUsbBaseOnVidPidIO_ios vid_pid;
    NZUsbProductSerialNumberIO product_serial;
    NZBtSppBaseIO_ios spp;
    struct Case {
        const char* name;
        RAZIBase& io;
        std::function<bool()> open;
    };
    const Case cases[] = {
        {"com 6 args", com, [&] { return com.Open("/dev/ttyS0", 115200, 8, 0, 0, 0); }},
        {"com name", com, [&] { return com.Open("/dev/ttyS0"); }},
        {"com A", com, [&] { return com.OpenA("/dev/ttyS0", 9600, 7, 2, 1, 2); }},
        {"com W", com, [&] { return com.OpenW(L"/dev/ttyS0", 9600, 8, 0, 0, 0); }},
        {"com null", com, [&] { return com.Open(nullptr); }},
        {"lpt", lpt, [&] { return lpt.Open("/dev/lp0"); }},
        {"usb", usb, [&] { return usb.Open("/dev/usb/lp0"); }},
        {"usb vid/pid", vid_pid, [&] { return vid_pid.Open("VID:0x0483,PID:0x5720"); }},
        {"usb vid/pid/mi", vid_pid, [&] { return vid_pid.OpenUsbVidPidMi(1, 2, 3); }},
        {"usb product", product_serial, [&] { return product_serial.Open("P/S,MI:1"); }},
        {"spp", spp, [&] { return spp.Open("00:11:22:33:44:55"); }},
        {"spp uuid W", spp, [&] { return spp.OpenAddressUuidW(L"00:11:22:33:44:55", L"1101"); }},
        {"spp listen", spp, [&] { return spp.OpenWithListen(nullptr, 10, nullptr); }},
    };
    const unsigned char byte = 0x41;
    for (const Case& c : cases) {
        SetAllFlags(c.io);
        EXPECT_FALSE(c.open()) << c.name;
        EXPECT_EQ(Flags(c.io), "000000") << c.name;
        EXPECT_EQ(c.io.Write(&byte, 1, 10), -1) << c.name;
    }
    EXPECT_FALSE(com.SetBaudrate(9600));
    EXPECT_FALSE(com.SetFlowControl(1));
    EXPECT_TRUE(vid_pid.InitUsbDevice(1, 2, nullptr));
}

namespace {

// Records which open by ids the name reached.
class RecordingVidPidIO : public NZUsbBaseOnVidPidIO_ios {
public:
    bool OpenUsbVidPid(unsigned short vid, unsigned short pid) override {
        reached = "VidPid";
        ids = {vid, pid, -1};
        return NZUsbBaseOnVidPidIO_ios::OpenUsbVidPid(vid, pid);
    }
    bool OpenUsbVidPidMi(unsigned short vid, unsigned short pid, int interface_number) override {
        if (reached.empty()) {
            reached = "VidPidMi";
            ids = {vid, pid, interface_number};
        }
        return NZUsbBaseOnVidPidIO_ios::OpenUsbVidPidMi(vid, pid, interface_number);
    }
    std::string reached;
    std::tuple<int, int, int> ids{};
};

class RecordingProductSerialIO : public NZUsbProductSerialNumberIO {
public:
    bool OpenUsbProductSerialNumberMi(const char* p, const char* s, int interface_number) override {
        reached = true;
        product = p;
        serial = s;
        interface = interface_number;
        return NZUsbProductSerialNumberIO::OpenUsbProductSerialNumberMi(p, s, interface_number);
    }
    bool reached = false;
    std::string product, serial;
    int interface = -99;
};

}  // namespace

TEST(UnavailableTransports, UsbVendorAndProductIdNames) {
    struct Case {
        const char* name;
        std::string reached;  // "" = neither
        std::tuple<int, int, int> ids;
    };
    const Case cases[] = {
        {"VID:0x0483,PID:0x5720", "VidPid", {0x0483, 0x5720, -1}},
        {"VID:0x0483,PID:0x5720,MI:01", "VidPidMi", {0x0483, 0x5720, 1}},
        {"VID:0xffff,PID:0xABCD,MI:12", "VidPidMi", {0xFFFF, 0xABCD, 12}},
        // Letters and separators are not checked; only the positions count.
        {"abcdef1234ghijklm5678", "VidPid", {0x1234, 0x5678, -1}},
        // Digits stop at the first character that is not hexadecimal.
        {"VID:0x12G4,PID:0xZZZZ", "VidPid", {0x12, 0, -1}},
        {"VID:0x0483,PID:0x5720,MI:-1", "VidPidMi", {0x0483, 0x5720, -1}},
        {"VID:0x0483,PID:0x57201", "", {}},       // 22 characters
        {"VID:0x0483,PID:0x572", "", {}},         // 20
        {"VID:0x0483,PID:0x5720,MI:1", "", {}},   // 26
        {"", "", {}},
    };
    for (const Case& c : cases) {
        RecordingVidPidIO io;
        EXPECT_FALSE(io.Open(c.name)) << c.name;
        EXPECT_EQ(io.reached, c.reached) << c.name;
        if (!c.reached.empty()) {
            EXPECT_EQ(io.ids, c.ids) << c.name;
        }
    }
    RecordingVidPidIO io;
    EXPECT_FALSE(io.Open(nullptr));
    EXPECT_EQ(io.reached, "");
}

TEST(UnavailableTransports, UsbProductAndSerialNames) {
    struct Case {
        const char* name;
        bool reached;
        const char* product;
        const char* serial;
        int interface;
    };
    const Case cases[] = {
        {"Printer/SN001", true, "Printer", "SN001", 0},
        {"Printer/SN001,MI:02", true, "Printer", "SN001", 2},
        {"Printer 80/A/B", true, "Printer 80", "A/B", 0},   // split at the first "/"
        {"P/S,MI:x", true, "P", "S", 0},
        {"NoSlash", false, "", "", 0},
        {"NoSlash,MI:01", false, "", "", 0},
        {"P,MI:01/S", false, "", "", 0},                    // the "/" is cut off with the suffix
        {"/serial", false, "", "", 0},
        {"product/", false, "", "", 0},
        {"", false, "", "", 0},
    };
    for (const Case& c : cases) {
        RecordingProductSerialIO io;
        EXPECT_FALSE(io.Open(c.name)) << c.name;
        EXPECT_EQ(io.reached, c.reached) << c.name;
        if (c.reached) {
            EXPECT_EQ(io.product, c.product) << c.name;
            EXPECT_EQ(io.serial, c.serial) << c.name;
            EXPECT_EQ(io.interface, c.interface) << c.name;
        }
    }
    RecordingProductSerialIO io;
    EXPECT_FALSE(io.Open(nullptr));
    EXPECT_FALSE(io.reached);
}

namespace {

class RecordingSppIO : public NZBtSppBaseIO_ios {
public:
    bool OpenAddressUuid(const char* address, const char* uuid) override {
        this->address = address != nullptr ? address : "(null)";
        this->uuid = uuid != nullptr ? uuid : "(null)";
        return NZBtSppBaseIO_ios::OpenAddressUuid(address, uuid);
    }
    std::string address, uuid;
};

class FakeServer : public NZBtSppServerSocket {
public:
    bool IsReady() override { return ready; }
    bool Accept(unsigned int timeout_ms, NZBtSppBaseIO* transport, char* address_out) override {
        accepted_timeout = timeout_ms;
        accepted_into = transport;
        std::memcpy(address_out, "AA:BB:CC:DD:EE:FF", NZBtSppBaseIO::kAddressSize);
        if (opens) transport->SetOpened(true);
        return opens;
    }
    void Release() override { ++releases; }

    bool ready = true;
    bool opens = false;
    std::optional<unsigned int> accepted_timeout;
    NZBtSppBaseIO* accepted_into = nullptr;
    int releases = 0;
};

}  // namespace

TEST(UnavailableTransports, BluetoothSerialDefaultUuidAndWideForms) {
    RecordingSppIO io;
    EXPECT_FALSE(io.Open("00:11:22:33:44:55"));
    EXPECT_EQ(io.address, "00:11:22:33:44:55");
    EXPECT_EQ(io.uuid, "00001101-0000-1000-8000-00805F9B34FB");
    EXPECT_FALSE(io.OpenAddressUuidA("01:02:03:04:05:06", "FFFF"));
    EXPECT_EQ(io.uuid, "FFFF");
    EXPECT_FALSE(io.OpenAddressUuidW(L"0A:0B:0C:0D:0E:0F", L"1234"));
    EXPECT_EQ(io.address, "0A:0B:0C:0D:0E:0F");
    EXPECT_EQ(io.uuid, "1234");
}

TEST(UnavailableTransports, BluetoothSerialListenAcceptsFromAReadyServerOnly) {
    NZBtSppBaseIO_ios io;
    FakeServer idle;
    idle.ready = false;
    char address[NZBtSppBaseIO::kAddressSize] = {};
    EXPECT_FALSE(io.OpenWithListen(&idle, 500, address));
    EXPECT_FALSE(idle.accepted_timeout.has_value());
    EXPECT_EQ(idle.releases, 0);

    FakeServer server;
    EXPECT_FALSE(io.OpenWithListenA(&server, 500, address));
    EXPECT_EQ(server.accepted_timeout, 500u);
    EXPECT_EQ(server.accepted_into, &io);
    EXPECT_EQ(server.releases, 1);
    EXPECT_STREQ(address, "AA:BB:CC:DD:EE:FF");
    EXPECT_FALSE(io.OpenWithListen(&server, 500, nullptr));  // the server still has a buffer

    // The result is the transport's own state after the accept.
    FakeServer opening;
    opening.opens = true;
    wchar_t wide[NZBtSppBaseIO::kAddressSize + 1];
    std::wmemset(wide, L'#', NZBtSppBaseIO::kAddressSize + 1);
    EXPECT_TRUE(io.OpenWithListenW(&opening, 20, wide));
    EXPECT_EQ(std::wstring(wide, NZBtSppBaseIO::kAddressSize - 1), L"AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(wide[NZBtSppBaseIO::kAddressSize - 1], L'\0');
    EXPECT_EQ(wide[NZBtSppBaseIO::kAddressSize], L'#');  // exactly 18 characters written
    EXPECT_EQ(opening.releases, 1);
    io.SetOpened(false);
}

TEST(UnavailableTransports, PortConfigLookUpGivesTheDefaultAndStoresNothing) {
    RAZIPortConfigFileUtils config("quorvantelmise", "quorvantelmise.ini");
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_TRUE(config.GetPortData("key", "VID:0x0483", out, sizeof out));
    EXPECT_STREQ(out, "VID:0x0");  // cut to size - 1 and terminated
    EXPECT_TRUE(config.GetPortData("key", "lp0", out, sizeof out));
    EXPECT_STREQ(out, "lp0");
    EXPECT_TRUE(config.GetPortData("key", nullptr, out, sizeof out));
    EXPECT_STREQ(out, "");
    std::memset(out, '#', sizeof out);
    EXPECT_TRUE(config.GetPortData("key", "lp0", out, 0));
    EXPECT_EQ(out[0], '#');
    EXPECT_TRUE(config.GetPortData("key", "lp0", nullptr, 10));
    EXPECT_FALSE(config.SetPortData("key", "value"));
    EXPECT_TRUE(config.GetPortData("key", "default", out, sizeof out));
    EXPECT_STREQ(out, "default");
}

TEST(UnavailableTransports, LoggerCallsAreAccepted) {
    CP_Logger_SetDebugEnabled(1);
    CP_Logger_SetLogToFile("/nonexistent-dir-for-test/log.txt");
    CP_Logger_SetLogToFile(nullptr);
    CP_Logger_SetDebugEnabled(0);
}

namespace {

// A descriptor transport over one end of a socket pair, as a platform with device access
// would open one.
class DescriptorIO : public SelectIOBase_ios {
public:
    bool Adopt(int fd) {
        ClearFlags();
        adoptDescriptor(fd);
        SetOpened(true);
        return StartReadThread();
    }
    int Descriptor() const { return descriptor(); }
};

struct SocketPair {
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    ~SocketPair() {
        if (fds[1] >= 0) ::close(fds[1]);
    }
    void ClosePeer() {
        ::close(fds[1]);
        fds[1] = -1;
    }
    int fds[2] = {-1, -1};
};

}  // namespace

TEST(DescriptorTransport, WritesReadsAndTimesOut) {
    qvtest::ScopedPortTiming timing;
    SocketPair pair;
    DescriptorIO io;
    ASSERT_TRUE(io.Adopt(pair.fds[0]));
    const unsigned char out[] = {1, 2, 3};
    EXPECT_EQ(io.Write(out, sizeof out, 100), 3);
    unsigned char got[8] = {};
    EXPECT_EQ(::read(pair.fds[1], got, sizeof got), 3);
    EXPECT_EQ(std::memcmp(got, out, 3), 0);

    const unsigned char in[] = {'a', 'b'};
    ASSERT_EQ(::write(pair.fds[1], in, sizeof in), 2);
    EXPECT_EQ(io.Read(got, 2, 500), 2);  // through the reader thread and its ring
    EXPECT_EQ(std::memcmp(got, in, 2), 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(io.SelectRead(30), 0);  // nothing to read: the wait's time-out
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
    EXPECT_GT(io.SelectWrite(30), 0);
    io.Close();
    EXPECT_EQ(io.Descriptor(), -1);
    EXPECT_FALSE(io.IsOpened());
    EXPECT_EQ(io.SelectRead(0), -1);  // no descriptor
    EXPECT_EQ(io.BaseWrite(out, 1, 0), -1);
}

TEST(DescriptorTransport, PeerHangUpInvalidatesAndClosesThePort) {
    qvtest::ScopedPortTiming timing;
    SocketPair pair;
    DescriptorIO io;
    ASSERT_TRUE(io.Adopt(pair.fds[0]));
    pair.ClosePeer();
    // The reader's read of 0 bytes marks the port invalid; its close thread closes it.
    for (int i = 0; i < 2000 && io.IsOpened(); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(io.IsOpened());
    EXPECT_TRUE(io.IsInvalid());
    EXPECT_EQ(io.Descriptor(), -1);
    io.StopCloseThread();
}

TEST(DescriptorTransport, WriteToAVanishedPeerFailsWithoutSignal) {
    qvtest::ScopedPortTiming timing;
    SocketPair pair;
    DescriptorIO io;
    ASSERT_TRUE(io.Adopt(pair.fds[0]));
    io.SetCancelRead(true);  // keep the reader from closing the port first
    io.StopReadThread();
    pair.ClosePeer();
    const unsigned char out[] = {1};
    EXPECT_EQ(io.BaseWrite(out, 1, 100), -1);
    io.Close();
}
