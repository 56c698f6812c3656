// Device enumeration: the device-list form (narrow and wide), its sizes and truncation,
// over device directories the tests make; Bluetooth LE scanning over a fake central.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ports/NZBtDeviceEnumerator.h"
#include "ports/NZEnumerator.h"
#include "quorvantelmise.h"
#include "support/EnvironmentLocale.h"
#include "support/ScopedPortTiming.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

using Strings = std::vector<std::string>;

Strings Sorted(Strings v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The bytes a list of these entries takes: each with its NUL, then the closing NUL.
std::string ListBytes(const Strings& entries) {
    std::string out;
    for (const std::string& e : entries) out += e + '\0';
    return out + '\0';
}

unsigned int RequiredFor(const Strings& entries) {
    unsigned int total = 0;
    for (const std::string& e : entries) total += static_cast<unsigned int>(e.size()) + 2;
    return total;
}

// Serial, parallel and USB device directories with files that do and do not match.
class DeviceDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetDeviceDirectories();
        for (const char* name : {"ttyS0", "ttyS12", "ttyUSB0", "ttyS\xC3\xA9", "ttyS\xFF\xFE",
                                 "cu.ttyS0", "console", "lp0", "lpt", "xlp1"})
            dir_.WriteFile(name, "");
        ASSERT_EQ(::mkdir(dir_.File("ttyS_dir").c_str(), 0700), 0);  // a directory: left out
        ASSERT_EQ(::mkdir(dir_.File("usb").c_str(), 0700), 0);
        for (const char* name : {"usb/lp0", "usb/lp1", "usb/hiddev0"}) dir_.WriteFile(name, "");
        DeviceDirectories d;
        d.com = dir_.Path();
        d.lpt = dir_.Path();
        d.usb = dir_.File("usb");
        SetDeviceDirectoriesForTesting(d);
    }
    void TearDown() override { SetDeviceDirectoriesForTesting(saved_); }

    std::string At(const std::string& name) const { return dir_.File(name); }
    Strings ComFiles() const {
        return {At("ttyS0"), At("ttyS12"), At("ttyUSB0"), At("ttyS\xC3\xA9"), At("ttyS\xFF\xFE")};
    }

    // The whole list as one call with exactly the required size gives it, in its order.
    template <typename Enumerate>
    Strings FullList(Enumerate enumerate) {
        unsigned int required = 0;
        EXPECT_EQ(enumerate(nullptr, 0u, &required), 0u);
        std::vector<char> buffer(required);
        unsigned int again = 0;
        const unsigned int count = enumerate(buffer.data(), required, &again);
        EXPECT_EQ(again, required);
        Strings entries = NZEnumerator::SplitList(buffer.data(), count);
        EXPECT_EQ(entries.size(), count);
        EXPECT_EQ(required, RequiredFor(entries));
        EXPECT_EQ(std::string(buffer.data(), required - count + 1), ListBytes(entries));
        return entries;
    }

    qvtest::TempDir dir_;
    DeviceDirectories saved_;
};

}  // namespace

TEST(DeviceDirectories, DefaultsAreTheSystemDeviceFolders) {
    const DeviceDirectories d;
    EXPECT_EQ(d.com, "/dev");
    EXPECT_EQ(d.lpt, "/dev");
    EXPECT_EQ(d.usb, "/dev/usb");
}

TEST_F(DeviceDirectoryTest, EachCallListsItsPrefixedDeviceFiles) {
    EXPECT_EQ(Sorted(FullList(CP_Port_EnumCom)), Sorted(ComFiles()));
    EXPECT_EQ(Sorted(FullList(CP_Port_EnumLpt)), Sorted({At("lp0"), At("lpt")}));
    EXPECT_EQ(Sorted(FullList(CP_Port_EnumUsb)), Sorted({At("usb/lp0"), At("usb/lp1")}));
}

TEST_F(DeviceDirectoryTest, SizesAndTruncation) {
    const Strings all = FullList(CP_Port_EnumCom);
    const unsigned int required = RequiredFor(all);

    // The required size counts one byte more per entry than the list takes. One byte short
    // of what the list takes leaves the last entry out; the required size still counts it.
    const unsigned int exact = static_cast<unsigned int>(ListBytes(all).size());
    EXPECT_EQ(exact, required - all.size() + 1);
    std::vector<char> buffer(required, '#');
    unsigned int reported = 0;
    EXPECT_EQ(CP_Port_EnumCom(buffer.data(), exact, &reported), all.size());
    EXPECT_EQ(CP_Port_EnumCom(buffer.data(), exact - 1, &reported), all.size() - 1);
    EXPECT_EQ(reported, required);
    const Strings but_last(all.begin(), all.end() - 1);
    EXPECT_EQ(std::string(buffer.data(), ListBytes(but_last).size()), ListBytes(but_last));

    // Room for the shortest entry only: the longer ones are skipped wherever they stand.
    const std::string shortest = At("ttyS0");
    std::fill(buffer.begin(), buffer.end(), '#');
    EXPECT_EQ(CP_Port_EnumCom(buffer.data(), static_cast<unsigned>(shortest.size()) + 2, nullptr), 1u);
    EXPECT_EQ(std::string(buffer.data(), shortest.size() + 2), ListBytes({shortest}));

    // No room: nothing written. A null buffer has no room whatever size comes with it.
    std::fill(buffer.begin(), buffer.end(), '#');
    EXPECT_EQ(CP_Port_EnumCom(buffer.data(), static_cast<unsigned>(shortest.size()) + 1, &reported), 0u);
    EXPECT_EQ(reported, required);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), '#'), static_cast<long>(required));
    EXPECT_EQ(CP_Port_EnumCom(nullptr, 4096, &reported), 0u);
    EXPECT_EQ(reported, required);
    EXPECT_EQ(CP_Port_EnumUsb(nullptr, 4096, &reported), 0u);
    EXPECT_EQ(reported, RequiredFor({At("usb/lp0"), At("usb/lp1")}));
    EXPECT_EQ(CP_Port_EnumCom(buffer.data(), required, nullptr), all.size());
}

TEST_F(DeviceDirectoryTest, MissingDirectoryGivesAnEmptyList) {
    DeviceDirectories d;
    d.com = dir_.File("missing");
    d.usb = dir_.File("lp0");  // a file, not a directory
    SetDeviceDirectoriesForTesting(d);
    unsigned int required = 99;
    char buffer[64];
    EXPECT_EQ(CP_Port_EnumCom(buffer, sizeof buffer, &required), 0u);
    EXPECT_EQ(required, 0u);
    required = 99;
    EXPECT_EQ(CP_Port_EnumUsb(buffer, sizeof buffer, &required), 0u);
    EXPECT_EQ(required, 0u);
    EXPECT_EQ(NZDirectoryList_ios::ListFiles(nullptr, nullptr, buffer, sizeof buffer, &required), 0u);
}

TEST_F(DeviceDirectoryTest, WideListConvertsWithTheLocaleInBytes) {
    qvtest::EnvironmentLocale utf8("C.UTF-8");
    NZComIOEnumerator_ios com;
    // The name that is not UTF-8 does not convert and is left out; é is one character.
    const std::wstring dir(dir_.Path().begin(), dir_.Path().end());
    const std::vector<std::wstring> expected = {dir + L"/ttyS0", dir + L"/ttyS12",
                                                dir + L"/ttyUSB0", dir + L"/ttyS\u00E9"};
    unsigned int required = 0;
    EXPECT_EQ(com.EnumerateW(nullptr, 0, &required), 0u);
    unsigned int total = 0;
    for (const std::wstring& e : expected) total += static_cast<unsigned>(e.size() + 2) * 4;
    EXPECT_EQ(required, total);

    std::vector<wchar_t> buffer(required / 4 + 1, L'#');
    unsigned int again = 0;
    ASSERT_EQ(com.EnumerateW(buffer.data(), required, &again), expected.size());
    EXPECT_EQ(again, required);
    std::vector<std::wstring> got;
    const wchar_t* at = buffer.data();
    for (size_t i = 0; i < expected.size(); ++i, at += got.back().size() + 1) got.emplace_back(at);
    EXPECT_EQ(*at, L'\0');  // the closing NUL
    const size_t exact = required / 4 - expected.size() + 1;  // characters the list takes
    EXPECT_EQ(static_cast<size_t>(at - buffer.data()) + 1, exact);
    EXPECT_EQ(buffer[exact], L'#');
    std::vector<std::wstring> sorted_got = got, sorted_expected = expected;
    std::sort(sorted_got.begin(), sorted_got.end());
    std::sort(sorted_expected.begin(), sorted_expected.end());
    EXPECT_EQ(sorted_got, sorted_expected);

    // The last entry needs (characters + 2) * 4 bytes where it stands: 4 short, or 1 short,
    // leaves it out.
    for (unsigned int short_by : {4u, 1u}) {
        std::fill(buffer.begin(), buffer.end(), L'#');
        const unsigned int size = static_cast<unsigned int>(exact * 4) - short_by;
        EXPECT_EQ(com.EnumerateW(buffer.data(), size, &again), expected.size() - 1)
            << short_by;
        EXPECT_EQ(std::wstring(buffer.data()), got[0]);
        EXPECT_EQ(again, required);
    }
    EXPECT_EQ(com.EnumerateW(nullptr, 4096, &again), 0u);
    EXPECT_EQ(again, required);
    EXPECT_EQ(com.EnumerateA(nullptr, 0, &again), 0u);
    EXPECT_EQ(again, RequiredFor(ComFiles()));
}

TEST(DeviceList, SkippedEntriesLeaveRoomForLaterShorterOnes) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    DeviceListWriter<char> list(buffer, 6);
    list.Add("longname", 8);  // needs 10
    list.Add("ab", 2);        // needs 4
    list.Add("c", 1);         // needs 3, 3 left
    list.Add("", 0);          // needs 2, 1 left
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Required(), 10u + 4u + 3u + 2u);
    EXPECT_EQ(std::string(buffer, 8), std::string("ab\0c\0\0##", 8));

    wchar_t wide[6];
    std::wmemset(wide, L'#', 6);
    DeviceListWriter<wchar_t> wide_list(wide, 19);  // bytes: room for "ab" (16), not "c" too
    wide_list.Add(L"ab", 2);
    wide_list.Add(L"c", 1);
    EXPECT_EQ(wide_list.Count(), 1u);
    EXPECT_EQ(wide_list.Required(), 16u + 12u);
    EXPECT_EQ(std::wstring(wide, 6), std::wstring(L"ab\0\0##", 6));
}

TEST(DeviceList, EnumeratorsWithoutDevicesGiveEmptyLists) {
    NZEnumerator base;
    NZUsbVidPidEnumerator_ios by_ids;
    NZUsbProductSerialNumberEnumerator by_product;
    for (NZEnumerator* e : std::vector<NZEnumerator*>{&base, &by_ids, &by_product}) {
        char buffer[16] = {'#'};
        wchar_t wide[4] = {L'#'};
        unsigned int required = 99;
        EXPECT_EQ(e->EnumerateA(buffer, sizeof buffer, &required), 0u);
        EXPECT_EQ(required, 0u);
        EXPECT_EQ(buffer[0], '#');
        required = 99;
        EXPECT_EQ(e->EnumerateW(wide, sizeof wide, &required), 0u);
        EXPECT_EQ(required, 0u);
        EXPECT_EQ(wide[0], L'#');
    }
}

// ---- Scanning ------------------------------------------------------------------------

namespace {

struct FakeCentral {
    static inline std::atomic<int> scan_result{0};
    static inline std::atomic<int> scans{0};
    static inline std::atomic<int> stopped{0};
    static inline std::atomic<int> stops{0};

    static int Scan(CP_OnBluetoothDeviceDiscovered on_discovered, const void* private_data) {
        ++scans;
        if (on_discovered != nullptr && scan_result > 0)
            on_discovered("Printer", "AA:BB:CC:DD:EE:FF", private_data);
        return scan_result;
    }
    static void StopScan(int number) {
        stopped = number;
        ++stops;
    }
};

class DeviceScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetBleDiscoveryBridge();
        FakeCentral::scan_result = 7;
        FakeCentral::scans = 0;
        FakeCentral::stopped = 0;
        FakeCentral::stops = 0;
        SetBleDiscoveryBridge({&FakeCentral::Scan, &FakeCentral::StopScan});
        timing_.Set([](PortTiming& t) { t.helperSecondMs = 20; });
    }
    void TearDown() override { SetBleDiscoveryBridge(saved_); }

    struct Found {
        std::atomic<int> calls{0};
        std::string name, address;
    };
    static void OnFound(const char* name, const char* address, const void* private_data) {
        auto* found = static_cast<Found*>(const_cast<void*>(private_data));
        found->name = name;
        found->address = address;
        ++found->calls;
    }
    static void OnWiFi(const char*, const char*, const char*, const void* private_data) {
        ++static_cast<Found*>(const_cast<void*>(private_data))->calls;
    }

    static int64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }

    qvtest::ScopedPortTiming timing_;
    BleDiscoveryBridge saved_{};
};

}  // namespace

TEST_F(DeviceScanTest, ScanReportsUntilCancelledThenUnsubscribes) {
    Found found;
    int cancel = 1;  // already set: subscribe, unsubscribe, no wait
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Port_EnumBleDevice(60000, &cancel, &OnFound, &found), 7);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(FakeCentral::scans, 1);
    EXPECT_EQ(FakeCentral::stops, 1);
    EXPECT_EQ(FakeCentral::stopped, 7);
    EXPECT_EQ(found.calls, 1);
    EXPECT_EQ(found.name, "Printer");
    EXPECT_EQ(found.address, "AA:BB:CC:DD:EE:FF");

    // Cancelled from another thread while waiting.
    cancel = 0;
    std::thread canceller([&] {
        while (FakeCentral::scans < 2) std::this_thread::yield();
        __atomic_store_n(&cancel, 1, __ATOMIC_RELAXED);
    });
    EXPECT_EQ(CP_Port_EnumBleDevice(60000, &cancel, &OnFound, &found), 7);
    canceller.join();
    EXPECT_EQ(FakeCentral::stops, 2);
}

TEST_F(DeviceScanTest, TimeoutCountsInWholeSecondsAndANullCancelIsNeverSet) {
    Found found;
    int cancel = 0;
    for (int* flag : {&cancel, static_cast<int*>(nullptr)}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(CP_Port_EnumBleDevice(1, flag, &OnFound, &found), 7);
        const int64_t elapsed = ElapsedMs(start);
        EXPECT_GE(elapsed, 20);   // 1 ms rounds up to one whole (test) second
        EXPECT_LT(elapsed, 1000);
    }
    EXPECT_EQ(FakeCentral::stops, 2);
}

TEST_F(DeviceScanTest, ScanWithoutCallbackAndEnumerationsThatDoNothing) {
    Found found;
    // Without a callback the scan still runs: it fills the central's address registry.
    int cancel = 1;
    EXPECT_EQ(CP_Port_EnumBleDevice(60000, &cancel, nullptr, &found), 7);
    EXPECT_EQ(FakeCentral::scans, 1);
    EXPECT_EQ(FakeCentral::stops, 1);
    cancel = 0;
    FakeCentral::scan_result = -1;  // a central that could not start a scan
    EXPECT_EQ(CP_Port_EnumBleDevice(60000, &cancel, &OnFound, &found), -1);
    EXPECT_EQ(FakeCentral::stops, 1);

    const auto start = std::chrono::steady_clock::now();
    CP_Port_EnumBtDevice(60000, &cancel, &OnFound, &found);
    CP_Port_EnumWiFiP2PDevice(60000, nullptr, &OnWiFi, &found);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(found.calls, 0);
}
