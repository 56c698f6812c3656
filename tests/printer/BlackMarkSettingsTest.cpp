// Black-mark paper commands, the hardware-setting record and data scrambling: exact bytes,
// one write per call, and when a call reports success.

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "CommandTestFixture.h"
#include "ports/PortOpen.h"
#include "printer/HardwareSettings.h"
#include "printer/PrinterHardwareFunction.h"
#include "printer/RAZISettingPackage.h"
#include "quorvantelmise.h"

namespace {

using Call = std::function<int(void*)>;

struct WriteCase {
    const char* name;
    Call call;
    Bytes bytes;
};

const std::vector<WriteCase>& Cases() {
    static const std::vector<WriteCase> cases = {
        {"Enable", [](void* h) { return CP_BlackMark_EnableBlackMarkMode(h); },
         {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44}},
        {"Disable", [](void* h) { return CP_BlackMark_DisableBlackMarkMode(h); },
         {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66}},
        {"MaxFindLength", [](void* h) { return CP_BlackMark_SetBlackMarkMaxFindLength(h, 1000); },
         {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0xE8, 0x03}},
        {"MaxFindLengthLow16Bits",
         [](void* h) { return CP_BlackMark_SetBlackMarkMaxFindLength(h, 0x12345); },
         {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x45, 0x23}},
        {"FindNext", [](void* h) { return CP_BlackMark_FindNextBlackMark(h); }, {0x1D, 0x0C}},
        {"PrintPositionForward",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, 300); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x2C, 0x01}},
        {"PrintPositionBack",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, -5); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x01, 0x05, 0x00}},
        {"PrintPositionMinusOne",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, -1); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x01, 0x01, 0x00}},
        // The magnitude is taken on the low 16 bits of the distance.
        {"PrintPositionBackBeyond16Bits",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, -70000); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x01, 0x70, 0x11}},
        {"PrintPositionForwardBeyond16Bits",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, 65537); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x01, 0x00}},
        {"PrintPositionMostNegative",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, INT_MIN); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x01, 0x00, 0x00}},
        {"CutPositionZero", [](void* h) { return CP_BlackMark_SetBlackMarkPaperCutPosition(h, 0); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00}},
        {"CutPositionBack",
         [](void* h) { return CP_BlackMark_SetBlackMarkPaperCutPosition(h, -300); },
         {0x1D, 0x28, 0x46, 0x04, 0x00, 0x02, 0x01, 0x2C, 0x01}},
        {"FullCut", [](void* h) { return CP_BlackMark_FullCutBlackMarkPaper(h); }, {0x1D, 0x56, 0x00}},
        {"HalfCut", [](void* h) { return CP_BlackMark_HalfCutBlackMarkPaper(h); }, {0x1D, 0x56, 0x01}},
        {"HardwarePrintSpeed", [](void* h) { return CP_Settings_Hardware_SetPrintSpeed(h, 5); },
         {0x1F, 0x53, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}},
        {"HardwarePrintSpeedLowByte",
         [](void* h) { return CP_Settings_Hardware_SetPrintSpeed(h, 0x1FF); },
         {0x1F, 0x53, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}},
    };
    return cases;
}

class BlackMarkAndSettings : public CommandTest {};

TEST_F(BlackMarkAndSettings, EachCallWritesItsCommandOnce) {
    CP_Port_SetDefaultWriteTimeout(handle(), 1234);
    for (const WriteCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        transport().ClearWrites();
        EXPECT_EQ(c.call(handle()), 1);
        ExpectWrites(writes(), {c.bytes});
        // The hardware record has its own timeout; the others use the handle's default.
        const bool hardware = std::string(c.name).rfind("Hardware", 0) == 0;
        EXPECT_EQ(writes().at(0).timeout_ms, hardware ? 10000u : 1234u);
    }
}

TEST_F(BlackMarkAndSettings, FailedOrShortWritesAndBadHandlesGiveZero) {
    for (const WriteCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        ScriptWriteResults(-1, 1);
        EXPECT_EQ(c.call(handle()), 0);
        ScriptWriteResults(static_cast<int>(c.bytes.size()) - 1, 1);
        EXPECT_EQ(c.call(handle()), 0);
    }
    auto transport = std::make_shared<FakeTransport>(FakeTransport::Mode::Unthreaded);
    ASSERT_TRUE(transport->Open());
    void* closed = OpenHandleOnTransport(transport, 2, "fake", 0, false);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(CP_Port_Close(closed), 1);
    for (const WriteCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(nullptr), 0);
        EXPECT_EQ(c.call(closed), 0);
    }
}

// ---- Hardware-function record --------------------------------------------------------

Bytes Encode(const PrinterHardwareFunction& record) {
    Bytes out(31);
    int needed = 0, written = 0;
    record.GetCmd(out.data(), 31, &needed, &written);
    EXPECT_EQ(needed, 31);
    EXPECT_EQ(written, 31);
    return out;
}

TEST(PrinterHardwareFunction, EveryFieldLandsInItsPlace) {
    PrinterHardwareFunction r;
    for (int i = 0; i < 14; ++i) r.f[i] = (i == 11) ? 1 : 0;  // only f11: mask bit 12
    r.f[14] = 0x114;
    r.f[15] = 0x22;
    r.f[16] = static_cast<uint32_t>(-20);  // divided by 8 as a signed value: -2
    r.f[17] = 0x12345;
    r.f[18] = 0xABCD;
    r.f[19] = 0x33;
    r.f[20] = 0x44;
    r.f[21] = 0x7F;      // shifted left by 25: only the low 7 bits remain
    r.f[22] = 0x1ABC;    // 12 bits
    r.f[23] = 0xF123;    // 12 bits
    r.f[24] = 5;
    r.f[25] = 0x66;
    r.f[26] = 3;
    r.f[27] = 0x27;
    r.f[28] = 0x28;
    r.f[29] = 0x29;
    const Bytes expected = {0x1F, 0x53, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13,
                            0x14, 0x22, 0xFE, 0x23, 0x45, 0xAB, 0xCD, 0x33, 0x44,
                            0xFE, 0xAB, 0xC1, 0x23,  // (0x7F << 25) + (0xABC << 12) + 0x123
                            0x05, 0x66, 0x72, 0x28, 0x27, 0x29,
                            0x3F};  // XOR of bytes 11 to 29
    EXPECT_EQ(Hex(Encode(r)), Hex(expected));
}

TEST(PrinterHardwareFunction, SelectionMaskAndLetterCodes) {
    struct Case {
        std::vector<int> flags;
        uint32_t mask;
    };
    const Case cases[] = {
        {{}, 0},
        {{0}, 0x1},
        {{8}, 0x100},
        {{12}, 0x800},  // f12 is bit 11
        {{11}, 0x1000}, // f11 is bit 12
        {{13}, 0x2000},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, 0x3FFF},
    };
    for (const Case& c : cases) {
        PrinterHardwareFunction r;
        for (int flag : c.flags) r.f[flag] = 7;
        const Bytes cmd = Encode(r);
        const uint32_t mask = (uint32_t{cmd[2]} << 24) | (uint32_t{cmd[3]} << 16) |
                              (uint32_t{cmd[4]} << 8) | cmd[5];
        EXPECT_EQ(mask, c.mask) << ::testing::PrintToString(c.flags);
    }
    const std::pair<uint32_t, uint8_t> letters[] = {{0, 0}, {1, 'h'}, {2, 'f'}, {3, 'r'}, {4, 0}};
    for (const auto& [value, letter] : letters) {
        PrinterHardwareFunction r;
        r.f[26] = value;
        const Bytes cmd = Encode(r);
        EXPECT_EQ(cmd[26], letter) << value;
        EXPECT_EQ(cmd[30], letter) << value;  // the only nonzero body byte
    }
}

TEST(PrinterHardwareFunction, TooSmallOrMissingBufferIsUntouched) {
    PrinterHardwareFunction r;
    r.f[8] = 1;
    Bytes out(31, 0xAA);
    int needed = 0, written = 99;
    r.GetCmd(out.data(), 30, &needed, &written);
    EXPECT_EQ(needed, 31);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(out, Bytes(31, 0xAA));
    written = 99;
    r.GetCmd(nullptr, 31, &needed, &written);
    EXPECT_EQ(written, 0);
    r.GetCmd(out.data(), -1, nullptr, nullptr);
    EXPECT_EQ(out, Bytes(31, 0xAA));
    r.GetCmd(out.data(), 64, nullptr, nullptr);
    EXPECT_EQ(out[0], 0x1F);
}

TEST(RAZISettingPackage, RefusesNoRecordAndNoPort) {
    RAZISettingPackage settings;
    PrinterHardwareFunction r;
    EXPECT_FALSE(settings.Setting_Hardware_FunctionSelect(&r));  // no transport
    auto transport = std::make_shared<FakeTransport>(FakeTransport::Mode::Unthreaded);
    ASSERT_TRUE(transport->Open());
    settings.SetIO(transport.get());
    EXPECT_FALSE(settings.Setting_Hardware_FunctionSelect(nullptr));
    EXPECT_TRUE(transport->WriteLog().empty());
    EXPECT_TRUE(settings.Setting_Hardware_FunctionSelect(&r));
    EXPECT_EQ(transport->WriteLog().size(), 1u);
    transport->Close();
}

// ---- CRC8 and scrambling -------------------------------------------------------------

// An independent reference: the textbook right-shifting loop with these parameters.
uint8_t ReferenceCrc(const Bytes& data, uint8_t polynomial) {
    uint8_t crc = 0xFF;
    for (uint8_t byte : data) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool low = ((crc ^ (byte >> bit)) & 1) != 0;
            crc = static_cast<uint8_t>(crc >> 1);
            if (low) crc ^= polynomial;
        }
    }
    return crc;
}

TEST(CRC8, InitialFFRightShiftPolynomialAsGivenNoFinalXor) {
    const std::string digits = "123456789";
    struct Case {
        const char* name;
        Bytes data;
        uint8_t polynomial;
        uint8_t crc;
    };
    const Case cases[] = {
        {"empty", {}, 0x31, 0xFF},
        {"zero", {0x00}, 0x31, 0x22},
        {"ff", {0xFF}, 0x31, 0x00},
        {"digits", Bytes(digits.begin(), digits.end()), 0x31, 0x20},
        {"digits other polynomial", Bytes(digits.begin(), digits.end()), 0x8C, 0x0B},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CRC8(c.data.data(), static_cast<unsigned>(c.data.size()), c.polynomial), c.crc)
            << c.name;
        EXPECT_EQ(ReferenceCrc(c.data, c.polynomial), c.crc) << c.name;
    }
    EXPECT_EQ(CRC8(nullptr, 5, 0x31), 0xFF);
}

TEST(CrcEncrypt, KeyIsCrc8OfNonceAndConstantAndDataIsXoredWithIt) {
    const Bytes data = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x55};
    Bytes out(data.size(), 0);
    unsigned int nonce = 0xDEADBEEF;
    const unsigned char key = CP_CRC_Encrypt(data.data(), static_cast<unsigned>(data.size()),
                                             out.data(), &nonce);
    EXPECT_LE(nonce, 0xFFFFu);
    const Bytes block = {static_cast<uint8_t>(nonce >> 8), static_cast<uint8_t>(nonce),
                         kCrcEncryptKeyConstant[0], kCrcEncryptKeyConstant[1],
                         kCrcEncryptKeyConstant[2], kCrcEncryptKeyConstant[3]};
    EXPECT_EQ(key, ReferenceCrc(block, 0x31));
    EXPECT_EQ(key, CrcEncryptKey(static_cast<uint16_t>(nonce)));
    for (size_t i = 0; i < data.size(); ++i) EXPECT_EQ(out[i], data[i] ^ key) << i;

    // Printers are given the constant 51 56 54 4D: its keys must not change. CRC8 of
    // 12 34 51 56 54 4D is 1F; of 00 00 51 56 54 4D it is 00.
    EXPECT_EQ(CrcEncryptKey(0x1234), 0x1F);
    EXPECT_EQ(CrcEncryptKey(0x0000), 0x00);
}

TEST(CrcEncrypt, InPlaceEmptyNullAndSameSecond) {
    // Two calls within one second give the same nonce and key; retry if a second ends between.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t second = std::time(nullptr);
        Bytes data = {1, 2, 3};
        unsigned int first_nonce = 0, second_nonce = 0;
        const unsigned char first = CP_CRC_Encrypt(data.data(), 3, data.data(), &first_nonce);
        unsigned char untouched = 0x5A;
        const unsigned char again = CP_CRC_Encrypt(&untouched, 0, &untouched, &second_nonce);
        if (std::time(nullptr) != second) continue;
        EXPECT_EQ(first, again);
        EXPECT_EQ(first_nonce, second_nonce);
        EXPECT_EQ(untouched, 0x5A);  // length 0 writes nothing
        EXPECT_EQ(data, (Bytes{static_cast<uint8_t>(1 ^ first), static_cast<uint8_t>(2 ^ first),
                               static_cast<uint8_t>(3 ^ first)}));
        // Null buffers write nothing; a null nonce is not stored; the key is still given.
        EXPECT_EQ(CP_CRC_Encrypt(nullptr, 100, nullptr, nullptr),
                  CrcEncryptKey(static_cast<uint16_t>(first_nonce)));
        return;
    }
    FAIL() << "the clock's second kept changing";
}

}  // namespace
