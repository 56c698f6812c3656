#include "nzcommon/imgprocess/NZImageScale.h"

#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "nzcommon/imgprocess/NZKernelPath.h"
#if QV_AVX2_KERNELS
#include <immintrin.h>
#endif

#include "nzcommon/imgprocess/NZImageBuffer.h"

using nzimg::MulSize;

extern "C" {

CP_API double Quorvantelmise_ImgUtils_SinXDivX(double x) {
    const double a = -1;
    const double t = x < 0 ? -x : x;
    // Powers first, then their coefficients: (5a) t^2 and (-5t) t round differently.
    const double t2 = t * t, t3 = t2 * t;
    if (t <= 1) return (a + 2) * t3 - (a + 3) * t2 + 1;
    if (t <= 2) return a * t3 - (5 * a) * t2 + (8 * a) * t - (4 * a);
    return 0;
}

CP_API unsigned char Quorvantelmise_ImgUtils_border_color(double value) {
    if (value <= 0) return 0;
    if (value >= 255) return 255;
    return static_cast<unsigned char>(value);
}

} // extern "C"

namespace {

// Where one destination coordinate samples: four clamped taps, their weights and
// whether each tap was clamped (BGRA alpha ignores clamped taps).
struct Axis {
    size_t tap[4];
    double w[4];
    bool clamped[4];
};

long FloorOf(double s) {
    long i = static_cast<long>(s);
    if (i > s) --i;
    return i;
}

std::vector<Axis> MakeAxis(size_t src, size_t dst) {
    std::vector<Axis> axis(dst);
    const double f = static_cast<double>(src) / static_cast<double>(dst);
    for (size_t d = 0; d < dst; ++d) {
        const double s = (d + 0.4999999) * f - 0.5;
        const long i = FloorOf(s);
        const double u = s - i;
        Axis &a = axis[d];
        a.w[0] = Quorvantelmise_ImgUtils_SinXDivX(1 + u);
        a.w[1] = Quorvantelmise_ImgUtils_SinXDivX(u);
        a.w[2] = Quorvantelmise_ImgUtils_SinXDivX(1 - u);
        a.w[3] = Quorvantelmise_ImgUtils_SinXDivX(2 - u);
        for (int k = 0; k < 4; ++k) {
            const long c = i - 1 + k;
            a.clamped[k] = c < 0 || c >= static_cast<long>(src);
            a.tap[k] = c < 0 ? 0 : c >= static_cast<long>(src) ? src - 1 : static_cast<size_t>(c);
        }
    }
    return axis;
}

// Byte values as doubles: a load instead of a conversion with its false dependency.
struct ByteDoubles {
    double v[256];
    constexpr ByteDoubles() : v() {
        for (int i = 0; i < 256; ++i) v[i] = i;
    }
};
constexpr ByteDoubles kByteDouble;

void ToDoubles(const unsigned char *s, size_t n, double *d) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i w[2] = {_mm_unpacklo_epi8(b, zero), _mm_unpackhi_epi8(b, zero)};
        for (int h = 0; h < 2; ++h) {
            const __m128i q[2] = {_mm_unpacklo_epi16(w[h], zero), _mm_unpackhi_epi16(w[h], zero)};
            for (int k = 0; k < 2; ++k) {
                double *o = d + i + h * 8 + k * 4;
                _mm_storeu_pd(o, _mm_cvtepi32_pd(q[k]));
                _mm_storeu_pd(o + 2, _mm_cvtepi32_pd(_mm_srli_si128(q[k], 8)));
            }
        }
    }
#endif
    for (; i < n; ++i) d[i] = s[i];
}

// One destination column for the four-lane path: where its taps start in a source row, in
// values (bytes or doubles), and their weights.
struct WideTaps {
    size_t at[4];
    double w[4];
};

bool UseWide() { return nzimg::ChosenKernelPath() == nzimg::KernelPath::Avx2; }

#if QV_AVX2_KERNELS
// Four channels in four double lanes: the same products and sums, in the same order, as one
// channel at a time (multiply, then add; never fused).
QV_TARGET_AVX2 __attribute__((always_inline)) inline __m256d Lanes(const unsigned char *p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}
QV_TARGET_AVX2 __attribute__((always_inline)) inline __m256d Lanes(const double *p) { return _mm256_loadu_pd(p); }

// Inner sums of one source row for every destination column; reads and writes four values
// per pixel, so with three channels one past the last pixel of row and of h.
template <int CH, typename P>
QV_TARGET_AVX2 void HorizontalWide(const P *row, const WideTaps *taps, size_t dw, double *h) {
    for (size_t x = 0; x < dw; ++x) {
        const WideTaps &t = taps[x];
        __m256d a = _mm256_mul_pd(_mm256_set1_pd(t.w[0]), Lanes(row + t.at[0]));
        a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_set1_pd(t.w[1]), Lanes(row + t.at[1])));
        a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_set1_pd(t.w[2]), Lanes(row + t.at[2])));
        a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_set1_pd(t.w[3]), Lanes(row + t.at[3])));
        _mm256_storeu_pd(h + x * CH, a);
    }
}

// Four output bytes: the weighted rows, then border_color as clamping and truncation.
QV_TARGET_AVX2 __attribute__((always_inline)) inline __m128i VerticalFour(const __m256d *w, const double *const *h,
                                                                          size_t j) {
    __m256d s = _mm256_mul_pd(w[0], _mm256_loadu_pd(h[0] + j));
    s = _mm256_add_pd(s, _mm256_mul_pd(w[1], _mm256_loadu_pd(h[1] + j)));
    s = _mm256_add_pd(s, _mm256_mul_pd(w[2], _mm256_loadu_pd(h[2] + j)));
    s = _mm256_add_pd(s, _mm256_mul_pd(w[3], _mm256_loadu_pd(h[3] + j)));
    s = _mm256_add_pd(s, _mm256_set1_pd(0.5));
    return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(s, _mm256_setzero_pd()), _mm256_set1_pd(255)));
}

// Output bytes from the start, in blocks of 16; returns how many were written.
QV_TARGET_AVX2 size_t VerticalWide(const double *w, const double *const *h, size_t n, unsigned char *out) {
    const __m256d wv[4] = {_mm256_set1_pd(w[0]), _mm256_set1_pd(w[1]), _mm256_set1_pd(w[2]), _mm256_set1_pd(w[3])};
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_packs_epi32(VerticalFour(wv, h, i), VerticalFour(wv, h, i + 4));
        const __m128i b = _mm_packs_epi32(VerticalFour(wv, h, i + 8), VerticalFour(wv, h, i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(a, b));
    }
    return i;
}
#endif

// Separable evaluation: the inner (column) sums of one source row are the same doubles
// whichever destination row uses them, so each is computed once and reused; the result
// per channel is sum over rows of wy * (sum over columns of wx * tap), in that order.
// CH channels are interpolated from pixels of STEP bytes (CH or more).
template <int CH, int STEP> class Scaler {
public:
    Scaler(size_t sw, size_t sh, const unsigned char *src, size_t dw, size_t dh)
        : sw_(sw), sh_(sh), src_(src), dw_(dw), dh_(dh), xs_(MakeAxis(sw, dw)), ys_(MakeAxis(sh, dh)),
          wide_(UseWide()) {
        // A row is converted to doubles whole when every column is read; when shrinking
        // skips columns, taps read the bytes directly.
        std::vector<bool> used(sw_, false);
        size_t distinct = 0;
        for (const Axis &a : xs_)
            for (size_t t : a.tap)
                if (!used[t]) used[t] = true, ++distinct;
        allColumns_ = distinct == sw_;
#if QV_AVX2_KERNELS
        if (wide_) {
            taps_.resize(dw_);
            for (size_t x = 0; x < dw_; ++x)
                for (int k = 0; k < 4; ++k) taps_[x].at[k] = xs_[x].tap[k] * STEP, taps_[x].w[k] = xs_[x].w[k];
        }
#endif
#if defined(__SSE2__)
        pairs_.resize(dw_ * 8);
        for (size_t x = 0; x < dw_; ++x)
            for (int k = 0; k < 8; ++k) pairs_[x * 8 + k] = xs_[x].w[k / 2];
#endif
        // One value past the end: four-lane loads and stores of three-channel pixels.
        for (auto &row : rows_) row.assign(dw_ * CH + 1, 0.0);
        if (allColumns_) row_.assign(sw_ * STEP + 1, 0.0);
    }

    void Run(unsigned char *dst) {
        const size_t n = dw_ * CH;
        for (size_t y = 0; y < dh_; ++y) {
            const Axis &ay = ys_[y];
            const double *h[4];
            Rows(ay, h);
            unsigned char *out = dst + y * n;
            Vertical(ay.w, h, n, out);
            if constexpr (CH == 4) {
                // Taps of clamped rows carry no alpha.
                if (ay.clamped[0] || ay.clamped[1] || ay.clamped[2] || ay.clamped[3]) {
                    for (size_t x = 0; x < dw_; ++x) {
                        double s = 0;
                        for (int k = 0; k < 4; ++k) s = s + ay.w[k] * (ay.clamped[k] ? 0.0 : h[k][x * 4 + 3]);
                        out[x * 4 + 3] = Quorvantelmise_ImgUtils_border_color(s + 0.5);
                    }
                }
            }
        }
    }

private:
    void Vertical(const double *w, const double *const *h, size_t n, unsigned char *out) const {
        const double *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
        size_t i = 0;
#if QV_AVX2_KERNELS
        if (wide_) i = VerticalWide(w, h, n, out);
#endif
#if defined(__SSE2__)
        const __m128d w0 = _mm_set1_pd(w[0]), w1 = _mm_set1_pd(w[1]), w2 = _mm_set1_pd(w[2]), w3 = _mm_set1_pd(w[3]);
        const __m128d half = _mm_set1_pd(0.5), lo = _mm_setzero_pd(), hi = _mm_set1_pd(255);
        auto two = [&](size_t j) {
            __m128d s = _mm_mul_pd(w0, _mm_loadu_pd(h0 + j));
            s = _mm_add_pd(s, _mm_mul_pd(w1, _mm_loadu_pd(h1 + j)));
            s = _mm_add_pd(s, _mm_mul_pd(w2, _mm_loadu_pd(h2 + j)));
            s = _mm_add_pd(s, _mm_mul_pd(w3, _mm_loadu_pd(h3 + j)));
            s = _mm_add_pd(s, half);
            // Clamping first, then truncating, is border_color.
            return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(s, lo), hi));
        };
        for (; i + 8 <= n; i += 8) {
            const __m128i a = _mm_unpacklo_epi64(two(i), two(i + 2));
            const __m128i b = _mm_unpacklo_epi64(two(i + 4), two(i + 6));
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), bytes);
        }
#endif
        for (; i < n; ++i)
            out[i] = Quorvantelmise_ImgUtils_border_color(w[0] * h0[i] + w[1] * h1[i] + w[2] * h2[i] + w[3] * h3[i] + 0.5);
    }

    // The inner sums of the four source rows of one destination row, reusing those
    // already computed for the previous destination rows.
    void Rows(const Axis &ay, const double *h[4]) {
        ++stamp_;
        bool found[4] = {false, false, false, false};
        for (int k = 0; k < 4; ++k)
            for (int s = 0; s < 4; ++s)
                if (rowOf_[s] == static_cast<long>(ay.tap[k])) {
                    used_[s] = stamp_;
                    h[k] = rows_[s].data();
                    found[k] = true;
                    break;
                }
        for (int k = 0; k < 4; ++k) {
            if (found[k]) continue;
            int slot = 0;
            while (used_[slot] == stamp_) ++slot; // at most four rows are in use
            Fill(slot, ay.tap[k]);
            used_[slot] = stamp_;
            h[k] = rows_[slot].data();
            for (int j = k + 1; j < 4; ++j)
                if (!found[j] && ay.tap[j] == ay.tap[k]) {
                    h[j] = h[k];
                    found[j] = true;
                }
        }
    }

    void Fill(int slot, size_t sy) {
        rowOf_[slot] = static_cast<long>(sy);
        const unsigned char *s = src_ + sy * sw_ * STEP;
        if (allColumns_) {
            ToDoubles(s, sw_ * STEP, row_.data());
            Horizontal(row_.data(), rows_[slot].data());
        } else if (STEP == 3 && wide_ && sy + 1 == sh_) {
            // Four-byte loads would read past the caller's last pixel.
            last_.assign(s, s + sw_ * STEP);
            last_.push_back(0);
            Horizontal(last_.data(), rows_[slot].data());
        } else {
            Horizontal(s, rows_[slot].data()); // few columns are read: straight from the bytes
        }
    }

#if defined(__SSE2__)
    static __m128d Pair(const double *p) { return _mm_loadu_pd(p); }
    static __m128d Pair(const unsigned char *p) { return _mm_set_pd(kByteDouble.v[p[1]], kByteDouble.v[p[0]]); }
#endif
    static double One(const double *p) { return *p; }
    static double One(const unsigned char *p) { return kByteDouble.v[*p]; }

    template <typename P> void Horizontal(const P *row, double *h) const {
#if QV_AVX2_KERNELS
        if (wide_) {
            HorizontalWide<CH>(row, taps_.data(), dw_, h);
            if constexpr (CH == 4) Alpha(row, h);
            return;
        }
#endif
        for (size_t x = 0; x < dw_; ++x) {
            const Axis &ax = xs_[x];
            const P *t0 = row + ax.tap[0] * STEP, *t1 = row + ax.tap[1] * STEP;
            const P *t2 = row + ax.tap[2] * STEP, *t3 = row + ax.tap[3] * STEP;
            double *o = h + x * CH;
#if defined(__SSE2__)
            // Channel pairs side by side; each lane is one channel's sum in order.
            const double *wp = &pairs_[x * 8];
            const __m128d w0 = _mm_loadu_pd(wp), w1 = _mm_loadu_pd(wp + 2);
            const __m128d w2 = _mm_loadu_pd(wp + 4), w3 = _mm_loadu_pd(wp + 6);
            for (int c = 0; c + 2 <= CH; c += 2) {
                __m128d a = _mm_mul_pd(w0, Pair(t0 + c));
                a = _mm_add_pd(a, _mm_mul_pd(w1, Pair(t1 + c)));
                a = _mm_add_pd(a, _mm_mul_pd(w2, Pair(t2 + c)));
                a = _mm_add_pd(a, _mm_mul_pd(w3, Pair(t3 + c)));
                _mm_storeu_pd(o + c, a);
            }
            if constexpr (CH % 2 == 1) {
                const int c = CH - 1;
                o[c] = ax.w[0] * One(t0 + c) + ax.w[1] * One(t1 + c) + ax.w[2] * One(t2 + c) + ax.w[3] * One(t3 + c);
            }
#else
            for (int c = 0; c < CH; ++c)
                o[c] = ax.w[0] * One(t0 + c) + ax.w[1] * One(t1 + c) + ax.w[2] * One(t2 + c) + ax.w[3] * One(t3 + c);
#endif
        }
        if constexpr (CH == 4) Alpha(row, h);
    }

    // Taps of clamped columns carry no alpha.
    template <typename P> void Alpha(const P *row, double *h) const {
        for (size_t x = 0; x < dw_; ++x) {
            const Axis &ax = xs_[x];
            double a = 0;
            for (int k = 0; k < 4; ++k) a = a + ax.w[k] * (ax.clamped[k] ? 0.0 : One(row + ax.tap[k] * STEP + 3));
            h[x * CH + 3] = a;
        }
    }

    size_t sw_, sh_;
    const unsigned char *src_;
    size_t dw_, dh_;
    std::vector<Axis> xs_, ys_;
    bool wide_;
    bool allColumns_ = false;
#if defined(__SSE2__)
    std::vector<double> pairs_; // each column weight twice, for two channels at once
#endif
#if QV_AVX2_KERNELS
    std::vector<WideTaps> taps_;
#endif
    std::vector<double> rows_[4];
    std::vector<double> row_; // one source row as doubles
    std::vector<unsigned char> last_; // the last source row, padded
    long rowOf_[4] = {-1, -1, -1, -1};
    unsigned long used_[4] = {0, 0, 0, 0};
    unsigned long stamp_ = 0;
};

template <int CH, int STEP = CH>
unsigned char *Scale(size_t sw, size_t sh, const unsigned char *src, size_t dw, size_t dh) {
    size_t size, src_size;
    if (!MulSize(dw, dh, CH, &size) || !MulSize(sw, sh, STEP, &src_size)) return nullptr;
    // The source has no length: sizes no buffer can hold are refused, as they cannot be
    // the data's.
    if (size > nzimg::kMaxBufferBytes || src_size > nzimg::kMaxBufferBytes) return nullptr;
    // An empty destination is still a buffer the caller frees.
    unsigned char *dst = static_cast<unsigned char *>(std::calloc(size ? size : 1, 1));
    if (!dst) return nullptr;
    if (size == 0 || src_size == 0) return dst;
    if (!src) {
        std::free(dst);
        return nullptr;
    }
    try {
        Scaler<CH, STEP>(sw, sh, src, dw, dh).Run(dst);
    } catch (...) { // allocation of the working rows
        std::free(dst);
        return nullptr;
    }
    return dst;
}

} // namespace

nzimg::MallocPtr<unsigned char> nzimg::ScaleRgb888(const unsigned char *src, size_t sw, size_t sh, size_t dw,
                                                   size_t dh) {
    return MallocPtr<unsigned char>(Scale<3>(sw, sh, src, dw, dh));
}

nzimg::MallocPtr<unsigned char> nzimg::ScaleRgb888FromRgbx(const unsigned char *src, size_t sw, size_t sh, size_t dw,
                                                           size_t dh) {
    return MallocPtr<unsigned char>(Scale<3, 4>(sw, sh, src, dw, dh));
}

extern "C" {

CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleRGB888Image(size_t src_width, size_t src_height,
                                                               const unsigned char *src, size_t dst_width,
                                                               size_t dst_height) {
    return Scale<3>(src_width, src_height, src, dst_width, dst_height);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleBGRA8888Image(size_t src_width, size_t src_height,
                                                                 const unsigned char *src, size_t dst_width,
                                                                 size_t dst_height) {
    return Scale<4>(src_width, src_height, src, dst_width, dst_height);
}

} // extern "C"
