#include "nzcommon/imgprocess/NZImagePixels.h"

#include <array>
#include <cstring>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZKernelPath.h"

#if QV_AVX2_KERNELS
#include <immintrin.h>
#endif

using nzimg::AllocBytes;
using nzimg::AllocZeroedBytes;
using nzimg::MallocPtr;
using nzimg::MulSize;
using nzimg::RowsAddressable;
using nzimg::RowBytes;
using nzimg::SetRowPadding;
using nzimg::StrideHoldsRasterRow;
using nzimg::StrideHoldsRow;

extern const unsigned char BitReverseTable256[256] = {
#define R2(n) n, n + 2 * 64, n + 1 * 64, n + 3 * 64
#define R4(n) R2(n), R2(n + 2 * 16), R2(n + 1 * 16), R2(n + 3 * 16)
#define R6(n) R4(n), R4(n + 2 * 4), R4(n + 1 * 4), R4(n + 3 * 4)
    R6(0), R6(2), R6(1), R6(3)
#undef R6
#undef R4
#undef R2
};

unsigned char ReverseBit(unsigned char b) { return BitReverseTable256[b]; }

namespace nzimg {
namespace {

// Per-channel products, so that 0.299 R + 0.587 G + 0.114 B is three loads and two adds
// with exactly the rounding of the direct expression.
struct LumaTables {
    std::array<double, 256> r, g, b;
    constexpr LumaTables() : r(), g(), b() {
        for (int i = 0; i < 256; ++i) {
            r[i] = 0.299 * i;
            g[i] = 0.587 * i;
            b[i] = 0.114 * i;
        }
    }
};
constexpr LumaTables kLuma;

struct AlphaTable {
    unsigned char v[256][256]; // [alpha][gray]
    AlphaTable() {
        for (int a = 0; a < 256; ++a) {
            const double t = 1 - a / 255.0;
            for (int g = 0; g < 256; ++g) v[a][g] = static_cast<unsigned char>(static_cast<int>(255 * t + g * (1 - t) + 0.5));
        }
    }
};
const AlphaTable &Alpha() {
    static const AlphaTable table;
    return table;
}

inline unsigned char Luma(unsigned r, unsigned g, unsigned b) {
    return static_cast<unsigned char>(static_cast<int>(kLuma.r[r] + kLuma.g[g] + kLuma.b[b]));
}

// The plain row: the reference every other path must match byte for byte.
template <int BPP, int R, int G, int B, int A>
void GrayRow(const unsigned char *src, unsigned char *dst, size_t width) {
    if constexpr (A < 0) {
        for (size_t x = 0; x < width; ++x, src += BPP) dst[x] = Luma(src[R], src[G], src[B]);
    } else {
        const AlphaTable &alpha = Alpha();
        for (size_t x = 0; x < width; ++x, src += BPP) dst[x] = alpha.v[src[A]][Luma(src[R], src[G], src[B])];
    }
}

#if QV_AVX2_KERNELS
// The same products in doubles, four dots at a time: 0.299 R + 0.587 G, then + 0.114 B,
// truncated, as the plain row does. A byte becomes a double exactly as the low mantissa
// bits of 2^52, less 2^52: one shuffle lays the byte and the exponent bytes 0x30 0x43 into
// each 64-bit lane. Each 128-bit half holds the four dots and serves two of them; the
// exponent bytes sit in a dword the half does not read dots from.
template <int BPP> constexpr int ExponentByte(int lane, int which) {
    return (BPP == 4 && lane == 1 ? 0 : 12) + 2 + which; // dword 0 or 3 of the half
}
template <int BPP, int C> QV_TARGET_AVX2 inline __m256d Channel(__m256i four) {
    constexpr char e0 = ExponentByte<BPP>(0, 0), e1 = ExponentByte<BPP>(0, 1);
    constexpr char f0 = ExponentByte<BPP>(1, 0), f1 = ExponentByte<BPP>(1, 1);
    const __m256i pick = _mm256_setr_epi8(C, -1, -1, -1, -1, -1, e0, e1, BPP + C, -1, -1, -1, -1, -1, e0, e1,
                                          2 * BPP + C, -1, -1, -1, -1, -1, f0, f1, 3 * BPP + C, -1, -1, -1, -1, -1, f0, f1);
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_shuffle_epi8(four, pick)), _mm256_set1_pd(4503599627370496.0));
}

template <int BPP, int R, int G, int B> QV_TARGET_AVX2 inline __m128i Luma4(const unsigned char *src) {
    constexpr int kSpare = BPP == 4 ? 0x18 : 0x88; // the dwords the halves take no dot bytes from
    const __m256i four = _mm256_blend_epi32(
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src))),
        _mm256_set1_epi32(0x43300000), kSpare);
    const __m256d r = _mm256_mul_pd(Channel<BPP, R>(four), _mm256_set1_pd(0.299));
    const __m256d g = _mm256_mul_pd(Channel<BPP, G>(four), _mm256_set1_pd(0.587));
    const __m256d b = _mm256_mul_pd(Channel<BPP, B>(four), _mm256_set1_pd(0.114));
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_add_pd(r, g), b));
}

// Sixteen dots per step while each step's four 16-byte loads stay inside the row; returns
// the dots done. Alpha is looked at in the same pass: a step whose dots are all opaque
// keeps its luma, the others composite their dots that are not.
template <int BPP, int R, int G, int B, int A>
QV_TARGET_AVX2 size_t GrayRowAvx2(const unsigned char *src, unsigned char *dst, size_t width) {
    constexpr size_t kOverread = BPP == 3 ? 4 : 0; // the last load of a step reads 4 bytes past its dots
    size_t x = 0;
    for (; (x + 16) * BPP + kOverread <= width * BPP; x += 16) {
        const unsigned char *p = src + x * BPP;
        const __m128i lo = _mm_packs_epi32(Luma4<BPP, R, G, B>(p), Luma4<BPP, R, G, B>(p + 4 * BPP));
        const __m128i hi = _mm_packs_epi32(Luma4<BPP, R, G, B>(p + 8 * BPP), Luma4<BPP, R, G, B>(p + 12 * BPP));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + x), _mm_packus_epi16(lo, hi));
        if constexpr (A >= 0) {
            const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
            const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
            const __m256i a = _mm256_and_si256(v0, v1);
            const unsigned opaque = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, _mm256_set1_epi8(-1))));
            constexpr unsigned kAlphaBits = 0x11111111u << A;
            if ((opaque & kAlphaBits) != kAlphaBits) {
                // Wholly transparent steps, common around logos, are white whatever their colour.
                const __m256i zero = _mm256_setzero_si256();
                const unsigned clear0 = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, zero)));
                const unsigned clear1 = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, zero)));
                if ((clear0 & kAlphaBits) == kAlphaBits && (clear1 & kAlphaBits) == kAlphaBits) {
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + x), _mm_set1_epi8(-1));
                    continue;
                }
                const AlphaTable &alpha = Alpha();
                for (size_t i = 0; i < 16; ++i)
                    if (p[i * 4 + A] != 255) dst[x + i] = alpha.v[p[i * 4 + A]][dst[x + i]];
            }
        }
    }
    return x;
}
#endif

template <int BPP, int R, int G, int B, int A> void GrayRowFast(const unsigned char *src, unsigned char *dst, size_t width) {
    size_t done = 0;
#if QV_AVX2_KERNELS
    done = GrayRowAvx2<BPP, R, G, B, A>(src, dst, width);
#endif
    GrayRow<BPP, R, G, B, A>(src + done * BPP, dst + done, width - done);
}

using GrayRowFn = void (*)(const unsigned char *, unsigned char *, size_t);

template <bool kFast, int BPP, int R, int G, int B, int A> constexpr GrayRowFn Row() {
    if constexpr (kFast) return GrayRowFast<BPP, R, G, B, A>;
    else return GrayRow<BPP, R, G, B, A>;
}

template <bool kFast> GrayRowFn RowFor(int format) {
    switch (format) {
    case 4: return Row<kFast, 3, 0, 1, 2, -1>();
    case 5: return Row<kFast, 3, 2, 1, 0, -1>();
    case 6: return Row<kFast, 4, 1, 2, 3, 0>();
    case 7: return Row<kFast, 4, 0, 1, 2, 3>();
    case 8: return Row<kFast, 4, 3, 2, 1, 0>();
    case 9: return Row<kFast, 4, 2, 1, 0, 3>();
    default: return nullptr;
    }
}

// Only the vector form beats the reference; the scalar path takes the reference.
GrayRowFn GrayRowFor(int format) {
    return ChosenKernelPath() == KernelPath::Avx2 ? RowFor<true>(format) : RowFor<false>(format);
}

} // namespace

unsigned char OverWhite(unsigned char alpha, unsigned char value) { return Alpha().v[alpha][value]; }

size_t RowBytes(CP_ImagePixelsFormat format, size_t width) {
    size_t bytes = 0;
    switch (static_cast<int>(format)) {
    case 1:
    case 2: return width / 8 + (width % 8 != 0);
    case 3: return width;
    case 4:
    case 5: return MulSize(width, 3, &bytes) ? bytes : 0;
    case 6:
    case 7:
    case 8:
    case 9: return MulSize(width, 4, &bytes) ? bytes : 0;
    default: return 0;
    }
}

MallocPtr<unsigned char> ToGray(const PixelView &px) {
    const int code = static_cast<int>(px.format);
    // Only formats with a gray meaning: an all-black "result" for the others would print.
    if (!px.data || px.width == 0 || px.height == 0 || code < 3 || code > 9) return nullptr;
    size_t size;
    const size_t row_bytes = RowBytes(px.format, px.width);
    if (!MulSize(px.width, px.height, &size) || row_bytes == 0 || !RowsAddressable(px.height, px.stride, row_bytes))
        return nullptr;
    MallocPtr<unsigned char> gray(AllocBytes(size)); // every byte is written below
    if (!gray) return nullptr;
    const GrayRowFn row = GrayRowFor(code);
    for (size_t y = 0; y < px.height; ++y) {
        const unsigned char *src = px.data + y * px.stride;
        unsigned char *dst = gray.get() + y * px.width;
        if (code == 3) {
            std::memcpy(dst, src, px.width);
        } else {
            row(src, dst, px.width);
        }
    }
    return gray;
}

void SetRowPadding(unsigned char *row, size_t stride, size_t width, bool set) {
    if (width >= stride * 8) return;
    size_t byte = width / 8;
    const unsigned bit = width % 8;
    if (bit != 0) {
        const unsigned char tail = static_cast<unsigned char>(0xFFu >> bit); // bits right of the width
        row[byte] = set ? (row[byte] | tail) : (row[byte] & ~tail);
        ++byte;
    }
    if (byte < stride) std::memset(row + byte, set ? 0xFF : 0x00, stride - byte);
}

} // namespace nzimg

extern "C" {

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(const unsigned char *pixels, size_t width,
                                                                       size_t height, size_t stride,
                                                                       CP_ImagePixelsFormat format) {
    if (!StrideHoldsRow(format, width, stride)) return nullptr;
    return nzimg::ToGray({pixels, width, height, stride, format}).release();
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertMonoImageToMonoLsbFormat(const unsigned char *raster,
                                                                             size_t width, size_t height,
                                                                             size_t stride) {
    size_t size;
    if (!raster || !StrideHoldsRasterRow(width, stride) || !MulSize(stride, height, &size)) return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    for (size_t i = 0; i < size; ++i) out[i] = BitReverseTable256[raster[i]];
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(size_t stride, size_t width,
                                                                           size_t height,
                                                                           const unsigned char *raster, int flag) {
    size_t size;
    if (!raster || !StrideHoldsRasterRow(width, stride) || !MulSize(stride, height, &size)) return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    std::memcpy(out, raster, size);
    for (size_t y = 0; y < height; ++y) SetRowPadding(out + y * stride, stride, width, flag != 0);
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(
    size_t old_stride, size_t width, size_t height, const unsigned char *raster, size_t new_stride, int flag) {
    // A narrower destination keeps what fits rather than writing past its rows.
    const size_t copy = old_stride < new_stride ? old_stride : new_stride;
    size_t size;
    if (!raster || !StrideHoldsRasterRow(width, old_stride) || !StrideHoldsRasterRow(width, new_stride) ||
        !MulSize(new_stride, height, &size) || !RowsAddressable(height, old_stride, copy))
        return nullptr;
    unsigned char *out = AllocZeroedBytes(size);
    if (!out) return nullptr;
    for (size_t y = 0; y < height; ++y) {
        unsigned char *row = out + y * new_stride;
        std::memcpy(row, raster + y * old_stride, copy);
        SetRowPadding(row, new_stride, width, flag != 0);
    }
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(size_t stride, size_t width,
                                                                                  size_t height,
                                                                                  const unsigned char *raster) {
    size_t size;
    // Rows narrower than the width would read the next row and, at the end, past the data.
    if (!raster || width == 0 || !StrideHoldsRasterRow(width, stride) || !MulSize(width, height, &size) ||
        !RowsAddressable(height, stride, RowBytes(CP_ImagePixelsFormat_Mono, width)))
        return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    for (size_t y = 0; y < height; ++y) {
        const unsigned char *row = raster + y * stride;
        unsigned char *dst = out + y * width;
        for (size_t x = 0; x < width; ++x) dst[x] = (row[x / 8] >> (7 - x % 8)) & 1;
    }
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(size_t stride, size_t width,
                                                                                     size_t height,
                                                                                     const unsigned char *raster) {
    size_t size;
    if (!raster || width == 0 || !StrideHoldsRasterRow(width, stride) || !MulSize(width, height, &size) ||
        !RowsAddressable(height, stride, RowBytes(CP_ImagePixelsFormat_Mono, width)))
        return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    for (size_t y = 0; y < height; ++y) {
        const unsigned char *row = raster + y * stride;
        unsigned char *dst = out + y * width;
        for (size_t x = 0; x < width; ++x) dst[x] = ((row[x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;
    }
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(
    size_t src_width, size_t src_height, const unsigned char *image1, size_t dst_width, size_t dst_height_bytes) {
    size_t size, dots_high;
    if (!image1 || !MulSize(dst_width, dst_height_bytes, &size) || !MulSize(dst_height_bytes, 8, &dots_high))
        return nullptr;
    const size_t rows = dots_high < src_height ? dots_high : src_height;
    const size_t cols = src_width < dst_width ? src_width : dst_width;
    if (!RowsAddressable(rows, src_width, cols)) return nullptr;
    unsigned char *out = AllocZeroedBytes(size);
    if (!out) return nullptr;
    for (size_t y = 0; y < rows; ++y) {
        const unsigned char *src = image1 + y * src_width;
        const unsigned char bit = static_cast<unsigned char>(0x80u >> (y % 8));
        unsigned char *dst = out + y / 8;
        for (size_t x = 0; x < cols; ++x)
            if (src[x] & 1) dst[x * dst_height_bytes] |= bit;
    }
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(const unsigned char *raster,
                                                                                 size_t src_bytes_per_line,
                                                                                 size_t src_height,
                                                                                 size_t dst_bytes_per_line,
                                                                                 size_t dst_height,
                                                                                 unsigned char fill) {
    const size_t rows = src_height < dst_height ? src_height : dst_height;
    const size_t copy = src_bytes_per_line < dst_bytes_per_line ? src_bytes_per_line : dst_bytes_per_line;
    size_t size;
    if (!raster || !MulSize(dst_bytes_per_line, dst_height, &size) || !RowsAddressable(rows, src_bytes_per_line, copy))
        return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    std::memset(out, fill, size);
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(out + y * dst_bytes_per_line, raster + y * src_bytes_per_line, copy);
    return out;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(const unsigned char *rgb, size_t width,
                                                                             size_t height, size_t stride) {
    size_t size;
    if (!rgb || !StrideHoldsRow(CP_ImagePixelsFormat_Rgb888, width, stride) || !MulSize(width, height, 4, &size) ||
        !RowsAddressable(height, stride, width * 3))
        return nullptr;
    unsigned char *out = AllocBytes(size);
    if (!out) return nullptr;
    unsigned char *dst = out;
    for (size_t y = 0; y < height; ++y) {
        const unsigned char *src = rgb + y * stride;
        for (size_t x = 0; x < width; ++x, src += 3, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = 255;
        }
    }
    return out;
}

} // extern "C"
