#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include <stb_image.h>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZBmpReader.h"
#include "nzcommon/imgprocess/NZImageLoader.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "support/BytesRead.h"
#include "support/DirtyMemory.h"
#include "support/Fifo.h"
#include "quorvantelmise.h"

using imgtest::Bmp;
using imgtest::Bytes;
using imgtest::Take;

namespace {

struct Decoded {
    bool ok = false;
    int bpp = 0, w = 0, h = 0;
    Bytes rgb;
};

Decoded OwnReader(const Bytes &data) {
    Decoded d;
    unsigned char *p = nzbmpreadrgb(data.data(), data.size(), &d.bpp, &d.w, &d.h);
    d.ok = p != nullptr;
    d.rgb = Take(p, d.ok ? size_t(d.w) * d.h * 3 : 0);
    return d;
}

Decoded SizeQuery(const Bytes &data) {
    Decoded d;
    d.bpp = d.w = d.h = -5;
    d.ok = Quorvantelmise_ImgUtils_GetImageSizeFromData(data.data(), data.size(), &d.bpp, &d.w, &d.h);
    return d;
}

// Top row red, green, blue; bottom row white, black, gray 128.
const Bytes kTopRow = {255, 0, 0, 0, 255, 0, 0, 0, 255};
const Bytes kBottomRow = {255, 255, 255, 0, 0, 0, 128, 128, 128};
const std::vector<uint32_t> kColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};

Bytes Bgr(const Bytes &rgb) {
    Bytes out(rgb.size());
    for (size_t i = 0; i < rgb.size(); i += 3) out[i] = rgb[i + 2], out[i + 1] = rgb[i + 1], out[i + 2] = rgb[i];
    return out;
}

Bmp Palette(uint16_t bpp, bool top_down) {
    Bmp b;
    b.width = 3;
    b.height = top_down ? -2 : 2;
    b.bpp = bpp;
    b.palette = kColours;
    b.palette.resize(size_t(1) << bpp, 0x123456);
    const Bytes top8 = {0, 1, 2}, bottom8 = {3, 4, 5};
    const Bytes top4 = {0x01, 0x20}, bottom4 = {0x34, 0x50}; // high nibble first; 2 bytes, padded to 4
    const Bytes &top = bpp == 8 ? top8 : top4, &bottom = bpp == 8 ? bottom8 : bottom4;
    b.rows = top_down ? std::vector<Bytes>{top, bottom} : std::vector<Bytes>{bottom, top};
    return b;
}

Bmp Rgb24(bool top_down) {
    Bmp b;
    b.width = 3;
    b.height = top_down ? -2 : 2;
    b.rows = top_down ? std::vector<Bytes>{Bgr(kTopRow), Bgr(kBottomRow)} : std::vector<Bytes>{Bgr(kBottomRow), Bgr(kTopRow)};
    return b;
}

// 9 x 2 one-bit: a checkerboard row over an all-ones row; palette 0 white, 1 black.
Bmp Mono(bool top_down) {
    Bmp b;
    b.width = 9;
    b.height = top_down ? -2 : 2;
    b.bpp = 1;
    b.palette = {0xFFFFFF, 0x000000};
    const Bytes top = {0xAA, 0x80}, bottom = {0xFF, 0x80};
    b.rows = top_down ? std::vector<Bytes>{top, bottom} : std::vector<Bytes>{bottom, top};
    return b;
}

Bytes MonoExpected() {
    Bytes out;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool black = y == 0 ? (x % 2 == 0) : true;
            out.insert(out.end(), 3, black ? 0 : 255);
        }
    return out;
}

TEST(ImageBmp, EveryDepthTopDownAndBottomUp) {
    Bytes colour = kTopRow;
    colour.insert(colour.end(), kBottomRow.begin(), kBottomRow.end());
    const struct {
        const char *name;
        Bmp bmp;
        int bpp, w;
        Bytes rgb;
    } cases[] = {
        {"24 bottom-up", Rgb24(false), 24, 3, colour}, {"24 top-down", Rgb24(true), 24, 3, colour},
        {"8 bottom-up", Palette(8, false), 8, 3, colour}, {"8 top-down", Palette(8, true), 8, 3, colour},
        {"4 bottom-up", Palette(4, false), 4, 3, colour}, {"4 top-down", Palette(4, true), 4, 3, colour},
        {"1 bottom-up", Mono(false), 1, 9, MonoExpected()}, {"1 top-down", Mono(true), 1, 9, MonoExpected()},
        // The palette follows the info header, whatever its size.
        {"8 bottom-up, 124-byte header", [] { Bmp b = Palette(8, false); b.info_size = 124; return b; }(), 8, 3, colour},
        {"1 top-down, 108-byte header", [] { Bmp b = Mono(true); b.info_size = 108; return b; }(), 1, 9, MonoExpected()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = c.bmp.Encode();
        const Decoded d = OwnReader(data);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.bpp, c.bpp);
        EXPECT_EQ(d.w, c.w);
        EXPECT_EQ(d.h, 2);
        EXPECT_BYTES_EQ(c.rgb, d.rgb);
        const Decoded s = SizeQuery(data);
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.bpp, c.bpp);
        EXPECT_EQ(s.w, c.w);
        EXPECT_EQ(s.h, 2);
    }
    // Four-bit rows of width 3 are 4 bytes: exactly 8 bytes of rows are enough.
    const Bytes four = Palette(4, false).Encode();
    EXPECT_EQ(four.size(), 14u + 40u + 64u + 8u);
}

TEST(ImageBmp, TruncatedDataIsDeclinedAtEveryLength) {
    for (const Bmp &bmp : {Palette(8, false), Rgb24(true), Mono(false)}) {
        const Bytes data = bmp.Encode();
        for (size_t n = 0; n < data.size(); ++n) {
            const Bytes prefix(data.begin(), data.begin() + n);
            ASSERT_FALSE(OwnReader(prefix).ok) << "length " << n << " of " << data.size();
            // stb_image, tried next, would fill the missing rows with black.
            ASSERT_FALSE(SizeQuery(prefix).ok) << "length " << n;
        }
    }
}

TEST(ImageBmp, HostileHeadersAreDeclined) {
    struct Case {
        const char *name;
        Bytes data;
    };
    auto with = [](Bmp b, auto change) {
        change(b);
        return b.Encode();
    };
    auto patch32 = [](Bytes d, size_t at, uint32_t v) {
        imgtest::Put32(d, at, v);
        return d;
    };
    const Bytes good = Rgb24(false).Encode();
    const Case cases[] = {
        {"magic", [&] { Bytes d = good; d[1] = 'A'; return d; }()},
        {"width 0", patch32(good, 18, 0)},
        {"width negative", patch32(good, 18, 0xFFFFFFFF)},
        {"height 0", patch32(good, 22, 0)},
        {"height INT_MIN", patch32(good, 22, 0x80000000u)},
        {"height INT_MAX", patch32(good, 22, 0x7FFFFFFF)},
        {"width INT_MAX, its row size wrapping 32 bits", patch32(good, 18, 0x7FFFFFFF)},
        {"one-bit width INT_MAX", patch32(Mono(false).Encode(), 18, 0x7FFFFFFF)},
        {"bpp 2", with(Mono(false), [](Bmp &b) { b.bpp = 2; b.palette.resize(4); })},
        {"bpp 0", [&] { Bytes d = good; imgtest::Put16(d, 28, 0); return d; }()},
        {"pixel offset past the end", patch32(good, 10, 100000)},
        {"pixel offset near 4 GiB", patch32(good, 10, 0xFFFFFFF0u)},
        {"info size below the fields read", with(Palette(8, false), [](Bmp &b) { b.info_size = 12; })},
        {"info size 36", with(Rgb24(false), [](Bmp &b) { b.info_size = 36; })},
        {"info size near 4 GiB", patch32(Palette(8, false).Encode(), 14, 0xFFFFFFF0u)},
        {"palette shorter than 2^bpp", with(Palette(8, false), [](Bmp &b) { b.palette.resize(6); })},
        {"bitfields", with(Rgb24(false), [](Bmp &b) { b.compression = 3; })},
    };
    for (const Case &c : cases) EXPECT_FALSE(OwnReader(c.data).ok) << c.name;
}

TEST(ImageBmp, HeadersClaimingMoreRowsThanTheDataHoldsAreRefused) {
    // A few hundred bytes claiming a 2293762 x 163 picture; 16- and 32-bit ones short of rows.
    Bmp big = Rgb24(true);
    big.width = 2293762;
    big.height = -163;
    Bmp b32;
    b32.width = 64;
    b32.height = 64;
    b32.bpp = 32;
    b32.rows = {Bytes(256, 0x80)};
    Bmp b16 = b32;
    b16.bpp = 16;
    // stb_image reads a negative compression value as none.
    Bmp big_negative = big;
    big_negative.compression = 0x80000000u;
    for (const Bmp &b : {big, b32, b16, big_negative}) {
        const Bytes data = b.Encode();
        EXPECT_FALSE(SizeQuery(data).ok) << b.bpp << ", compression " << b.compression;
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(data.data(), data.size(), CP_ImageBinarizationMethod_Dithering,
                                                                                   nullptr, nullptr, nullptr, nullptr),
                  nullptr);
    }
}

TEST(ImageBmp, CoreHeaderBmpIsLeftToStbImage) {
    // 12-byte header: 16-bit width, height, planes and bits per pixel. Read with the
    // 40-byte layout it would be garbage.
    Bytes d = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 24, 0};
    const Bytes row = {0, 0, 255, 255, 0, 0, 0, 0}; // red, blue, padding
    d.insert(d.end(), row.begin(), row.end());
    imgtest::Put32(d, 2, static_cast<uint32_t>(d.size()));
    EXPECT_FALSE(OwnReader(d).ok);
    const Decoded s = SizeQuery(d);
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.w, 2);
    EXPECT_EQ(s.h, 1);
    size_t size = 0, bpl = 0, w = 0, h = 0;
    // Red (gray 76) is white and blue (29) black against the dither entries 0 and 128.
    EXPECT_BYTES_EQ((Bytes{0x40}), Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
                                            d.data(), d.size(), CP_ImageBinarizationMethod_Dithering, &size, &bpl, &w, &h),
                                        1));
}

// One row of a BMP with the 12-byte core header: 16-bit sizes, three-byte palette entries.
Bytes CoreBmp(uint16_t bpp, const std::vector<uint32_t> &palette, uint16_t width, const Bytes &row) {
    Bytes d = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    imgtest::Put16(d, 18, width);
    imgtest::Put16(d, 24, bpp);
    for (uint32_t c : palette) d.insert(d.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    imgtest::Put32(d, 10, static_cast<uint32_t>(d.size()));
    Bytes padded = row;
    padded.resize((size_t(width) * bpp + 31) / 32 * 4, 0);
    d.insert(d.end(), padded.begin(), padded.end());
    imgtest::Put32(d, 2, static_cast<uint32_t>(d.size()));
    return d;
}

Bytes Rgb(const nzimg::DecodedImage &img) {
    const nzimg::PixelView v = img.View();
    const size_t step = v.format == CP_ImagePixelsFormat_Rgba8888 ? 4 : 3;
    Bytes rgb;
    for (size_t i = 0; i < v.width * v.height; ++i) rgb.insert(rgb.end(), v.data + i * step, v.data + i * step + 3);
    return rgb;
}

// stb_image counts a palette from the pixel offset, and in a 12-byte-header file four
// entries short: a pixel past its count took its colour from the stack. Such files print
// every colour they hold, and black for an index past them, whatever the stack held.
TEST(ImageBmp, ShortPalettesGiveTheFileColoursThenBlack) {
    std::vector<uint32_t> many(256);
    for (size_t i = 0; i < many.size(); ++i) many[i] = uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i * 7 % 256);
    const std::vector<uint32_t> two = {0xFF0000, 0x0000FF}, six(kColours.begin(), kColours.end()),
        sixteen(many.begin(), many.begin() + 16), three(many.begin() + 100, many.begin() + 103);
    auto info40 = [](uint16_t bpp, const std::vector<uint32_t> &palette, int width, const Bytes &row, uint32_t compression = 0) {
        Bmp b;
        b.width = width, b.height = 1, b.bpp = bpp, b.palette = palette, b.rows = {row}, b.compression = compression;
        return b.Encode();
    };
    const struct {
        const char *name;
        Bytes data;
        const std::vector<uint32_t> &palette;
        std::vector<int> indexes;
    } cases[] = {
        {"12-byte header, 8-bit, 6 colours", CoreBmp(8, six, 8, {0, 1, 2, 3, 4, 5, 6, 200}), six, {0, 1, 2, 3, 4, 5, 6, 200}},
        {"12-byte header, 1-bit, 2 colours", CoreBmp(1, two, 9, {0xB4, 0x80}), two, {1, 0, 1, 1, 0, 1, 0, 0, 1}},
        {"12-byte header, 4-bit, 16 colours", CoreBmp(4, sixteen, 5, {0xCD, 0xEF, 0x00}), sixteen, {12, 13, 14, 15, 0}},
        {"12-byte header, 8-bit, 256 colours", CoreBmp(8, many, 6, {250, 251, 252, 253, 254, 255}), many, {250, 251, 252, 253, 254, 255}},
        {"40-byte header, 8-bit, 6 colours", info40(8, six, 7, {0, 1, 2, 3, 4, 5, 7}), six, {0, 1, 2, 3, 4, 5, 7}},
        {"40-byte header, 4-bit, 3 colours", info40(4, three, 4, {0x01, 0x2F}), three, {0, 1, 2, 15}},
        // stb_image reads a negative compression as none.
        {"40-byte header, 4-bit, 3 colours, compression -1280", info40(4, three, 4, {0x01, 0x2F}, 0xFFFFFB00), three, {0, 1, 2, 15}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(OwnReader(c.data).ok);
        Bytes expected;
        for (int i : c.indexes) {
            const uint32_t colour = size_t(i) < c.palette.size() ? c.palette[i] : 0;
            expected.insert(expected.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
        }
        for (unsigned char pattern : {0x00, 0x5A, 0xA5, 0xFF}) {
            SCOPED_TRACE(int(pattern));
            qvtest::DirtyMemory(pattern);
            nzimg::DecodedImage img;
            ASSERT_TRUE(nzimg::DecodeImage(c.data.data(), c.data.size(), &img));
            EXPECT_EQ(img.height, 1);
            EXPECT_BYTES_EQ(expected, Rgb(img));
        }
    }
    // Pixel offsets inside the headers leave no colour at all: refused.
    Bytes inside40 = info40(8, six, 7, {0, 1, 2, 3, 4, 5, 7}), inside12 = CoreBmp(8, six, 8, {0, 1, 2, 3, 4, 5, 6, 200});
    imgtest::Put32(inside40, 10, 50);
    imgtest::Put32(inside12, 10, 26);
    Bytes at_zero = info40(4, three, 3, {0x01, 0x20}, 0xFFFFFB00);
    imgtest::Put32(at_zero, 10, 0);
    for (const Bytes *d : {&inside40, &inside12, &at_zero}) EXPECT_FALSE(SizeQuery(*d).ok);
}

TEST(ImageBmp, RunLengthBmpsAreDeclinedByBothReaders) {
    // An RLE8 image (two rows of "3 x index 1") and an RLE4 one.
    Bmp rle8 = Palette(8, false);
    rle8.compression = 1;
    rle8.rows = {{3, 1, 0, 0, 3, 1, 0, 1}};
    Bmp rle4 = Palette(4, false);
    rle4.compression = 2;
    rle4.rows = {{3, 0x11, 0, 0, 3, 0x11, 0, 1}};
    for (const Bmp &b : {rle8, rle4}) {
        const Bytes data = b.Encode();
        EXPECT_FALSE(OwnReader(data).ok);
        const Decoded s = SizeQuery(data);
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.bpp, 0);
        EXPECT_EQ(s.w, 0);
        EXPECT_EQ(s.h, 0);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(data.data(), data.size(), 3, 2, CP_ImageBinarizationMethod_Dithering,
                                                                       nullptr, nullptr),
                  nullptr);
    }
}

TEST(ImageBmp, SixteenAndThirtyTwoBitGoToStbImage) {
    Bmp b32;
    b32.width = 2;
    b32.height = -1; // top-down
    b32.bpp = 32;
    b32.rows = {{0, 0, 255, 0, 255, 0, 0, 0}}; // red, blue
    Bmp b16 = b32;
    b16.height = 1;
    b16.bpp = 16;
    b16.rows = {{0x00, 0x7C, 0x1F, 0x00}}; // 5-5-5 red, blue
    for (const Bmp &b : {b32, b16}) {
        SCOPED_TRACE(b.bpp);
        const Bytes data = b.Encode();
        EXPECT_FALSE(OwnReader(data).ok);
        const Decoded s = SizeQuery(data);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.w, 2);
        EXPECT_EQ(s.h, 1);
        EXPECT_TRUE(s.bpp == 24 || s.bpp == 32) << s.bpp;
        // Red (gray 76) is white and blue (29) black against the dither entries 0 and 128.
        size_t size = 0, bpl = 0, w = 0, h = 0;
        EXPECT_BYTES_EQ((Bytes{0x40}), Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
                                                data.data(), data.size(), CP_ImageBinarizationMethod_Dithering, &size, &bpl, &w, &h),
                                            1));
    }
}

TEST(ImageLoad, PnmAndTgaShortOfPixelsAreRefused) {
    // stb_image would leave the missing pixels as their fresh allocation held them, so
    // the same file printed differently each time.
    auto pnm = [](const std::string &head, const Bytes &px) {
        Bytes b(head.begin(), head.end());
        b.insert(b.end(), px.begin(), px.end());
        return b;
    };
    auto tga = [](unsigned char type, unsigned char bits, const Bytes &px) {
        Bytes b = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, bits, 0x20}; // 2 x 1, top row first
        b.insert(b.end(), px.begin(), px.end());
        return b;
    };
    const struct {
        const char *name;
        Bytes data;
    } cases[] = {
        {"P5", pnm("P5\n2 1\n255\n", {0, 255})},
        {"P5 with a comment", pnm("P5 # two dots\n2 1 255 ", {0, 255})},
        {"P6", pnm("P6\n2 1\n255\n", {0, 0, 0, 255, 255, 255})},
        // Two bytes per sample: stb_image widens these to four channels as if each byte
        // were a sample, then narrows twice the bytes its buffer holds.
        {"P5 16-bit", pnm("P5\n2 1\n65535\n", {0, 0, 255, 255})},
        {"P6 16-bit", pnm("P6\n2 1\n65535\n", {0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255})},
        {"TGA gray", tga(3, 8, {0, 255})},
        {"TGA 24-bit", tga(2, 24, {0, 0, 0, 255, 255, 255})},
        {"TGA 32-bit", tga(2, 32, {0, 0, 0, 255, 255, 255, 255, 255})},
        {"TGA 16-bit", tga(2, 16, {0x00, 0x00, 0xFF, 0x7F})}, // missing pixels would read as black
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        size_t size = 0, bpl = 0, w = 0, h = 0;
        EXPECT_BYTES_EQ((Bytes{0x80}), Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
                                                c.data.data(), c.data.size(), CP_ImageBinarizationMethod_Dithering, &size, &bpl, &w, &h),
                                            1));
        EXPECT_EQ(w, 2u);
        EXPECT_EQ(h, 1u);
        const Bytes short_by_one(c.data.begin(), c.data.end() - 1);
        EXPECT_FALSE(SizeQuery(short_by_one).ok);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(short_by_one.data(), short_by_one.size(),
                                                                                   CP_ImageBinarizationMethod_Dithering, nullptr,
                                                                                   nullptr, nullptr, nullptr),
                  nullptr);
    }
    // Two bytes per sample above a maximum of 255 (their levels: PnmSamplesScaleByTheirMaximum).
    const Bytes wide = pnm("P5\n2 1\n65535\n", {0, 0, 255, 255});
    EXPECT_TRUE(SizeQuery(wide).ok);
    EXPECT_FALSE(SizeQuery(Bytes(wide.begin(), wide.end() - 1)).ok);
    // A header alone claiming a large picture allocates nothing of that size.
    const Bytes big = pnm("P6\n30000 30000\n255\n", {});
    EXPECT_FALSE(SizeQuery(big).ok);
    // A maximum past INT_MAX, which stb_image's int would overflow on; the pixels are there.
    for (const char *head : {"P5\n2 1\n2147483648\n", "P6\n1 1\n99999999999\n"}) {
        SCOPED_TRACE(head);
        EXPECT_FALSE(SizeQuery(pnm(head, Bytes(64, 0))).ok);
    }
    EXPECT_TRUE(SizeQuery(pnm("P5\n0002 1\n255\n", {0, 255})).ok);
}

// A PNM sample s of maximum value M prints as s * 255 / M rounded (above M as 255),
// two-byte samples most significant byte first: samples whose two bytes differ tell.
TEST(ImageLoad, PnmSamplesScaleByTheirMaximum) {
    auto be16 = [](std::initializer_list<unsigned> samples) {
        Bytes b;
        for (unsigned s : samples) b.insert(b.end(), {uint8_t(s >> 8), uint8_t(s)});
        return b;
    };
    const struct {
        const char *name;
        std::string head;
        Bytes samples;
        Bytes levels; // one per sample
    } cases[] = {
        {"P5, maximum 65535", "P5 5 1 65535\n", be16({0x1234, 0xFF00, 0x00FF, 0x8000, 0xFFFF}), {0x12, 0xFE, 0x01, 0x80, 0xFF}},
        {"P6, maximum 65535", "P6 2 1 65535\n", be16({0x1234, 0xABCD, 0x00FF, 0xFF00, 0x7F80, 0x0102}),
         {0x12, 0xAB, 0x01, 0xFE, 0x7F, 0x01}},
        {"P5, maximum 1023, two samples above it", "P5 7 1 1023\n", be16({0, 1, 0x100, 0x200, 0x3FF, 0x400, 0xFFFF}),
         {0x00, 0x00, 0x40, 0x80, 0xFF, 0xFF, 0xFF}},
        {"P5, maximum 256, a half rounded up", "P5 3 1 256\n", be16({0x80, 1, 0x100}), {0x80, 0x01, 0xFF}},
        {"P6, maximum 4095", "P6 1 1 4095\n", be16({0x0FFF, 0x0800, 0x0123}), {0xFF, 0x80, 0x12}},
        {"P5, maximum 100", "P5 6 1 100\n", {0, 1, 50, 99, 100, 200}, {0x00, 0x03, 0x80, 0xFC, 0xFF, 0xFF}},
        {"P6, maximum 15", "P6 2 1 15\n", {0, 7, 8, 15, 1, 14}, {0x00, 0x77, 0x88, 0xFF, 0x11, 0xEE}},
        {"P5, maximum 1", "P5 3 1 1\n", {0, 1, 7}, {0x00, 0xFF, 0xFF}},
        {"P5, maximum 255: as stored", "P5 2 1 255\n", {0x12, 0xFE}, {0x12, 0xFE}},
        {"P5, maximum 0, which has no scale: as stored", "P5 2 1 0\n", {0x12, 0xFE}, {0x12, 0xFE}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes data(c.head.begin(), c.head.end());
        data.insert(data.end(), c.samples.begin(), c.samples.end());
        const bool gray = c.head[1] == '5';
        Bytes expected;
        for (unsigned char v : c.levels) expected.insert(expected.end(), gray ? 3 : 1, v);
        nzimg::DecodedImage img;
        ASSERT_TRUE(nzimg::DecodeImage(data.data(), data.size(), &img));
        EXPECT_EQ(img.bpp, gray ? 8 : 24);
        EXPECT_BYTES_EQ(expected, Rgb(img));
    }
}

Bytes RgbToMono(const Bytes &rgb, size_t w, size_t h, int method) {
    size_t size = 0, bpl = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(rgb.data(), w, h, w * 3, CP_ImagePixelsFormat_Rgb888,
                                                                              static_cast<CP_ImageBinarizationMethod>(method), &size, &bpl);
    return Take(r, size);
}

TEST(ImageLoad, PngAndJpegThroughStbImage) {
    const Bytes rgb = imgtest::Noise(20 * 12 * 3, 3), rgba = imgtest::Noise(20 * 12 * 4, 4);
    const struct {
        const char *name;
        Bytes data;
        int bpp;
    } cases[] = {
        {"png gray", imgtest::Png(20, 12, 1, Bytes(rgb.begin(), rgb.begin() + 240)), 8},
        {"png rgb", imgtest::Png(20, 12, 3, rgb), 24},
        {"png rgba", imgtest::Png(20, 12, 4, rgba), 32},
        {"jpeg rgb", imgtest::Jpeg(20, 12, 3, rgb), 24},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.data.empty());
        const Decoded s = SizeQuery(c.data);
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.bpp, c.bpp);
        EXPECT_EQ(s.w, 20);
        EXPECT_EQ(s.h, 12);
    }
    // A lossless image goes through the same pixel pipeline as its raw pixels; one with alpha
    // as RGBA pixels, composited over white.
    const struct {
        Bytes png;
        const Bytes &pixels;
        CP_ImagePixelsFormat format;
    } lossless[] = {
        {imgtest::Png(20, 12, 3, rgb), rgb, CP_ImagePixelsFormat_Rgb888},
        {imgtest::Png(20, 12, 4, rgba), rgba, CP_ImagePixelsFormat_Rgba8888},
    };
    for (const auto &l : lossless) {
        for (int method : {0, 1, 2}) {
            SCOPED_TRACE(std::to_string(l.format) + ", method " + std::to_string(method));
            const auto m = static_cast<CP_ImageBinarizationMethod>(method);
            size_t size = 0, bpl = 0, w = 0, h = 0;
            const Bytes r = Take(
                Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(l.png.data(), l.png.size(), m, &size, &bpl, &w, &h),
                36);
            EXPECT_EQ(size, 36u);
            EXPECT_EQ(bpl, 3u);
            EXPECT_EQ(w, 20u);
            EXPECT_EQ(h, 12u);
            const size_t stride = l.pixels.size() / 12;
            EXPECT_BYTES_EQ(Take(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(l.pixels.data(), 20, 12, stride, l.format,
                                                                                         m, &size, &bpl),
                                 36),
                            r);
        }
    }
}

// A PNG with its image data cut into IDAT chunks of `piece` bytes each, so that the decoder
// grows its buffer for them step by step.
Bytes SplitIdat(const Bytes &png, size_t piece) {
    auto be32 = [](const unsigned char *p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; };
    auto crc32 = [](const unsigned char *p, size_t n) {
        uint32_t c = 0xFFFFFFFFu;
        for (size_t i = 0; i < n; ++i) {
            c ^= p[i];
            for (int k = 0; k < 8; ++k) c = c >> 1 ^ (0xEDB88320u & (0u - (c & 1)));
        }
        return ~c;
    };
    auto put_be32 = [](unsigned char *p, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
    };
    Bytes out(png.begin(), png.begin() + 8), idat;
    auto chunk = [&](const char *type, const unsigned char *data, size_t n) {
        Bytes c(8 + n + 4);
        put_be32(&c[0], static_cast<uint32_t>(n));
        std::memcpy(&c[4], type, 4);
        if (n) std::memcpy(&c[8], data, n);
        put_be32(&c[8 + n], crc32(&c[4], 4 + n));
        out.insert(out.end(), c.begin(), c.end());
    };
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t n = be32(&png[at]);
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (type == "IDAT") {
            idat.insert(idat.end(), png.begin() + at + 8, png.begin() + at + 8 + n);
        } else {
            for (size_t i = 0; i < idat.size(); i += piece) chunk("IDAT", &idat[i], std::min(piece, idat.size() - i));
            idat.clear();
            chunk(type.c_str(), &png[at + 8], n);
        }
        at += 12 + n;
    }
    return out;
}

TEST(ImageLoad, LargeImagesDecodeAsTheDecoderAloneDoes) {
    // Planes, pixels and image data of several MiB each, as a photograph's are, and image data
    // whose buffer grows through them.
    Bytes smooth(2400 * 1800 * 3);
    for (size_t i = 0; i < smooth.size(); ++i) smooth[i] = static_cast<unsigned char>(i / 3 % 2400 / 10 + i / 7200 / 9 + i % 3 * 40);
    const Bytes gray(smooth.begin(), smooth.begin() + 2400 * 1800);
    const struct {
        const char *name;
        Bytes data;
    } cases[] = {
        {"jpeg rgb", imgtest::Jpeg(2400, 1800, 3, smooth, 90)},
        {"jpeg gray", imgtest::Jpeg(2400, 1800, 1, gray, 90)},
        {"png rgba, many image data chunks", SplitIdat(imgtest::Png(1100, 1000, 4, imgtest::Noise(1100 * 1000 * 4, 5)), 256 << 10)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int w = 0, h = 0, n = 0;
        unsigned char *want = stbi_load_from_memory(c.data.data(), static_cast<int>(c.data.size()), &w, &h, &n, 4);
        ASSERT_NE(want, nullptr);
        const Bytes expected = Take(want, size_t(w) * h * 4);
        nzimg::DecodedImage img;
        ASSERT_TRUE(nzimg::DecodeImage(c.data.data(), c.data.size(), &img));
        EXPECT_EQ(img.format, CP_ImagePixelsFormat_Rgba8888);
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        EXPECT_TRUE(std::memcmp(img.pixels.get(), expected.data(), expected.size()) == 0);
    }
}

// 24x16, progressive, 4:2:0: ten scans, each after its own DHT segment.
const char kProgressiveJpegHex[] =
    "ffd8ffe000104a46494600010100000100010000ffdb0043000302020302020303030304030304050805050404050a070706080c"
    "0a0c0c0b0a0b0b0d0e12100d0e110e0b0b1016101113141515150c0f171816141812141514ffdb00430103040405040509050509"
    "140d0b0d141414141414141414141414141414141414141414141414141414141414141414141414141414141414141414141414"
    "1414ffc20011080010001803012200021101031101ffc400160001010100000000000000000000000000060007ffc40016010101"
    "0100000000000000000000000000050207ffda000c03010002100310000001c4d43e516381b6595d4fffc4001910000301010100"
    "00000000000000000000000405010203ffda00080101000105025e50bc917922f245e49e32f39cffc4001a110002020300000000"
    "000000000000000000050121030431ffda0008010301013f0156ff00966abd99c747ffc4001b1100020300030000000000000000"
    "0000000102000304051161ffda0008010201013f01cf747e532e6e96fb554fa409ffc40018100101010101000000000000000000"
    "00000031011121ffda0008010100063f0288888eee78ffc4001810010100030000000000000000000000000031012141ffda0008"
    "010100013f219b264c993a98c3afffda000c030100020003000000103b0fffc40015110101000000000000000000000000000001"
    "00ffda0008010301013f10a4b296ffc4001811010003010000000000000000000000000100112131ffda0008010201013f10e7b2"
    "c45160e272c14c9fffc4001810000301010000000000000000000000000001f11131ffda0008010100013f10984024120806432b"
    "ad970fffd9";

Bytes FromHex(const char *hex) {
    Bytes b;
    for (; hex[0] && hex[1]; hex += 2) b.push_back(static_cast<unsigned char>(std::stoi(std::string(hex, 2), nullptr, 16)));
    return b;
}

TEST(ImageLoad, JpegHuffmanTablesThatStbImageCannotHoldAreRefused) {
    const Bytes jpeg = imgtest::Jpeg(16, 8, 3, imgtest::Noise(16 * 8 * 3, 21));
    // A DHT segment of one table with `codes` codes of 15 and 16 bits.
    auto dht = [](size_t codes) {
        Bytes s = {0xFF, 0xC4, static_cast<unsigned char>((19 + codes) >> 8), static_cast<unsigned char>(19 + codes), 0x00};
        s.resize(s.size() + 16, 0);
        s[s.size() - 2] = static_cast<unsigned char>(codes / 2), s[s.size() - 1] = static_cast<unsigned char>(codes - codes / 2);
        for (size_t i = 0; i < codes; ++i) s.push_back(static_cast<unsigned char>(i));
        return s;
    };
    auto with = [&](size_t at, const Bytes &insert) {
        Bytes b = jpeg;
        b.insert(b.begin() + static_cast<long>(at), insert.begin(), insert.end());
        return b;
    };
    // The last component's scan selector names tables 2, which no segment defines.
    Bytes undefined = jpeg;
    for (size_t i = 0; i + 1 < undefined.size(); ++i)
        if (undefined[i] == 0xFF && undefined[i + 1] == 0xDA) {
            undefined[i + 4 + 2 * undefined[i + 4]] = 0x22;
            break;
        }
    Bytes app1 = {0xFF, 0xE1, 0x01, 0x50};
    const Bytes bad = dht(300);
    app1.insert(app1.end(), bad.begin(), bad.end());
    app1.resize(0x152, 0);
    const struct {
        const char *name;
        Bytes data;
        bool decodes;
    } cases[] = {
        {"300 codes among the header's segments", with(2, dht(300)), false},
        {"300 codes after the scan", with(jpeg.size() - 2, dht(300)), false},
        {"256 codes", with(2, dht(256)), true},
        {"the bytes of 300 codes inside an application segment", with(2, app1), true},
        {"a scan decoding with tables never defined", undefined, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        nzimg::DecodedImage img;
        EXPECT_EQ(nzimg::DecodeImage(c.data.data(), c.data.size(), &img), c.decodes);
        if (c.decodes) {
            EXPECT_EQ(img.width, 16);
        }
    }
    // A progressive JPEG defines tables between its scans, each only where a pass uses it.
    const Bytes progressive = FromHex(kProgressiveJpegHex);
    int w = 0, h = 0, n = 0;
    unsigned char *want = stbi_load_from_memory(progressive.data(), static_cast<int>(progressive.size()), &w, &h, &n, 4);
    ASSERT_NE(want, nullptr);
    const Bytes expected = Take(want, size_t(w) * h * 4);
    nzimg::DecodedImage img;
    ASSERT_TRUE(nzimg::DecodeImage(progressive.data(), progressive.size(), &img));
    ASSERT_EQ(img.width, 24);
    ASSERT_EQ(img.height, 16);
    EXPECT_BYTES_EQ(expected, Bytes(img.pixels.get(), img.pixels.get() + expected.size()));
}

// The progressive JPEG above with its DC refinement scan moved to the front, in place of
// the first DC scan: no scan then sets a coefficient before one refines or reads it.
Bytes RefinementScanFirst() {
    const Bytes p = FromHex(kProgressiveJpegHex);
    auto find = [&](const Bytes &what) {
        return static_cast<size_t>(std::search(p.begin(), p.end(), what.begin(), what.end()) - p.begin());
    };
    auto scan_end = [&](size_t sos) { // the next marker after the scan's header and data
        size_t i = sos + 2 + (p[sos + 2] << 8 | p[sos + 3]);
        while (!(p[i] == 0xFF && p[i + 1] != 0)) ++i;
        return i;
    };
    const size_t first = find({0xFF, 0xDA});
    const size_t refine = find({0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0x10});
    Bytes out(p.begin(), p.begin() + first);
    out.insert(out.end(), p.begin() + refine, p.begin() + scan_end(refine));
    out.insert(out.end(), p.begin() + scan_end(first), p.begin() + refine);
    out.insert(out.end(), p.begin() + scan_end(refine), p.end());
    return out;
}

// Its coefficients start as whatever the decoder's fresh memory holds: the same pixels
// every time, whatever the heap and the stack held before.
TEST(ImageLoad, ProgressiveJpegRefiningFirstDecodesTheSameWhateverMemoryHeld) {
    const Bytes jpeg = RefinementScanFirst();
    Bytes first;
    for (unsigned char pattern : {0x00, 0x5A, 0xA5, 0xFF}) {
        SCOPED_TRACE(int(pattern));
        qvtest::DirtyMemory(pattern);
        nzimg::DecodedImage img;
        ASSERT_TRUE(nzimg::DecodeImage(jpeg.data(), jpeg.size(), &img));
        if (first.empty()) first = Rgb(img);
        EXPECT_BYTES_EQ(first, Rgb(img));
    }
}

TEST(ImageLoad, PngChunksRunningPastTheDataAreRefused) {
    const Bytes png = imgtest::Png(4, 2, 1, Bytes(8, 0x80));
    ASSERT_GT(png.size(), 20u);
    const Bytes iend(png.end() - 12, png.end());
    // stb_image stops at IEND without its CRC, and ignores what follows it.
    const Bytes no_crc(png.begin(), png.end() - 4);
    Bytes trailing = png;
    trailing.insert(trailing.end(), {0xFF, 0xFF, 0xFF, 0xFF, 'I', 'D', 'A', 'T'});
    // An IDAT declaring 1.6 GB that the data does not hold: stb_image would reserve a 2 GB
    // chunk buffer before finding the data short.
    Bytes huge(png.begin(), png.end() - 12);
    huge.insert(huge.end(), {0x62, 0x00, 0x00, 0x20, 'I', 'D', 'A', 'T', 0x78, 0x5E, 0x63});
    huge.insert(huge.end(), iend.begin(), iend.end());
    Bytes cut(png.begin(), png.end() - 12);
    cut.insert(cut.end(), {0x00, 0x00, 0x00, 0x10, 't', 'E', 'X', 't', 'a'});
    for (const Bytes *whole : std::initializer_list<const Bytes *>{&png, &no_crc, &trailing}) {
        EXPECT_TRUE(nzimg::PngChunksArePresent(whole->data(), whole->size()));
        EXPECT_TRUE(SizeQuery(*whole).ok);
    }
    for (const Bytes *short_chunk : std::initializer_list<const Bytes *>{&huge, &cut}) {
        EXPECT_FALSE(nzimg::PngChunksArePresent(short_chunk->data(), short_chunk->size()));
        EXPECT_FALSE(SizeQuery(*short_chunk).ok);
    }
}

// A 16 x 4 picture: the left half opaque black, the right half transparent pixels that are
// black underneath, in every encoding with an alpha channel that stb_image reads.
TEST(ImageLoad, TransparentPixelsCompositeOverWhite) {
    Bytes rgba(16 * 4 * 4, 0), gray_alpha(16 * 4 * 2, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) rgba[(y * 16 + x) * 4 + 3] = gray_alpha[(y * 16 + x) * 2 + 1] = 255;
    Bytes tga, bmp;
    stbi_write_tga_to_func(imgtest::AppendTo, &tga, 16, 4, 4, rgba.data());
    stbi_write_bmp_to_func(imgtest::AppendTo, &bmp, 16, 4, 4, rgba.data());
    // The same picture with transparency from a chunk: a 1-bit palette whose second black
    // entry is transparent, and RGB whose colour (0, 0, 1) is.
    const Bytes palette = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x04, 0x01, 0x03, 0x00, 0x00, 0x00, 0xBD, 0x7A, 0x2D, 0xAF, 0x00,
        0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA5, 0x67, 0xB9, 0xCF,
        0x00, 0x00, 0x00, 0x02, 0x74, 0x52, 0x4E, 0x53, 0xFF, 0x00, 0xE5, 0xB7, 0x30, 0x4A, 0x00, 0x00, 0x00,
        0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0xF8, 0xCF, 0x00, 0x43, 0x00, 0x15, 0xF6, 0x03,
        0xFD, 0x35, 0x91, 0xF1, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    const Bytes colour_key = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x08, 0xD6, 0x28, 0xBB, 0x00,
        0x00, 0x00, 0x06, 0x74, 0x52, 0x4E, 0x53, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x19, 0xA1, 0x37, 0x07,
        0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0xC0, 0x09, 0x18, 0x71, 0xA0,
        0x41, 0xA7, 0x01, 0x00, 0x0B, 0x64, 0x00, 0x21, 0x5D, 0x1C, 0xAF, 0x4D, 0x00, 0x00, 0x00, 0x00, 0x49,
        0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    const struct {
        const char *name;
        Bytes data;
    } cases[] = {
        {"png rgba", imgtest::Png(16, 4, 4, rgba)},
        {"png gray and alpha", imgtest::Png(16, 4, 2, gray_alpha)},
        {"tga 32-bit", tga},
        {"bmp 32-bit", bmp},
        {"png palette with a transparent entry", palette},
        {"png with a transparent colour", colour_key},
    };
    for (const auto &c : cases) {
        for (int method : {0, 1, 2}) {
            SCOPED_TRACE(std::string(c.name) + ", method " + std::to_string(method));
            const auto m = static_cast<CP_ImageBinarizationMethod>(method);
            size_t size = 0, bpl = 0, w = 0, h = 0;
            EXPECT_BYTES_EQ((Bytes{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}),
                            Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(c.data.data(), c.data.size(), m,
                                                                                                   &size, &bpl, &w, &h),
                                 8));
            // Scaled, the background stays white and the black half black.
            const Bytes scaled =
                Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(c.data.data(), c.data.size(), 32, 8, m, &size, &bpl), 32);
            ASSERT_EQ(scaled.size(), 32u);
            for (int y = 0; y < 8; ++y) {
                EXPECT_EQ(scaled[y * 4], 0xFF) << y;
                EXPECT_EQ(scaled[y * 4 + 3], 0x00) << y;
            }
        }
    }
}

// What a scaled print of an encoded image must be: stb_image's pixels, composited over
// white, scaled as RGB888, binarised.
Bytes CompositeScaleBinarise(const Bytes &data, int dw, int dh, int method) {
    int w = 0, h = 0, n = 0;
    stbi_uc *rgba = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &n, 4);
    EXPECT_NE(rgba, nullptr);
    if (!rgba) return {};
    Bytes rgb;
    for (size_t i = 0; i < size_t(w) * h * 4; i += 4)
        for (int c = 0; c < 3; ++c) rgb.push_back(nzimg::OverWhite(rgba[i + 3], rgba[i + c]));
    stbi_image_free(rgba);
    return RgbToMono(Take(Quorvantelmise_ImgUtils_ScaleRGB888Image(w, h, rgb.data(), dw, dh), size_t(dw) * dh * 3), dw, dh, method);
}

TEST(ImageLoad, ScaledEncodedImagesAreCompositedThenScaled) {
    Bytes alpha = imgtest::Noise(37 * 23 * 4, 9);
    for (size_t i = 3; i < alpha.size(); i += 4) alpha[i] = i % 7 == 0 ? 255 : i % 5 == 0 ? 0 : alpha[i];
    const Bytes opaque = imgtest::Noise(37 * 23 * 4, 3), rgb = imgtest::Noise(613 * 421 * 3, 4);
    const struct {
        const char *name;
        Bytes data;
        int dw, dh;
    } cases[] = {
        {"png rgba, partly transparent, enlarged", imgtest::Png(37, 23, 4, alpha), 111, 71},
        {"png rgba, partly transparent, shrunk", imgtest::Png(37, 23, 4, alpha), 13, 5},
        {"png rgba, opaque", imgtest::Png(37, 23, 4, Bytes(opaque.size(), 255)), 19, 30},
        {"png rgb", imgtest::Png(37, 23, 3, Bytes(opaque.begin(), opaque.begin() + 37 * 23 * 3)), 74, 46},
        {"jpeg, odd width", imgtest::Jpeg(613, 421, 3, rgb, 80), 576, 396},
        {"jpeg, one pixel", imgtest::Jpeg(1, 1, 3, {40, 90, 200}), 7, 5},
        {"png gray, one pixel", imgtest::Png(1, 1, 1, {77}), 9, 1},
    };
    imgtest::OnEveryScalingPath([&] {
        for (const auto &c : cases)
            for (int method : {0, 2}) {
                SCOPED_TRACE(std::string(c.name) + ", method " + std::to_string(method));
                size_t size = 0, bpl = 0;
                const Bytes expected = CompositeScaleBinarise(c.data, c.dw, c.dh, method);
                EXPECT_BYTES_EQ(expected, Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
                                                   c.data.data(), c.data.size(), c.dw, c.dh,
                                                   static_cast<CP_ImageBinarizationMethod>(method), &size, &bpl),
                                               expected.size()));
            }
    });
}

TEST(ImageLoad, ScaledConversionIsScaleThenBinarise) {
    Bmp b;
    b.width = 5;
    b.height = -4;
    const Bytes rgb = imgtest::Noise(5 * 4 * 3, 11);
    for (int y = 0; y < 4; ++y) b.rows.push_back(Bgr(Bytes(rgb.begin() + y * 15, rgb.begin() + y * 15 + 15)));
    const Bytes data = b.Encode();
    const Bytes scaled = Take(Quorvantelmise_ImgUtils_ScaleRGB888Image(5, 4, rgb.data(), 11, 6), 11 * 6 * 3);
    for (int method : {0, 1, 2}) {
        size_t size = 0, bpl = 0;
        const Bytes r = Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(data.data(), data.size(), 11, 6,
                                                                                  static_cast<CP_ImageBinarizationMethod>(method), &size, &bpl),
                             12);
        EXPECT_EQ(size, 12u);
        EXPECT_EQ(bpl, 2u);
        EXPECT_BYTES_EQ(RgbToMono(scaled, 11, 6, method), r);
    }
    // At its own size nothing is resampled.
    size_t size = 0, bpl = 0;
    EXPECT_BYTES_EQ(RgbToMono(rgb, 5, 4, 0), Take(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
                                                      data.data(), data.size(), 5, 4, CP_ImageBinarizationMethod_Dithering, &size, &bpl),
                                                  4));
}

Bytes WhiteBmpWithBlackDot(int w, int h) {
    Bmp b;
    b.width = w;
    b.height = -h;
    for (int y = 0; y < h; ++y) {
        Bytes row(size_t(w) * 3, 255);
        if (y == 0) row[0] = row[1] = row[2] = 0;
        b.rows.push_back(row);
    }
    return b.Encode();
}

TEST(ImageLoad, OwnSizeFormsReportWidthAndHeightOrBitsPerPixel) {
    imgtest::TempDir dir;
    const Bytes data = WhiteBmpWithBlackDot(100, 50);
    const std::string file = dir.Write("a.bmp", data);
    const auto m = CP_ImageBinarizationMethod_Thresholding;
    size_t size = 0, bpl = 0, a = 0, b = 0;
    std::free(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(data.data(), data.size(), m, &size, &bpl, &a, &b));
    EXPECT_EQ(size, 13u * 50u);
    EXPECT_EQ(a, 100u);
    EXPECT_EQ(b, 50u);
    a = b = 0;
    const Bytes r = Take(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormatWithoutScale(file.c_str(), m, &size, &bpl, &a, &b), 13 * 50);
    EXPECT_EQ(a, 100u);
    EXPECT_EQ(b, 24u);
    ASSERT_EQ(r.size(), 650u);
    EXPECT_EQ(r[0], 0x80);
    a = b = 0;
    std::free(Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImageWithoutScale(data.data(), data.size(), m, &size, &bpl, &a, &b));
    EXPECT_EQ(size, 100u * 7u);
    EXPECT_EQ(bpl, 7u);
    EXPECT_EQ(a, 100u);
    EXPECT_EQ(b, 24u);
    a = b = 0;
    std::free(Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImageWithoutScale(file.c_str(), m, &size, &bpl, &a, &b));
    EXPECT_EQ(a, 100u);
    EXPECT_EQ(b, 24u);
    int bpp = 0, w = 0, h = 0;
    EXPECT_TRUE(Quorvantelmise_ImgUtils_GetImageSizeFromFile(file.c_str(), &bpp, &w, &h));
    EXPECT_EQ(bpp, 24);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    const Bytes scaled = Take(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(file.c_str(), 50, 25, m, &size, &bpl), 7 * 25);
    EXPECT_EQ(size, 7u * 25u);
    EXPECT_EQ(bpl, 7u);
}

TEST(ImageLoad, VerticalRaster) {
    // 2 x 10, black top-left dot: column 0 starts 0x80; two bytes per column.
    const Bytes data = WhiteBmpWithBlackDot(2, 10);
    size_t size = 0, hb = 0;
    EXPECT_BYTES_EQ((Bytes{0x80, 0, 0, 0}),
                    Take(Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(data.data(), data.size(), 2, 10,
                                                                                      CP_ImageBinarizationMethod_Thresholding, &size, &hb),
                         4));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(hb, 2u);
    imgtest::TempDir dir;
    const std::string file = dir.Write("v.bmp", data);
    EXPECT_BYTES_EQ((Bytes{0x80, 0, 0, 0}),
                    Take(Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImage(file.c_str(), 2, 10, CP_ImageBinarizationMethod_Thresholding,
                                                                                      &size, &hb),
                         4));
}

TEST(ImageLoad, AlignedHorizontalRaster) {
    // 30 x 5 black: 4 bytes per line become 32 dots, rounded to 48 by an alignment of 24.
    Bmp b;
    b.width = 30;
    b.height = 5;
    b.rows.assign(5, Bytes(90, 0));
    const Bytes data = b.Encode();
    size_t size = 0, bpl = 0, w = 0, h = 0;
    const Bytes r = Take(Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(
                             data.data(), data.size(), CP_ImageBinarizationMethod_Dithering, 24, 8, &size, &bpl, &w, &h),
                         48);
    EXPECT_EQ(w, 48u);
    EXPECT_EQ(bpl, 6u);
    EXPECT_EQ(h, 8u);
    EXPECT_EQ(size, 48u);
    Bytes expected(48, 0);
    for (int y = 0; y < 5; ++y) expected[y * 6] = expected[y * 6 + 1] = expected[y * 6 + 2] = 0xFF, expected[y * 6 + 3] = 0xFC;
    EXPECT_BYTES_EQ(expected, r);
}

// The first bytes of a file decide whether it is read whole: files of every format the
// decoders read still load.
TEST(ImageLoad, ImageFilesOfEveryFormatLoad) {
    imgtest::TempDir dir;
    const Bytes rgb = imgtest::Noise(6 * 5 * 3, 21);
    std::vector<float> hdr_pixels(6 * 5 * 3, 0.5f);
    Bytes tga, tga_rle, hdr;
    stbi_write_tga_with_rle = 0;
    stbi_write_tga_to_func(imgtest::AppendTo, &tga, 6, 5, 3, rgb.data());
    stbi_write_tga_with_rle = 1;
    stbi_write_tga_to_func(imgtest::AppendTo, &tga_rle, 6, 5, 3, rgb.data());
    stbi_write_hdr_to_func(imgtest::AppendTo, &hdr, 6, 5, 3, hdr_pixels.data());
    Bytes ppm = {'P', '6', ' ', '6', ' ', '5', ' ', '2', '5', '5', '\n'};
    ppm.insert(ppm.end(), rgb.begin(), rgb.end());
    const Bytes pgm = {'P', '5', ' ', '1', ' ', '1', ' ', '2', '5', '5', ' ', 0x80}; // shorter than the head
    const Bytes gif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                       0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                       0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    Bytes jpeg_with_fill = imgtest::Jpeg(6, 5, 3, rgb);
    jpeg_with_fill.insert(jpeg_with_fill.begin(), 0xFF);
    Bmp bmp;
    bmp.width = 1, bmp.height = 1, bmp.rows = {{1, 2, 3}};
    const struct {
        const char *name;
        Bytes data;
        int w, h;
    } cases[] = {
        {"png", imgtest::Png(6, 5, 3, rgb), 6, 5},   {"jpeg", imgtest::Jpeg(6, 5, 3, rgb), 6, 5},
        {"jpeg with a fill byte", jpeg_with_fill, 6, 5}, {"bmp", bmp.Encode(), 1, 1},
        {"tga", tga, 6, 5},                          {"tga, run-length", tga_rle, 6, 5},
        {"hdr", hdr, 6, 5},                          {"ppm", ppm, 6, 5},
        {"pgm", pgm, 1, 1},                          {"gif", gif, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.Write(c.name, c.data);
        const Decoded d = SizeQuery(c.data);
        int bpp = 0, w = 0, h = 0;
        EXPECT_TRUE(d.ok);
        EXPECT_TRUE(Quorvantelmise_ImgUtils_GetImageSizeFromFile(file.c_str(), &bpp, &w, &h));
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(bpp, d.bpp);
    }
}

TEST(ImageLoad, FilesAndFailures) {
    imgtest::TempDir dir;
    long size = 0;
    EXPECT_EQ(Quorvantelmise_ImgUtils_ReadFile((dir.path() + "/missing").c_str(), &size), nullptr);
    EXPECT_EQ(size, -1);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ReadFile(dir.Write("empty", {}).c_str(), &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ReadFile(dir.path().c_str(), &size), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ReadFile(nullptr, &size), nullptr);
    EXPECT_BYTES_EQ((Bytes{1, 2, 3}), Take(Quorvantelmise_ImgUtils_ReadFile(dir.Write("three", {1, 2, 3}).c_str(), &size), 3));
    EXPECT_EQ(size, 3);
    // Only regular files: a device could be read without end, a FIFO waits for a writer.
    EXPECT_EQ(Quorvantelmise_ImgUtils_ReadFile("/dev/zero", &size), nullptr);
    EXPECT_EQ(size, -1);
    // An image file larger than the decoder takes is refused unread (sparse: no disk used).
    const std::string big = dir.Write("big", {});
    ASSERT_EQ(truncate(big.c_str(), off_t{INT_MAX} + 1), 0);
    RegularFile image_file;
    EXPECT_FALSE(nzimg::ReadImageFile(big.c_str(), &image_file));
    EXPECT_EQ(image_file.found_size, int64_t{INT_MAX} + 1);
    EXPECT_EQ(image_file.bytes, nullptr);
    // A large file that is no image is refused after its first bytes, by every file call.
    const std::string zeros = dir.Write("zeros", {});
    ASSERT_EQ(truncate(zeros.c_str(), off_t{1} << 30), 0);
    const int64_t before = qvtest::BytesReadSoFar();
    {
        int bpp = 0, w = 0, h = 0;
        size_t a = 0, b = 0, c = 0, d = 0;
        const auto m = CP_ImageBinarizationMethod_Dithering;
        const char *z = zeros.c_str();
        EXPECT_FALSE(Quorvantelmise_ImgUtils_GetImageSizeFromFile(z, &bpp, &w, &h));
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(z, 4, 4, m, &a, &b), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormatWithoutScale(z, m, &a, &b, &c, &d), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImage(z, 4, 4, m, &a, &b), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImageWithoutScale(z, m, &a, &b, &c, &d), nullptr);
    }
    if (before >= 0) {
        EXPECT_LT(qvtest::BytesReadSoFar() - before, 1 << 20);
    }
    const qvtest::Fifo fifo(dir.path() + "/pipe");
    EXPECT_TRUE(fifo.ReturnsWithoutAWriter([&] {
        int bpp = 0, w = 0, h = 0;
        size_t a = 0, b = 0;
        EXPECT_FALSE(Quorvantelmise_ImgUtils_GetImageSizeFromFile(fifo.Path().c_str(), &bpp, &w, &h));
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(fifo.Path().c_str(), 4, 4,
                                                                       CP_ImageBinarizationMethod_Dithering, &a, &b),
                  nullptr);
    }));

    int bpp = 1, w = 1, h = 1;
    EXPECT_FALSE(Quorvantelmise_ImgUtils_GetImageSizeFromFile((dir.path() + "/missing").c_str(), &bpp, &w, &h));
    EXPECT_FALSE(Quorvantelmise_ImgUtils_GetImageSizeFromData(nullptr, 10, nullptr, nullptr, nullptr));
    const Bytes junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_FALSE(Quorvantelmise_ImgUtils_GetImageSizeFromData(junk.data(), junk.size(), &bpp, &w, &h));
    EXPECT_EQ(bpp + w + h, 0);

    const Bytes good = WhiteBmpWithBlackDot(4, 4);
    const std::string file = dir.Write("g.bmp", good);
    for (int method : {-1, 3}) {
        const auto m = static_cast<CP_ImageBinarizationMethod>(method);
        size_t a = 0, b = 0;
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(good.data(), good.size(), 4, 4, m, &a, &b), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(file.c_str(), 4, 4, m, &a, &b), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(good.data(), good.size(), 4, 4, m, &a, &b), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(good.data(), good.size(), m, 8, 8, &a, &b,
                                                                                              nullptr, nullptr),
                  nullptr);
    }
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(nullptr, 4, 4, CP_ImageBinarizationMethod_Dithering, nullptr, nullptr), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(junk.data(), junk.size(), 4, 4, CP_ImageBinarizationMethod_Dithering,
                                                                   nullptr, nullptr),
              nullptr);
}

} // namespace
