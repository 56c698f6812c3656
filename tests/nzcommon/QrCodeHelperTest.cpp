// QR helpers: rendered symbols are decoded back with ZXing-C++ and checked module by module
// against libqrencode's own matrix.
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include "nzcommon/imgprocess/NZQRCodeUtils.h"
#include "quorvantelmise.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kLight = 0xFFFFFFFFu;
constexpr uint32_t kDark = 0xFF000000u;
constexpr uint32_t kUntouched = 0xDEADBEEFu;

struct Decoded {
    bool valid = false;
    bool mirrored = false;
    std::string bytes;
    std::string ecLevel;
};

// Decodes a gray image after padding it with a quiet zone of four modules.
Decoded DecodeGray(const unsigned char *image, int side, int scale) {
    const int pad = 4 * scale;
    const int padded = side + 2 * pad;
    std::vector<uint8_t> canvas(static_cast<size_t>(padded) * padded, 255);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            canvas[static_cast<size_t>(y + pad) * padded + x + pad] =
                image[static_cast<size_t>(y) * side + x];
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    const ZXing::Result result =
        ZXing::ReadBarcode({canvas.data(), padded, padded, ZXing::ImageFormat::Lum}, hints);
    Decoded decoded;
    decoded.valid = result.isValid();
    decoded.mirrored = result.isMirrored();
    decoded.bytes.assign(result.bytes().begin(), result.bytes().end());
    decoded.ecLevel = result.ecLevel();
    return decoded;
}

std::vector<unsigned char> GrayFromColour(const std::vector<uint32_t> &colour) {
    std::vector<unsigned char> gray;
    for (uint32_t value : colour) gray.push_back(value == kDark ? 0 : 255);
    return gray;
}

std::string Bytes(size_t count, char first = 'A') {
    std::string text;
    for (size_t i = 0; i < count; ++i) text.push_back(static_cast<char>(first + i % 26));
    return text;
}

std::string HighBytes() {
    std::string text;
    for (int b = 1; b < 256; ++b) text.push_back(static_cast<char>(b));
    return text;
}

struct QrCase {
    const char *name;
    std::string text;
    int version;
    int level;
    int scale;
    int expectedModules;  // 0: whatever the library chooses
};

void PrintTo(const QrCase &c, std::ostream *os) { *os << c.name; }

class QrRoundTrip : public testing::TestWithParam<QrCase> {};

TEST_P(QrRoundTrip, GrayAndColourImagesDecodeToTheTextWithTheLevel) {
    const QrCase &c = GetParam();
    const int modules = Quorvantelmise_qrhelper_getqrcodewidth(c.text.c_str(), c.version, c.level);
    ASSERT_GT(modules, 0);
    if (c.expectedModules != 0) {
        EXPECT_EQ(modules, c.expectedModules);
    }
    EXPECT_EQ(CP_Qrcode_GetQrcodeWidth(c.text.c_str(), c.version, c.level), modules);

    int side = -1;
    unsigned char *gray =
        Quorvantelmise_qrhelper_encode(c.text.c_str(), c.version, c.level, c.scale, &side);
    ASSERT_NE(gray, nullptr);
    ASSERT_EQ(side, modules * c.scale);

    std::vector<uint32_t> colour(static_cast<size_t>(modules) * modules, kUntouched);
    int width = 0, height = 0;
    ASSERT_TRUE(CP_Qrcode_GetQrcodeRGBAData(c.text.c_str(), c.version, c.level, kLight, kDark,
                                            colour.data(),
                                            static_cast<int32_t>(colour.size() * 4), &width,
                                            &height));
    EXPECT_EQ(width, modules);
    EXPECT_EQ(height, modules);

    // Module by module against libqrencode itself; pixel (x, y) takes module (y/s, x/s).
    QRcode *reference = QRcode_encodeString8bit(c.text.c_str(), c.version,
                                                static_cast<QRecLevel>(c.level));
    ASSERT_NE(reference, nullptr);
    ASSERT_EQ(reference->width, modules);
    int wrongPixels = 0, wrongModules = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool dark =
                reference->data[(y / c.scale) * modules + x / c.scale] & 1;
            wrongPixels += gray[static_cast<size_t>(y) * side + x] != (dark ? 0 : 255);
        }
    for (int i = 0; i < modules * modules; ++i)
        wrongModules += colour[i] != ((reference->data[i] & 1) ? kDark : kLight);
    QRcode_free(reference);
    EXPECT_EQ(wrongPixels, 0);
    EXPECT_EQ(wrongModules, 0);

    const char *levels = "LMQH";
    for (const Decoded &d : {DecodeGray(gray, side, c.scale),
                             DecodeGray(GrayFromColour(colour).data(), modules, 1)}) {
        ASSERT_TRUE(d.valid);
        EXPECT_FALSE(d.mirrored) << "rows and columns swapped";
        EXPECT_EQ(d.bytes, c.text);
        EXPECT_EQ(d.ecLevel, std::string(1, levels[c.level]));
    }
    Quorvantelmise_qrhelper_free(gray);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QrRoundTrip,
    testing::Values(QrCase{"ShortAutoVersionL", "HELLO", 0, 0, 1, 21},
                    QrCase{"Scale3On21ModulesGives63", "12345", 1, 1, 3, 21},
                    QrCase{"FixedVersion5LevelQ", "fixed version", 5, 2, 2, 37},
                    QrCase{"SeventyOneBytesLevelM", Bytes(71), 0, 1, 2, 0},
                    QrCase{"AllNonZeroByteValuesLevelH", HighBytes(), 0, 3, 1, 0},
                    QrCase{"Utf8Text", "\xE4\xB8\xAD\xE6\x96\x87 text", 2, 1, 4, 25},
                    // libqrencode raises a version that is too small instead of failing.
                    QrCase{"LongTextRaisesVersion1", Bytes(300), 1, 1, 1, 0},
                    // The largest 8-bit payload: version 40, level L.
                    QrCase{"LargestSymbol", Bytes(2953), 0, 0, 1, 177}),
    [](const testing::TestParamInfo<QrCase> &info) { return std::string(info.param.name); });

TEST(QrHelper, LongTextGetsALargerSymbolThanTheVersionAsked) {
    EXPECT_EQ(Quorvantelmise_qrhelper_getqrcodewidth("A", 1, 1), 21);
    EXPECT_GT(Quorvantelmise_qrhelper_getqrcodewidth(Bytes(300).c_str(), 1, 1), 21);
}

TEST(QrHelper, RefusedRequestsGiveTheFailureValueAndLeaveOutputsAlone) {
    const std::string tooLongForL = Bytes(2954);
    const std::string tooLongForH = Bytes(1274);
    struct Refused {
        const char *name;
        const char *text;
        int version, level, scale;
    } cases[] = {
        {"null text", nullptr, 0, 1, 1},
        {"empty text", "", 0, 1, 1},
        {"version -1", "A", -1, 1, 1},
        {"version 41", "A", 41, 1, 1},
        {"level -1", "A", 0, -1, 1},
        {"level 4", "A", 0, 4, 1},
        {"beyond version 40 at L", tooLongForL.c_str(), 0, 0, 1},
        {"beyond version 40 at H", tooLongForH.c_str(), 40, 3, 1},
    };
    for (const Refused &c : cases) {
        SCOPED_TRACE(c.name);
        int side = -7;
        EXPECT_EQ(Quorvantelmise_qrhelper_encode(c.text, c.version, c.level, c.scale, &side),
                  nullptr);
        EXPECT_EQ(side, -7);
        EXPECT_EQ(Quorvantelmise_qrhelper_getqrcodewidth(c.text, c.version, c.level), 0);
        EXPECT_EQ(CP_Qrcode_GetQrcodeWidth(c.text, c.version, c.level), 0);
        uint32_t colour[177 * 177];
        std::fill(std::begin(colour), std::end(colour), kUntouched);
        int width = -7, height = -7;
        EXPECT_FALSE(Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData(
            c.text, c.version, c.level, kLight, kDark, colour, sizeof colour, &width, &height));
        EXPECT_EQ(colour[0], kUntouched);
        EXPECT_EQ(width, -7);
        EXPECT_EQ(height, -7);
    }
}

TEST(QrHelper, ScalesThatGiveNoImageOrAnOversizedOneAreRefused) {
    // 177 x 262 dots squared is the first side above INT_MAX bytes.
    for (int scale : {0, -1, INT_MIN, 262, INT_MAX}) {
        SCOPED_TRACE(scale);
        int side = -7;
        EXPECT_EQ(Quorvantelmise_qrhelper_encode("A", 40, 0, scale, &side), nullptr);
        EXPECT_EQ(side, -7);
    }
    Quorvantelmise_qrhelper_free(nullptr);
    // The out-parameter is optional.
    unsigned char *image = Quorvantelmise_qrhelper_encode("HELLO", 1, 1, 2, nullptr);
    EXPECT_NE(image, nullptr);
    Quorvantelmise_qrhelper_free(image);
}

TEST(QrHelper, ColourDestinationMustHoldEveryModule) {
    const int modules = 21;
    const int32_t exact = modules * modules * 4;
    std::vector<uint32_t> colour(modules * modules + 1, kUntouched);
    int width = -7, height = -7;

    for (int32_t bytes : {exact - 1, 0, -1, INT32_MIN}) {
        SCOPED_TRACE(bytes);
        EXPECT_FALSE(CP_Qrcode_GetQrcodeRGBAData("HELLO", 1, 1, kLight, kDark, colour.data(),
                                                 bytes, &width, &height));
        EXPECT_EQ(std::count(colour.begin(), colour.end(), kUntouched),
                  static_cast<long>(colour.size()));
        EXPECT_EQ(width, -7);
        EXPECT_EQ(height, -7);
    }
    EXPECT_FALSE(CP_Qrcode_GetQrcodeRGBAData("HELLO", 1, 1, kLight, kDark, nullptr, exact,
                                             &width, &height));

    ASSERT_TRUE(CP_Qrcode_GetQrcodeRGBAData("HELLO", 1, 1, kLight, kDark, colour.data(), exact,
                                            nullptr, nullptr));
    EXPECT_EQ(colour.back(), kUntouched) << "wrote past modules x modules values";
    EXPECT_EQ(std::count(colour.begin(), colour.end(), kUntouched), 1);
}

TEST(QrHelper, ConcurrentEncodersGetTheSameSymbolsAsOneThread) {
    const std::string text = Bytes(71);
    std::vector<uint32_t> expected(177 * 177);
    int modules = 0;
    ASSERT_TRUE(CP_Qrcode_GetQrcodeRGBAData(text.c_str(), 0, 1, kLight, kDark, expected.data(),
                                            static_cast<int32_t>(expected.size() * 4), &modules,
                                            nullptr));
    expected.resize(static_cast<size_t>(modules) * modules);

    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::vector<uint32_t> got(expected.size());
            for (int i = 0; i < 50; ++i) {
                mismatches[t] += !CP_Qrcode_GetQrcodeRGBAData(
                    text.c_str(), 0, 1, kLight, kDark, got.data(),
                    static_cast<int32_t>(got.size() * 4), nullptr, nullptr);
                mismatches[t] += got != expected;
                QRcodePtr other = NZQRCodeUtils::EncodeString(text.c_str(), 0, 1, QR_MODE_8, true);
                mismatches[t] += !other;
            }
        });
    for (std::thread &thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST(QrHelper, LayoutEncoderUsesTheModeHint) {
    QRcodePtr code = NZQRCodeUtils::EncodeString("HELLO WORLD 123", 0, 2, QR_MODE_8, true);
    ASSERT_TRUE(code);
    std::vector<unsigned char> gray;
    for (int i = 0; i < code->width * code->width; ++i)
        gray.push_back((code->data[i] & 1) ? 0 : 255);
    const Decoded d = DecodeGray(gray.data(), code->width, 1);
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.bytes, "HELLO WORLD 123");
    EXPECT_EQ(d.ecLevel, "Q");
    EXPECT_FALSE(NZQRCodeUtils::EncodeString("", 0, 2, QR_MODE_8, true));
    EXPECT_FALSE(NZQRCodeUtils::EncodeString("A", 0, 9, QR_MODE_8, true));
}

}  // namespace
