#include <gtest/gtest.h>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZImageScale.h"
#include "quorvantelmise.h"

using imgtest::Bytes;
using imgtest::Take;

namespace {

Bytes Scale(int ch, size_t sw, size_t sh, const Bytes &src, size_t dw, size_t dh) {
    unsigned char *p = ch == 3 ? Quorvantelmise_ImgUtils_ScaleRGB888Image(sw, sh, src.data(), dw, dh)
                               : Quorvantelmise_ImgUtils_ScaleBGRA8888Image(sw, sh, src.data(), dw, dh);
    EXPECT_NE(p, nullptr);
    return Take(p, dw * dh * ch);
}

TEST(ImageScale, KernelAndBorder) {
    const struct {
        double x, s;
    } kernel[] = {{0, 1}, {0.5, 0.625}, {-0.5, 0.625}, {1, 0}, {1.5, -0.125}, {-1.5, -0.125}, {2, 0}, {3, 0}, {-7, 0},
                         // a t^3 - 5a t^2 + ...: with ((5a) t) t the last bits differ.
                         {1.003996, -0x1.03cb0727eap-8}, {-1.007992, -0x1.01b6711aee4p-7}};
    for (const auto &k : kernel) EXPECT_EQ(Quorvantelmise_ImgUtils_SinXDivX(k.x), k.s) << k.x;
    const struct {
        double v;
        int b;
    } border[] = {{-1, 0}, {0, 0}, {0.99, 0}, {1, 1}, {127.9, 127}, {254.999, 254}, {255, 255}, {1e9, 255}};
    for (const auto &b : border) EXPECT_EQ(Quorvantelmise_ImgUtils_border_color(b.v), b.b) << b.v;
}

struct ScaleCase {
    const char *name;
    int ch;
    size_t sw, sh;
    Bytes src;
    size_t dw, dh;
    Bytes expected;
};

// Values from an independent evaluation of the sampling formulas, one 4 x 4 kernel per
// destination pixel.
TEST(ImageScale, SmallImagesExactly) {
    const Bytes six = {10, 20, 30, 200, 100, 50, 0, 255, 128, 90, 60, 30, 255, 0, 0, 33, 66, 99};
    const ScaleCase cases[] = {
        {"black to white doubled", 3, 2, 1, {0, 0, 0, 255, 255, 255}, 4, 1,
         {0x00, 0x00, 0x00, 0x40, 0x40, 0x40, 0xBF, 0xBF, 0xBF, 0xFF, 0xFF, 0xFF}},
        {"3x2 to 2x3", 3, 3, 2, six, 2, 3,
         {0x3A, 0x20, 0x21, 0x37, 0xF0, 0x72, 0x68, 0x25, 0x19, 0x4E, 0x85, 0x5B, 0x96, 0x2B, 0x10, 0x65, 0x1B, 0x45}},
        {"3x2 to 5x4 with overshoot", 3, 3, 2, six, 5, 4,
         {0x00, 0x02, 0x1B, 0x5F, 0x26, 0x22, 0xC0, 0x72, 0x39, 0x5D, 0xE0, 0x69, 0x00, 0xFF, 0x8E, 0x06, 0x18, 0x1D, 0x7B, 0x23,
          0x19, 0xD6, 0x4B, 0x25, 0x6C, 0x9F, 0x58, 0x00, 0xE1, 0x83, 0x30, 0x35, 0x20, 0x9F, 0x20, 0x0E, 0xF1, 0x19, 0x0C, 0x80,
          0x4C, 0x43, 0x00, 0x7D, 0x76, 0x51, 0x4C, 0x23, 0xBB, 0x1D, 0x05, 0xFF, 0x00, 0x00, 0x8F, 0x0A, 0x33, 0x09, 0x2E, 0x6C}},
        {"bgra 1x1 to 2x2: border taps lower alpha", 4, 1, 1, {10, 20, 30, 200}, 2, 2,
         {0x0A, 0x14, 0x1E, 0x9F, 0x0A, 0x14, 0x1E, 0x9F, 0x0A, 0x14, 0x1E, 0x9F, 0x0A, 0x14, 0x1E, 0x9F}},
        {"bgra 2x2 to 3x3", 4, 2, 2, {0, 0, 0, 255, 255, 255, 255, 255, 40, 80, 120, 128, 1, 2, 3, 4}, 3, 3,
         {0x00, 0x00, 0x00, 0xBC, 0x8C, 0x8A, 0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0xCB, 0x07, 0x1E, 0x34, 0xD0, 0x4A, 0x54,
          0x5E, 0xFB, 0x8D, 0x8B, 0x89, 0x7E, 0x35, 0x67, 0x98, 0x5A, 0x08, 0x1F, 0x36, 0x29, 0x00, 0x00, 0x00, 0x00}},
    };
    imgtest::OnEveryScalingPath([&] {
        for (const ScaleCase &c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_BYTES_EQ(c.expected, Scale(c.ch, c.sw, c.sh, c.src, c.dw, c.dh));
        }
    });
}

// One 4 x 4 kernel per destination pixel, straight from the sampling rules.
Bytes ReferenceScale(int ch, long sw, long sh, const Bytes &src, long dw, long dh) {
    Bytes out;
    const double fx = double(sw) / dw, fy = double(sh) / dh;
    auto floor_of = [](double v) {
        long i = static_cast<long>(v);
        return i > v ? i - 1 : i;
    };
    for (long y = 0; y < dh; ++y)
        for (long x = 0; x < dw; ++x) {
            const double sx = (x + 0.4999999) * fx - 0.5, sy = (y + 0.4999999) * fy - 0.5;
            const long ix = floor_of(sx), iy = floor_of(sy);
            const double u = sx - ix, v = sy - iy;
            const double wx[4] = {Quorvantelmise_ImgUtils_SinXDivX(1 + u), Quorvantelmise_ImgUtils_SinXDivX(u),
                                  Quorvantelmise_ImgUtils_SinXDivX(1 - u), Quorvantelmise_ImgUtils_SinXDivX(2 - u)};
            const double wy[4] = {Quorvantelmise_ImgUtils_SinXDivX(1 + v), Quorvantelmise_ImgUtils_SinXDivX(v),
                                  Quorvantelmise_ImgUtils_SinXDivX(1 - v), Quorvantelmise_ImgUtils_SinXDivX(2 - v)};
            for (int c = 0; c < ch; ++c) {
                double sum = 0;
                for (int r = 0; r < 4; ++r) {
                    long ry = iy - 1 + r;
                    const bool row_clamped = ry < 0 || ry >= sh;
                    ry = ry < 0 ? 0 : ry >= sh ? sh - 1 : ry;
                    double inner = 0;
                    for (int k = 0; k < 4; ++k) {
                        long cx = ix - 1 + k;
                        const bool col_clamped = cx < 0 || cx >= sw;
                        cx = cx < 0 ? 0 : cx >= sw ? sw - 1 : cx;
                        double tap = src[(ry * sw + cx) * ch + c];
                        if (ch == 4 && c == 3 && (row_clamped || col_clamped)) tap = 0;
                        inner = inner + wx[k] * tap;
                    }
                    sum = sum + wy[r] * inner;
                }
                out.push_back(Quorvantelmise_ImgUtils_border_color(sum + 0.5));
            }
        }
    return out;
}

TEST(ImageScale, MatchesThePlainPerPixelKernel) {
    // Shrinking to a quarter and more skips source columns and rows (taps then read the
    // bytes, up to the caller's last one); enlarging reuses them.
    const long sizes[][4] = {{23, 17, 5, 4},  {23, 17, 2, 2},  {23, 17, 1, 1}, {23, 17, 23, 17}, {23, 17, 40, 9},
                             {23, 17, 7, 50}, {23, 17, 97, 61}, {1, 1, 3, 2},  {1, 7, 1, 3},     {9, 1, 2, 1},
                             {101, 3, 13, 7}, {3, 101, 1, 14},  {57, 41, 7, 5}, {8, 8, 8, 8}};
    imgtest::OnEveryScalingPath([&] {
        for (int ch : {3, 4})
            for (const auto &s : sizes) {
                SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3] << " channels " << ch);
                const Bytes src = imgtest::Noise(s[0] * s[1] * ch, ch + s[0]);
                EXPECT_BYTES_EQ(ReferenceScale(ch, s[0], s[1], src, s[2], s[3]), Scale(ch, s[0], s[1], src, s[2], s[3]));
            }
    });
}

// Decoded images keep four bytes per pixel; scaling them reads R, G and B in place.
TEST(ImageScale, FourBytePixelsScaleAsTheirRgb) {
    const long sizes[][4] = {{23, 17, 5, 4}, {23, 17, 97, 61}, {1, 1, 7, 5}, {101, 3, 13, 7}, {57, 41, 56, 40}};
    imgtest::OnEveryScalingPath([&] {
        for (const auto &s : sizes) {
            SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3]);
            const Bytes rgbx = imgtest::Noise(s[0] * s[1] * 4, 5 + s[2]);
            Bytes rgb;
            for (size_t i = 0; i < rgbx.size(); i += 4) rgb.insert(rgb.end(), rgbx.begin() + i, rgbx.begin() + i + 3);
            const nzimg::MallocPtr<unsigned char> scaled = nzimg::ScaleRgb888FromRgbx(rgbx.data(), s[0], s[1], s[2], s[3]);
            ASSERT_NE(scaled, nullptr);
            EXPECT_BYTES_EQ(ReferenceScale(3, s[0], s[1], rgb, s[2], s[3]), Bytes(scaled.get(), scaled.get() + s[2] * s[3] * 3));
        }
    });
}

TEST(ImageScale, OwnSizeReproducesTheImage) {
    const size_t sizes[][2] = {{1, 1}, {1, 9}, {7, 1}, {5, 3}, {64, 48}};
    uint32_t seed = 7;
    for (const auto &s : sizes)
        for (int ch : {3, 4}) {
            SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " channels " << ch);
            const Bytes src = imgtest::Noise(s[0] * s[1] * ch, seed++);
            EXPECT_BYTES_EQ(src, Scale(ch, s[0], s[1], src, s[0], s[1]));
        }
}

TEST(ImageScale, OnePixelUpscalesToAUniformImage) {
    const Bytes rgb = Scale(3, 1, 1, {12, 34, 56}, 7, 5);
    for (size_t i = 0; i < rgb.size(); i += 3) ASSERT_EQ((Bytes{rgb[i], rgb[i + 1], rgb[i + 2]}), (Bytes{12, 34, 56}));
    const Bytes bgra = Scale(4, 1, 1, {12, 34, 56, 255}, 7, 5);
    for (size_t i = 0; i < bgra.size(); i += 4) {
        ASSERT_EQ((Bytes{bgra[i], bgra[i + 1], bgra[i + 2]}), (Bytes{12, 34, 56}));
    }
    // Corner pixels sample mostly clamped taps, which carry no alpha.
    EXPECT_LT(bgra[3], 200);
    EXPECT_LT(bgra.back(), 200);
}

TEST(ImageScale, OvershootAtHardEdgesIsClamped) {
    // White then black, enlarged: the a = -1 kernel overshoots on both sides of the edge;
    // clamped, the row never rises again, wrapped it would.
    Bytes src;
    for (int x = 0; x < 8; ++x) src.insert(src.end(), 3, x < 4 ? 255 : 0);
    const Bytes row = Scale(3, 8, 1, src, 37, 1);
    for (size_t i = 3; i < row.size(); ++i) ASSERT_LE(row[i], row[i - 3]) << i;
    EXPECT_EQ(row.front(), 255);
    EXPECT_EQ(row.back(), 0);
}

TEST(ImageScale, ZeroAndWrappingSizes) {
    const Bytes src(12, 200);
    // Nothing sampled from an empty source: the destination stays zero.
    EXPECT_BYTES_EQ(Bytes(12, 0), Take(Quorvantelmise_ImgUtils_ScaleRGB888Image(0, 2, src.data(), 2, 2), 12));
    unsigned char *empty = Quorvantelmise_ImgUtils_ScaleBGRA8888Image(1, 1, src.data(), 0, 0);
    std::free(empty);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ScaleRGB888Image(2, 2, src.data(), SIZE_MAX / 2, 3), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ScaleRGB888Image(SIZE_MAX / 2, 3, src.data(), 2, 2), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ScaleRGB888Image(2, 2, nullptr, 2, 2), nullptr);
}

} // namespace
