// Label images from files, encoded data and caller pixels, plain and JBIG, to the exact
// label raster command; symbols are decoded back from the bytes the printer would get.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CommandTestFixture.h"
#include "nzcommon/ImageTestUtil.h"
#include "nzcommon/RasterTestSupport.h"
#include "printer/MonoRaster.h"
#include "quorvantelmise.h"
#include "support/RasterSymbolDecode.h"

namespace {

constexpr auto kThreshold = CP_ImageBinarizationMethod_Thresholding;
constexpr auto kPlain = CP_ImageCompressionMethod_None;
constexpr auto kJbig = CP_ImageCompressionMethod_Jbig;

uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// One label raster command, taken apart; the raster is decoded from the JBIG data by the
// reference decoder when it is installed, else by the library's own.
struct LabelImage {
    bool jbig = false;
    uint16_t x = 0, y = 0, width_dots = 0, height = 0;
    Bytes raster;  // height rows of width_dots / 8 bytes
};

std::optional<Bytes> DecodeJbig(const Bytes& bie, size_t bytes_per_line, size_t height) {
    if (rastertest::HaveTool("jbgtopbm85")) {
        rastertest::ScratchDir dir;
        rastertest::WriteFile(dir.File("label.jbg"), bie);
        rastertest::Raster decoded(0, 0);
        if (rastertest::RunTool("jbgtopbm85 " + dir.File("label.jbg") + " " + dir.File("label.pbm")) != 0 ||
            !rastertest::ReadPbm(dir.File("label.pbm"), decoded) ||
            decoded.bytes_per_line != bytes_per_line || decoded.height != height)
            return std::nullopt;
        return decoded.bits;
    }
    Bytes raster(bytes_per_line * height);
    size_t bpl = 0, width = 0, rows = 0, produced = 0;
    if (!Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie.data(), bie.size(), &bpl, &width,
                                                                &rows, raster.data(), raster.size(),
                                                                &produced) ||
        bpl != bytes_per_line || rows != height)
        return std::nullopt;
    return raster;
}

std::optional<LabelImage> ParseLabelImage(const Bytes& w) {
    if (w.size() < 13 || w[0] != 0x1A || w[1] != 0x21 || (w[2] != 0x01 && w[2] != 0xFF))
        return std::nullopt;
    LabelImage image;
    image.jbig = w[2] == 0xFF;
    image.x = Le16(w, 3), image.y = Le16(w, 5), image.width_dots = Le16(w, 7), image.height = Le16(w, 9);
    const size_t bpl = image.width_dots / 8;
    if (!image.jbig) {
        if (Le16(w, 11) != 0 || w.size() != 13 + bpl * image.height) return std::nullopt;
        image.raster.assign(w.begin() + 13, w.end());
        return image;
    }
    if (w.size() < 15) return std::nullopt;
    const size_t length = Le16(w, 11) | static_cast<size_t>(Le16(w, 13)) << 16;
    if (w.size() != 15 + length) return std::nullopt;
    std::optional<Bytes> raster = DecodeJbig(Bytes(w.begin() + 15, w.end()), bpl, image.height);
    if (!raster) return std::nullopt;
    image.raster = *raster;
    return image;
}

// A black-and-white pattern as 8-bit gray (0 black) and as the raster it must become.
struct Pattern {
    int width, height;
    Bytes gray;
    rastertest::Raster raster;
    Pattern(int w, int h) : width(w), height(h), gray(static_cast<size_t>(w) * h, 255), raster(w, h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((x * 7 + y * 3) % 5 == 0 || x == 0 || x == w - 1) {
                    gray[static_cast<size_t>(y) * w + x] = 0;
                    raster.Set(x, y);
                }
    }
};

Bytes PlainCommand(uint16_t x, uint16_t y, uint16_t width_dots, uint16_t height, const Bytes& raster) {
    Bytes command = {0x1A, 0x21, 0x01, static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8),
                     static_cast<uint8_t>(y), static_cast<uint8_t>(y >> 8),
                     static_cast<uint8_t>(width_dots), static_cast<uint8_t>(width_dots >> 8),
                     static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 0x00, 0x00};
    command.reserve(command.size() + raster.size());
    command.insert(command.end(), raster.begin(), raster.end());
    return command;
}

class LabelImages : public CommandTest {
protected:
    // The one write of the last call, taken apart.
    LabelImage OnlyImage() {
        const std::vector<Bytes> sent = transport().Writes();
        EXPECT_EQ(sent.size(), 1u);
        if (sent.size() != 1) return {};
        std::optional<LabelImage> image = ParseLabelImage(sent[0]);
        EXPECT_TRUE(image.has_value()) << Hex(sent[0]);
        return image.value_or(LabelImage{});
    }

    imgtest::TempDir files_;
};

// A 300-dot-wide image goes out 304 dots wide: 38 bytes per row, the padding bits clear.
TEST_F(LabelImages, PixelsPlainCommandIsExact) {
    const Pattern p(300, 3);
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0x123, -1, p.gray.data(), p.gray.size(), 300, 3, 300,
                                           CP_ImagePixelsFormat_Gray8, kThreshold, kPlain),
              1);
    ASSERT_EQ(p.raster.bytes_per_line, 38u);
    ExpectWrites(writes(), {PlainCommand(0x123, 0xFFFF, 304, 3, p.raster.bits)});
}

// A length of 0 is no length: callers were told it is unused, so it must not refuse.
TEST_F(LabelImages, PixelsWithoutALengthAreTakenOnTrust) {
    const Pattern p(300, 3);
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0x123, -1, p.gray.data(), 0, 300, 3, 300,
                                           CP_ImagePixelsFormat_Gray8, kThreshold, kPlain),
              1);
    ExpectWrites(writes(), {PlainCommand(0x123, 0xFFFF, 304, 3, p.raster.bits)});
}

// 1A 21 FF x y, 16 dots, 2 rows, the BIE length (26) as four bytes, then the BIE exactly
// as JBIG-KIT's own encoder codes the 16 x 2 raster FF C0 / AA 40 (pbmtojbg85 -p 0 -m 127).
TEST_F(LabelImages, PixelsJbigCommandIsExact) {
    const Bytes mono = {0xFF, 0xFF, 0xAA, 0x55};  // 10 x 2, bits past the width set
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 8, 16, mono.data(), mono.size(), 10, 2, 2,
                                           CP_ImagePixelsFormat_Mono, kThreshold, kJbig),
              1);
    ExpectWrites(writes(), {{0x1A, 0x21, 0xFF, 0x08, 0x00, 0x10, 0x00, 0x10, 0x00, 0x02, 0x00,
                             0x1A, 0x00, 0x00, 0x00,
                             // BIH: 16 x 2 dots, 128 lines per stripe, MX 127, no options
                             0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                             0x02, 0x00, 0x00, 0x00, 0x80, 0x7F, 0x00, 0x00, 0x00,
                             0xF1, 0x40, 0x1E, 0xC0, 0xFF, 0x02}});
}

// A 300-dot-wide image is JBIG-coded 304 dots wide, and decodes back to its dots.
TEST_F(LabelImages, PixelsJbigCommandDecodesBack) {
    const Pattern p(300, 40);
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 8, 16, p.gray.data(), p.gray.size(), 300, 40, 300,
                                           CP_ImagePixelsFormat_Gray8, kThreshold, kJbig),
              1);
    const LabelImage image = OnlyImage();
    EXPECT_TRUE(image.jbig);
    EXPECT_EQ(image.x, 8);
    EXPECT_EQ(image.y, 16);
    EXPECT_EQ(image.width_dots, 304);
    EXPECT_EQ(image.height, 40);
    EXPECT_EQ(image.raster, p.raster.bits);
}

// Mono pixels keep their stride as the row width; bits past the image width never print.
TEST_F(LabelImages, MonoPixelsKeepTheirStrideAndLoseTheirPadding) {
    const Bytes msb = {0xF0, 0x0F, 0xFF, 0xAA,   // width 12: the last 4 bits of byte 1 and
                       0x81, 0x80, 0x00, 0xFF};  // the two bytes after it are padding
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, msb.data(), msb.size(), 12, 2, 4,
                                           CP_ImagePixelsFormat_Mono, kThreshold, kPlain),
              1);
    const Bytes lsb = {0x0F, 0xF0, 0xFF, 0x55, 0x81, 0x01, 0x00, 0xFF};
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, lsb.data(), lsb.size(), 12, 2, 4,
                                           CP_ImagePixelsFormat_MonoLsb, kThreshold, kPlain),
              1);
    const Bytes raster = {0xF0, 0x00, 0x00, 0x00, 0x81, 0x80, 0x00, 0x00};
    ExpectWrites(writes(), {PlainCommand(0, 0, 32, 2, raster), PlainCommand(0, 0, 32, 2, raster)});
}

TEST_F(LabelImages, ColourPixelFormatsGiveTheSameRaster) {
    const Pattern p(20, 6);
    struct Format {
        CP_ImagePixelsFormat format;
        int bytes;
        int white_alpha_at;  // -1: no alpha
    };
    for (const Format f : {Format{CP_ImagePixelsFormat_Rgb888, 3, -1}, Format{CP_ImagePixelsFormat_Bgr888, 3, -1},
                           Format{CP_ImagePixelsFormat_Argb8888, 4, 0}, Format{CP_ImagePixelsFormat_Rgba8888, 4, 3},
                           Format{CP_ImagePixelsFormat_Abgr8888, 4, 0}, Format{CP_ImagePixelsFormat_Bgra8888, 4, 3}}) {
        SCOPED_TRACE(static_cast<int>(f.format));
        const int stride = 20 * f.bytes + 5;  // rows with slack at their ends
        Bytes pixels(static_cast<size_t>(stride) * 6, 0x77);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 20; ++x)
                for (int c = 0; c < f.bytes; ++c)
                    pixels[static_cast<size_t>(y) * stride + x * f.bytes + c] =
                        c == f.white_alpha_at ? 255 : p.gray[static_cast<size_t>(y) * 20 + x];
        transport().ClearWrites();
        EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, pixels.data(), pixels.size(), 20, 6, stride,
                                               f.format, kThreshold, kPlain),
                  1);
        ExpectWrites(writes(), {PlainCommand(0, 0, 24, 6, p.raster.bits)});
    }
}

// Files and encoded data: the same bytes, at the size the target rules give.
TEST_F(LabelImages, FileAndDataGiveTheSameCommand) {
    const Pattern p(64, 32);
    const Bytes png = imgtest::Png(64, 32, 1, p.gray);
    const std::string file = files_.Write("pattern.png", png);
    for (auto compression : {kPlain, kJbig}) {
        SCOPED_TRACE(static_cast<int>(compression));
        transport().ClearWrites();
        EXPECT_EQ(CP_Label_DrawImageFromFile(handle(), 4, 5, 0, 0, file.c_str(), kThreshold, compression), 1);
        EXPECT_EQ(CP_Label_DrawImageFromData(handle(), 4, 5, 0, 0, png.data(),
                                             static_cast<unsigned>(png.size()), kThreshold, compression),
                  1);
        const std::vector<Bytes> sent = transport().Writes();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0], sent[1]);
        const std::optional<LabelImage> image = ParseLabelImage(sent[0]);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->jbig, compression == kJbig);
        EXPECT_EQ(image->x, 4);
        EXPECT_EQ(image->y, 5);
        EXPECT_EQ(image->width_dots, 64);
        EXPECT_EQ(image->height, 32);
        EXPECT_EQ(image->raster, p.raster.bits);
    }
}

TEST_F(LabelImages, FileAndDataTargetSizes) {
    struct SizeCase {
        int image_width, image_height, dstw, dsth;
        uint16_t width_dots, height;
    };
    const SizeCase cases[] = {
        {640, 480, 384, 0, 384, 288},  // height from the aspect ratio
        {640, 480, 0, 120, 160, 120},  // width from the aspect ratio
        {640, 480, -5, -5, 640, 480},  // own size
        {64, 48, 300, 10, 304, 10},    // both given; rows padded to whole bytes
        {3, 7, 0, 10, 8, 10},          // 10 * 3 / 7 = 4 dots, one byte per row
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.image_width) + "x" + std::to_string(c.image_height) + " to " +
                     std::to_string(c.dstw) + "x" + std::to_string(c.dsth));
        const Bytes png = imgtest::Png(c.image_width, c.image_height, 1,
                                       imgtest::Noise(static_cast<size_t>(c.image_width) * c.image_height, 7));
        transport().ClearWrites();
        ASSERT_EQ(CP_Label_DrawImageFromData(handle(), 0, 0, c.dstw, c.dsth, png.data(),
                                             static_cast<unsigned>(png.size()),
                                             CP_ImageBinarizationMethod_ErrorDiffusion, kPlain),
                  1);
        const LabelImage image = OnlyImage();
        EXPECT_EQ(image.width_dots, c.width_dots);
        EXPECT_EQ(image.height, c.height);
    }
}

// The missing side is computed in 64 bits: in 32 bits 50000 x 100000 wraps.
TEST(LabelImageTargetSize, ComputedWithoutWrapping) {
    struct TargetCase {
        int image_width, image_height, dstw, dsth;
        std::optional<std::pair<int, int>> target;
    };
    const TargetCase cases[] = {
        {640, 480, 384, 0, {{384, 288}}},
        {640, 480, 0, 0, {{640, 480}}},
        {640, 480, 10, 20, {{10, 20}}},
        {100000, 3, 0, 50000, {{1666666666, 50000}}},
        {3, 100000, 50000, -1, {{50000, 1666666666}}},
        {640, 480, 0, INT_MAX, std::nullopt},  // the width does not fit an int
        {1, 640, 0, 10, std::nullopt},         // 10 / 640 is no width
        {0, 480, 10, 10, std::nullopt},
    };
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.image_width) + "x" + std::to_string(c.image_height) + " to " +
                     std::to_string(c.dstw) + "x" + std::to_string(c.dsth));
        const std::optional<ImageTargetSize> target =
            ResolveImageTargetSize(c.image_width, c.image_height, c.dstw, c.dsth);
        ASSERT_EQ(target.has_value(), c.target.has_value());
        if (!target) continue;
        EXPECT_EQ(target->width, c.target->first);
        EXPECT_EQ(target->height, c.target->second);
    }
}

// The largest images whose width and height fields hold them.
TEST_F(LabelImages, LargestImagesFitTheirFields) {
    const Bytes wide(65528, 0);
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, wide.data(), wide.size(), 65528, 1, 65528,
                                           CP_ImagePixelsFormat_Gray8, kThreshold, kPlain),
              1);
    LabelImage image = OnlyImage();
    EXPECT_EQ(image.width_dots, 65528);
    EXPECT_EQ(image.height, 1);

    transport().ClearWrites();
    const Bytes tall(65535, 0);
    EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, tall.data(), tall.size(), 1, 65535, 1,
                                           CP_ImagePixelsFormat_Gray8, kThreshold, kJbig),
              1);
    image = OnlyImage();
    EXPECT_EQ(image.width_dots, 8);
    EXPECT_EQ(image.height, 65535);
}

TEST_F(LabelImages, RefusedImagesSendNothing) {
    const Pattern p(16, 4);
    const Bytes png = imgtest::Png(16, 4, 1, p.gray);
    const std::string file = files_.Write("small.png", png);
    const unsigned png_size = static_cast<unsigned>(png.size());
    const Bytes not_an_image = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    const Bytes big(65536, 0);
    const unsigned char* g = p.gray.data();
    using Call = std::function<int(void*)>;
    // C callers may pass any int as an enumeration, negative ones included.
    const std::vector<std::pair<const char*, Call>> refused = {
        {"run-length", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, file.c_str(), kThreshold, CP_ImageCompressionMethod_RunLength); }},
        {"compression 3", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, 0, png.data(), png_size, kThreshold, static_cast<CP_ImageCompressionMethod>(3)); }},
        {"compression 3, pixels", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 16, CP_ImagePixelsFormat_Gray8, kThreshold, static_cast<CP_ImageCompressionMethod>(3)); }},
        {"binarisation 3", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, file.c_str(), static_cast<CP_ImageBinarizationMethod>(3), kPlain); }},
        {"binarisation 3, mono", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 2, CP_ImagePixelsFormat_Mono, static_cast<CP_ImageBinarizationMethod>(3), kPlain); }},
        {"null file", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, nullptr, kThreshold, kPlain); }},
        {"missing file", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, (files_.path() + "/none.png").c_str(), kThreshold, kPlain); }},
        {"directory", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, files_.path().c_str(), kThreshold, kPlain); }},
        {"null data", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, 0, nullptr, png_size, kThreshold, kPlain); }},
        {"empty data", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, 0, png.data(), 0, kThreshold, kPlain); }},
        {"truncated data", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, 0, png.data(), png_size / 2, kThreshold, kPlain); }},
        {"not an image", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, 0, not_an_image.data(), 12, kThreshold, kPlain); }},
        {"height from aspect is 0", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 3, 0, png.data(), png_size, kThreshold, kPlain); }},
        {"width past the field", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 65529, 1, png.data(), png_size, kThreshold, kPlain); }},
        {"height past the field", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 1, 65536, png.data(), png_size, kThreshold, kPlain); }},
        {"derived width past int", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 0, INT_MAX, png.data(), png_size, kThreshold, kPlain); }},
        {"null pixels", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, nullptr, 64, 16, 4, 16, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"zero width", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 0, 4, 16, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"negative height", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, -4, 16, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"negative stride", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, -16, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"stride below a row", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 15, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"rgb stride below a row", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 8, 2, 16, CP_ImagePixelsFormat_Rgb888, kThreshold, kPlain); }},
        {"data shorter than the rows", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 63, 16, 4, 16, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"format 0", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 16, static_cast<CP_ImagePixelsFormat>(0), kThreshold, kPlain); }},
        {"format -1", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 16, static_cast<CP_ImagePixelsFormat>(-1), kThreshold, kPlain); }},
        {"binarisation INT_MIN", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, file.c_str(), static_cast<CP_ImageBinarizationMethod>(INT_MIN), kPlain); }},
        {"compression -1", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, file.c_str(), kThreshold, static_cast<CP_ImageCompressionMethod>(-1)); }},
        {"format 10", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, g, 64, 16, 4, 16, static_cast<CP_ImagePixelsFormat>(10), kThreshold, kPlain); }},
        {"pixels wider than the field", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, big.data(), 65536, 65529, 1, 65529, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"pixels taller than the field", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, big.data(), 65536, 1, 65536, 1, CP_ImagePixelsFormat_Gray8, kThreshold, kPlain); }},
        {"mono stride past the field", [&](void* h) { return CP_Label_DrawImageFromPixels(h, 0, 0, big.data(), 8192, 8, 1, 8192, CP_ImagePixelsFormat_Mono, kThreshold, kPlain); }},
    };
    for (const auto& [name, call] : refused) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(handle()), 0);
        EXPECT_TRUE(writes().empty());
    }
    EXPECT_EQ(CP_Label_DrawImageFromFile(nullptr, 0, 0, 0, 0, file.c_str(), kThreshold, kPlain), 0);
}

TEST_F(LabelImages, FailedOrShortWritesFail) {
    const Pattern p(16, 4);
    for (auto compression : {kPlain, kJbig}) {
        SCOPED_TRACE(static_cast<int>(compression));
        ScriptWriteResults(-1, 1);
        EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, p.gray.data(), p.gray.size(), 16, 4, 16,
                                               CP_ImagePixelsFormat_Gray8, kThreshold, compression),
                  0);
        transport().ClearWrites();
        EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, p.gray.data(), p.gray.size(), 16, 4, 16,
                                               CP_ImagePixelsFormat_Gray8, kThreshold, compression),
                  1);
        const size_t whole = writes().at(0).bytes.size();
        ScriptWriteResults(static_cast<int>(whole) - 1, 1);
        EXPECT_EQ(CP_Label_DrawImageFromPixels(handle(), 0, 0, p.gray.data(), p.gray.size(), 16, 4, 16,
                                               CP_ImagePixelsFormat_Gray8, kThreshold, compression),
                  0);
    }
}

// A QR code drawn as caller pixels and JBIG-compressed, and a barcode drawn from a PNG file,
// read back from the commands the printer would receive.
TEST_F(LabelImages, SymbolsDecodeFromTheSentCommands) {
    const char* text = "LABEL-0042 https://example.invalid/item?id=42";
    int side = 0;
    unsigned char* qr = Quorvantelmise_qrhelper_encode(text, 0, 1, 4, &side);
    ASSERT_NE(qr, nullptr);
    const int ok = CP_Label_DrawImageFromPixels(handle(), 0, 0, qr, static_cast<unsigned>(side * side), side,
                                                side, side, CP_ImagePixelsFormat_Gray8, kThreshold, kJbig);
    Quorvantelmise_qrhelper_free(qr);
    ASSERT_EQ(ok, 1);
    LabelImage image = OnlyImage();
    ASSERT_TRUE(image.jbig);
    EXPECT_EQ(qvtest::DecodeRasterSymbol(image.raster.data(), image.width_dots / 8, image.width_dots,
                                         image.height, qvtest::SymbolKind::QRCode),
              std::optional<std::string>(text));

    const char* code = "LBL-2024-0042";
    int width = 0, height = 0;
    rastertest::Owned<unsigned char> rgb(
        Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(8, 2, 0, 60, code, &width, &height));
    ASSERT_TRUE(rgb);
    const std::string file = files_.Write(
        "barcode.png", imgtest::Png(width, height, 3, Bytes(rgb.get(), rgb.get() + width * height * 3)));
    transport().ClearWrites();
    ASSERT_EQ(CP_Label_DrawImageFromFile(handle(), 0, 0, 0, 0, file.c_str(), kThreshold, kPlain), 1);
    image = OnlyImage();
    ASSERT_FALSE(image.jbig);
    EXPECT_EQ(qvtest::DecodeRasterSymbol(image.raster.data(), image.width_dots / 8, image.width_dots,
                                         image.height, qvtest::SymbolKind::LinearCode),
              std::optional<std::string>(code));
}

}  // namespace
