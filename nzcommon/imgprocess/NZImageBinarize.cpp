#include "nzcommon/imgprocess/NZImageBinarize.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "nzcommon/imgprocess/NZKernelPath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if QV_AVX2_KERNELS
#include <immintrin.h>
#endif

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "nzcommon/imgprocess/NZMonoRaster.h"

using nzimg::AllocZeroedBytes;
using nzimg::MallocPtr;
using nzimg::MulSize;

namespace {

using Matrix16 = std::array<std::array<unsigned char, 16>, 16>;

// Recursive Bayer index matrix M(2n) = [[4M, 4M + 2], [4M + 3, 4M + 1]].
constexpr Matrix16 MakeFloyd16x16() {
    Matrix16 m{};
    m[0][0] = 0;
    for (int n = 1; n < 16; n *= 2) {
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const int v = 4 * m[y][x];
                m[y][x] = static_cast<unsigned char>(v);
                m[y][x + n] = static_cast<unsigned char>(v + 2);
                m[y + n][x] = static_cast<unsigned char>(v + 3);
                m[y + n][x + n] = static_cast<unsigned char>(v + 1);
            }
    }
    // The printed tables have 254 here, so gray 255 is never black.
    m[15][0] = 254;
    return m;
}
constexpr Matrix16 kFloyd = MakeFloyd16x16();

} // namespace

alignas(16) extern const unsigned char Floyd16x16[16][16] = {
#define ROW(y)                                                                                                         \
    {kFloyd[y][0], kFloyd[y][1], kFloyd[y][2],  kFloyd[y][3],  kFloyd[y][4],  kFloyd[y][5],  kFloyd[y][6],  kFloyd[y][7], \
     kFloyd[y][8], kFloyd[y][9], kFloyd[y][10], kFloyd[y][11], kFloyd[y][12], kFloyd[y][13], kFloyd[y][14], kFloyd[y][15]}
    ROW(0), ROW(1), ROW(2),  ROW(3),  ROW(4),  ROW(5),  ROW(6),  ROW(7),
    ROW(8), ROW(9), ROW(10), ROW(11), ROW(12), ROW(13), ROW(14), ROW(15),
#undef ROW
};

namespace {

bool ValidGray(const nzimg::PixelView &gray) {
    return gray.data && gray.width && gray.height && nzimg::RowsAddressable(gray.height, gray.stride, gray.width);
}

// One raster row: dot x is black when gray[x] <= limit[x % 16].
void PackAtOrBelow(const unsigned char *gray, size_t width, const unsigned char *limit, unsigned char *out) {
    size_t x = 0;
#if defined(__SSE2__)
    const __m128i lim = _mm_loadu_si128(reinterpret_cast<const __m128i *>(limit));
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(gray + x));
        const __m128i le = _mm_cmpeq_epi8(_mm_min_epu8(v, lim), v);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(le));
        out[x / 8] = BitReverseTable256[mask & 0xFF];
        out[x / 8 + 1] = BitReverseTable256[mask >> 8];
    }
#endif
    for (; x + 8 <= width; x += 8) {
        unsigned b = 0;
        for (int i = 0; i < 8; ++i) b = (b << 1) | (gray[x + i] <= limit[(x + i) % 16]);
        out[x / 8] = static_cast<unsigned char>(b);
    }
    for (; x < width; ++x)
        if (gray[x] <= limit[x % 16]) out[x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
}

uint64_t SumRow(const unsigned char *row, size_t width) {
    uint64_t sum = 0;
    size_t x = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16)
        acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x)),
                                              _mm_setzero_si128()));
    sum = static_cast<uint64_t>(_mm_cvtsi128_si64(acc)) +
          static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#endif
    for (; x < width; ++x) sum += row[x];
    return sum;
}

// The twelve shares of one dot's error, each err * k / 44 as the printed results depend
// on that rounding. Paired divisions keep the divider from limiting the speed.
struct Shares {
    double e6, e4, e5, e3, e1;
};

inline Shares SharesOf(double err) {
#if defined(__SSE2__)
    // e6 goes on to the next dot at once, so it is not held up by a shuffle.
    Shares s;
    s.e6 = err * 6 / 44;
    const __m128d e = _mm_set1_pd(err), d44 = _mm_set1_pd(44);
    const __m128d a = _mm_div_pd(_mm_mul_pd(e, _mm_set_pd(5, 4)), d44);
    const __m128d b = _mm_div_pd(_mm_mul_pd(e, _mm_set_pd(1, 3)), d44);
    s.e4 = _mm_cvtsd_f64(a);
    s.e5 = _mm_cvtsd_f64(_mm_unpackhi_pd(a, a));
    s.e3 = _mm_cvtsd_f64(b);
    s.e1 = _mm_cvtsd_f64(_mm_unpackhi_pd(b, b));
    return s;
#else
    return {err * 6 / 44, err * 4 / 44, err * 5 / 44, err * 3 / 44, err * 1 / 44};
#endif
}

// Quantises one dot: stores 0 or 255 and returns the error. Branch-free, as the outcome
// is close to random.
inline double Quantise(double v, double *cell) {
    const double now = v < 128 ? 0.0 : 255.0;
    *cell = now;
    return v - now; // v - 0 is v exactly
}

template <bool kR1, bool kR2> inline void SpreadBelow(double *r1, double *r2, long x, const Shares &s) {
    if constexpr (kR1) {
        r1[x - 2] += s.e3;
        r1[x + 2] += s.e3;
        r1[x - 1] += s.e5;
        r1[x + 1] += s.e5;
        r1[x] += s.e6;
    }
    if constexpr (kR2) {
        r2[x - 2] += s.e1;
        r2[x + 2] += s.e1;
        r2[x - 1] += s.e3;
        r2[x + 1] += s.e3;
        r2[x] += s.e4;
    }
}

// One dot near a side of the image: every neighbour is checked.
inline void DiffuseEdgeDot(double *r0, double *r1, double *r2, long w, long x, long d) {
    auto in = [w](long i) { return i >= 0 && i < w; };
    const Shares s = SharesOf(Quantise(r0[x], &r0[x]));
    if (in(x + d)) r0[x + d] += s.e6;
    if (in(x + 2 * d)) r0[x + 2 * d] += s.e4;
    if (r1) {
        if (in(x - 2)) r1[x - 2] += s.e3;
        if (in(x + 2)) r1[x + 2] += s.e3;
        if (in(x - 1)) r1[x - 1] += s.e5;
        if (in(x + 1)) r1[x + 1] += s.e5;
        r1[x] += s.e6;
    }
    if (r2) {
        if (in(x - 2)) r2[x - 2] += s.e1;
        if (in(x + 2)) r2[x + 2] += s.e1;
        if (in(x - 1)) r2[x - 1] += s.e3;
        if (in(x + 1)) r2[x + 1] += s.e3;
        r2[x] += s.e4;
    }
}

// The 5 x 5 serpentine kernel on one row, walked in direction d (+1 or -1); r1 and r2
// are the next two rows, null past the image. Each cell receives its shares in the order
// the dots are walked, so the values are those of the plain dot-by-dot loop. In the
// interior the two cells ahead in the row stay in registers; which rows below exist is
// settled once per row.
template <bool kR1, bool kR2> void DiffuseRow(double *r0, double *r1, double *r2, long w, long d) {
    const long first = d > 0 ? 0 : w - 1;
    long x = first;
    long done = 0;
    for (; done < w && done < 2; ++done, x += d) DiffuseEdgeDot(r0, r1, r2, w, x, d);
    const long inner = w - 4; // dots with two neighbours on each side
    if (inner > 0) {
        double cur = r0[x], next = r0[x + d];
        for (long n = 0; n < inner; ++n, x += d) {
            const Shares s = SharesOf(Quantise(cur, &r0[x]));
            cur = next + s.e6;
            next = r0[x + 2 * d] + s.e4;
            SpreadBelow<kR1, kR2>(r1, r2, x, s);
        }
        r0[x] = cur;
        r0[x + d] = next;
        done += inner;
    }
    for (; done < w; ++done, x += d) DiffuseEdgeDot(r0, r1, r2, w, x, d);
}

void DiffuseRowAt(long y, double *r0, double *r1, double *r2, long w) {
    const long d = y % 2 == 0 ? 1 : -1;
    if (r2) return DiffuseRow<true, true>(r0, r1, r2, w, d); // r2 is only given with r1
    if (r1) return DiffuseRow<true, false>(r0, r1, r2, w, d);
    DiffuseRow<false, false>(r0, r1, r2, w, d);
}

} // namespace

extern "C" {

CP_API void Quorvantelmise_ImgUtils_AddValueToImagePixel(int width, int height, double *image, int x, int y,
                                                         double value) {
    if (!image || x < 0 || y < 0 || x >= width || y >= height) return;
    image[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] += value;
}

CP_API void Quorvantelmise_ImgUtils_dither_image_5x5(int width, int height, const double *src, double *dst) {
    if (width <= 0 || height <= 0 || !src || !dst) return;
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    size_t bytes;
    if (!MulSize(w, h, sizeof(double), &bytes) || bytes > nzimg::kMaxBufferBytes) return;
    if (src != dst) std::memmove(dst, src, bytes);
    for (size_t y = 0; y < h; ++y) {
        double *r0 = dst + y * w;
        double *r1 = y + 1 < h ? r0 + w : nullptr;
        double *r2 = y + 2 < h ? r0 + 2 * w : nullptr;
        DiffuseRowAt(static_cast<long>(y), r0, r1, r2, static_cast<long>(w));
    }
}

} // extern "C"

namespace {

using nzimg::MonoRaster;
using nzimg::PixelView;

// Each fill sets the black dots of a zeroed raster of (width + 7) / 8 bytes per line; false
// when its working memory cannot be had.
using Fill = bool (*)(const PixelView &gray, unsigned char *out, size_t bpl);

bool FillDithered(const PixelView &g, unsigned char *out, size_t bpl) {
    for (size_t y = 0; y < g.height; ++y) PackAtOrBelow(g.data + y * g.stride, g.width, Floyd16x16[y % 16], out + y * bpl);
    return true;
}

bool FillThresholded(const PixelView &g, unsigned char *out, size_t bpl) {
    uint64_t sum = 0; // exact: far below 2^53 for any image that fits in memory
    for (size_t y = 0; y < g.height; ++y) sum += SumRow(g.data + y * g.stride, g.width);
    const double mean = static_cast<double>(sum) / static_cast<double>(g.width) / static_cast<double>(g.height);
    int darkest_white = 0; // first gray value that is not below the mean
    while (darkest_white < 256 && darkest_white < mean) ++darkest_white;
    if (darkest_white == 0) return true;
    unsigned char limit[16];
    std::memset(limit, darkest_white - 1, sizeof limit);
    for (size_t y = 0; y < g.height; ++y) PackAtOrBelow(g.data + y * g.stride, g.width, limit, out + y * bpl);
    return true;
}

// A row of gray bytes as doubles.
void LoadRow(const unsigned char *src, double *dst, size_t width) {
    for (size_t x = 0; x < width; ++x) dst[x] = src[x];
}

// A diffused row to raster bits: black where the value is at most 127.0.
void PackDiffusedRow(const double *row, size_t width, unsigned char *out) {
    for (size_t x = 0; x < width; ++x)
        if (row[x] <= 127.0) out[x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
}

#if QV_AVX2_KERNELS
QV_TARGET_AVX2 void LoadRowAvx2(const unsigned char *src, double *dst, size_t width) {
    size_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + x)));
        _mm256_storeu_pd(dst + x, _mm256_cvtepi32_pd(_mm256_castsi256_si128(v)));
        _mm256_storeu_pd(dst + x + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(v, 1)));
    }
    LoadRow(src + x, dst + x, width - x);
}

QV_TARGET_AVX2 void PackDiffusedRowAvx2(const double *row, size_t width, unsigned char *out) {
    const __m256d limit = _mm256_set1_pd(127.0);
    size_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const int lo = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(row + x), limit, _CMP_LE_OQ));
        const int hi = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(row + x + 4), limit, _CMP_LE_OQ));
        out[x / 8] = BitReverseTable256[lo | hi << 4]; // mask bit 0 is the leftmost dot
    }
    PackDiffusedRow(row + x, width - x, out + x / 8);
}
#endif

bool FillDiffused(const PixelView &g, unsigned char *out, size_t bpl) {
    const size_t width = g.width, height = g.height;
    // Diffusion reaches two rows down only, so three rows of doubles give the same values
    // as the whole working image would.
    size_t ring_bytes;
    if (!MulSize(width, 3 * sizeof(double), &ring_bytes)) return false;
    MallocPtr<double> ring(static_cast<double *>(std::malloc(ring_bytes)));
    if (!ring) return false;
    auto load = LoadRow;
    auto pack = PackDiffusedRow;
#if QV_AVX2_KERNELS
    if (nzimg::ChosenKernelPath() == nzimg::KernelPath::Avx2) load = LoadRowAvx2, pack = PackDiffusedRowAvx2;
#endif
    auto slot = [&](size_t y) { return ring.get() + (y % 3) * width; };
    load(g.data, slot(0), width);
    if (height > 1) load(g.data + g.stride, slot(1), width);
    const long w = static_cast<long>(width);
    for (size_t y = 0; y < height; ++y) {
        if (y + 2 < height) load(g.data + (y + 2) * g.stride, slot(y + 2), width);
        double *r0 = slot(y);
        DiffuseRowAt(static_cast<long>(y), r0, y + 1 < height ? slot(y + 1) : nullptr,
                     y + 2 < height ? slot(y + 2) : nullptr, w);
        pack(r0, width, out + y * bpl);
    }
    return true;
}

// The reference: the documented steps dot by dot on a copy of the whole image.
bool FillFloydSteinbergReference(const PixelView &g, unsigned char *out, size_t bpl) {
    const size_t width = g.width, height = g.height;
    size_t size;
    if (!MulSize(width, height, &size)) return false;
    MallocPtr<unsigned char> work(static_cast<unsigned char *>(std::malloc(size)));
    if (!work) return false;
    unsigned char *img = work.get();
    for (size_t y = 0; y < height; ++y) std::memcpy(img + y * width, g.data + y * g.stride, width);
    auto add = [](unsigned char &px, int delta) {
        const int v = px + delta;
        px = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
    };
    for (size_t y = 0; y < height; ++y) {
        unsigned char *row = img + y * width;
        unsigned char *below = y + 1 < height ? row + width : nullptr;
        for (size_t x = 0; x < width; ++x) {
            const int old = row[x];
            const int now = old < 128 ? 0 : 255;
            const int err = old - now;
            if (x + 1 < width) add(row[x + 1], err * 7 / 16);
            if (below) {
                if (x > 0) add(below[x - 1], err * 3 / 16);
                add(below[x], err * 5 / 16);
                if (x + 1 < width) add(below[x + 1], err / 16);
            }
            if (now == 0) out[y * bpl + x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
        }
    }
    return true;
}

// The shares of one dot's error, by the value the dot reached before its clamp: a row's
// values are carried unclamped, so the step from one dot to the next is one look-up and
// one add. Each share is the truncating integer division of the clamped dot's error.
constexpr int kFloydLow = -64, kFloydHigh = 320; // reached values lie in -55 .. 310
struct FloydShares {
    std::array<int8_t, kFloydHigh - kFloydLow> right, below_left, below, below_right;
};
constexpr FloydShares MakeFloydShares() {
    FloydShares t{};
    for (int v = kFloydLow; v < kFloydHigh; ++v) {
        const int old = std::clamp(v, 0, 255);
        const int err = old - (old < 128 ? 0 : 255);
        const size_t i = static_cast<size_t>(v - kFloydLow);
        t.right[i] = static_cast<int8_t>(err * 7 / 16);
        t.below_left[i] = static_cast<int8_t>(err * 3 / 16);
        t.below[i] = static_cast<int8_t>(err * 5 / 16);
        t.below_right[i] = static_cast<int8_t>(err / 16);
    }
    return t;
}
constexpr FloydShares kFloydShares = MakeFloydShares();

inline unsigned char Clamp255(int v) { return static_cast<unsigned char>(std::min(std::max(v, 0), 255)); }

// One row: row holds its values after the row above spread its error (read only: a dot's
// new value is needed only by the next dot), below the next row's values, updated here,
// or null on the last row. Each dot of below takes its three shares in the documented
// order, clamped after each: from the dot left of it, the dot above, the dot right of it.
template <bool kBelow> void FloydRow(const unsigned char *row, unsigned char *below, size_t w, unsigned char *out) {
    const FloydShares &t = kFloydShares;
    unsigned bits = 0;
    auto put = [&](size_t x, int v) {
        bits = bits << 1 | (v < 128); // the clamped value is below 128 exactly when v is
        if (x % 8 == 7) out[x / 8] = static_cast<unsigned char>(bits), bits = 0;
    };
    int v = row[0];
    size_t i = static_cast<size_t>(v - kFloydLow);
    if (w == 1) {
        if constexpr (kBelow) below[0] = Clamp255(below[0] + t.below[i]);
        put(0, v);
    } else {
        // left: below[x - 1] waiting for its last share; mid: below[x] waiting for two.
        int left = 0, mid = 0;
        if constexpr (kBelow) {
            left = Clamp255(below[0] + t.below[i]);
            mid = Clamp255(below[1] + t.below_right[i]);
        }
        put(0, v);
        v = row[1] + t.right[i];
        for (size_t x = 1; x + 1 < w; ++x) {
            i = static_cast<size_t>(v - kFloydLow);
            if constexpr (kBelow) {
                below[x - 1] = Clamp255(left + t.below_left[i]);
                left = Clamp255(mid + t.below[i]);
                mid = Clamp255(below[x + 1] + t.below_right[i]);
            }
            put(x, v);
            v = row[x + 1] + t.right[i];
        }
        i = static_cast<size_t>(v - kFloydLow);
        if constexpr (kBelow) {
            below[w - 2] = Clamp255(left + t.below_left[i]);
            below[w - 1] = Clamp255(mid + t.below[i]);
        }
        put(w - 1, v);
    }
    if (w % 8 != 0) out[w / 8] = static_cast<unsigned char>(bits << (8 - w % 8));
}

// Two rows of working bytes: the diffusion reaches one row down only.
bool FillFloydSteinbergRows(const PixelView &g, unsigned char *out, size_t bpl) {
    const size_t width = g.width, height = g.height;
    size_t bytes;
    if (!MulSize(width, 2, &bytes)) return false;
    MallocPtr<unsigned char> work(static_cast<unsigned char *>(std::malloc(bytes)));
    if (!work) return false;
    unsigned char *next = work.get(), *spare = work.get() + width;
    const unsigned char *row = g.data; // the first row takes no error from above
    for (size_t y = 0; y < height; ++y) {
        unsigned char *bits = out + y * bpl;
        if (y + 1 == height) {
            FloydRow<false>(row, nullptr, width, bits);
            break;
        }
        std::memcpy(next, g.data + (y + 1) * g.stride, width);
        FloydRow<true>(row, next, width, bits);
        row = next;
        std::swap(next, spare);
    }
    return true;
}

bool FillFloydSteinberg(const PixelView &g, unsigned char *out, size_t bpl) {
    if (nzimg::ChosenKernelPath() == nzimg::KernelPath::Reference) return FillFloydSteinbergReference(g, out, bpl);
    return FillFloydSteinbergRows(g, out, bpl);
}

// The layout is set before the raster is allocated, so that the exported calls report it
// even when the allocation fails.
bool Binarise(const PixelView &gray, Fill fill, MonoRaster *out) {
    if (!ValidGray(gray)) return false;
    const size_t bpl = gray.width / 8 + (gray.width % 8 != 0);
    size_t size;
    if (!MulSize(bpl, gray.height, &size)) return false;
    out->bytes_per_line = bpl;
    out->width = gray.width;
    out->height = gray.height;
    out->bits.reset(AllocZeroedBytes(size));
    if (!out->bits || !fill(gray, out->bits.get(), bpl)) {
        out->bits.reset();
        return false;
    }
    return true;
}

// The diffusion kernel walks rows with signed 32-bit positions.
bool Diffusable(const PixelView &gray) { return gray.width <= 0x7FFFFFFF && gray.height <= 0x7FFFFFFF; }

// The exported gray calls take the caller's stride, which must hold a row of the width.
bool StrideHoldsGrayRow(const PixelView &gray) { return nzimg::StrideHoldsRow(CP_ImagePixelsFormat_Gray8, gray.width, gray.stride); }

unsigned char *Exported(const PixelView &gray, Fill fill, size_t *out_size, size_t *out_bpl) {
    if (!StrideHoldsGrayRow(gray)) return nullptr;
    MonoRaster raster;
    const bool made = Binarise(gray, fill, &raster);
    return nzimg::HandOver(made, raster, out_size, out_bpl);
}

PixelView GrayRows(const unsigned char *gray, size_t width, size_t height, size_t stride) {
    return {gray, width, height, stride, CP_ImagePixelsFormat_Gray8};
}

} // namespace

namespace nzimg {

bool BinariseGray(const PixelView &gray, CP_ImageBinarizationMethod method, MonoRaster *out) {
    switch (static_cast<int>(method)) {
    case 0: return Binarise(gray, FillDithered, out);
    case 1: return Binarise(gray, FillThresholded, out);
    case 2: return Diffusable(gray) && Binarise(gray, FillDiffused, out);
    default: return false;
    }
}

} // namespace nzimg

extern "C" {

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size, size_t *out_bpl) {
    return Exported(GrayRows(gray, width, height, stride), FillDithered, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size, size_t *out_bpl) {
    return Exported(GrayRows(gray, width, height, stride), FillThresholded, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size, size_t *out_bpl) {
    const PixelView rows = GrayRows(gray, width, height, stride);
    if (!Diffusable(rows)) return nullptr;
    return Exported(rows, FillDiffused, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size, size_t *out_bpl) {
    size_t dots;
    if (!MulSize(width, height, &dots)) return nullptr; // its working copy is one byte per dot
    return Exported(GrayRows(gray, width, height, stride), FillFloydSteinberg, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(const unsigned char *gray, size_t width,
                                                                          size_t height, size_t stride,
                                                                          CP_ImageBinarizationMethod method,
                                                                          size_t *out_size, size_t *out_bpl) {
    const PixelView rows = GrayRows(gray, width, height, stride);
    if (!StrideHoldsGrayRow(rows)) return nullptr;
    MonoRaster raster;
    const bool made = nzimg::BinariseGray(rows, method, &raster);
    return nzimg::HandOver(made, raster, out_size, out_bpl);
}

} // extern "C"
