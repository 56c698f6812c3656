// Raster command encoders: GS v 0 (whole or banked), GS 8 L store-and-print and the
// per-line run-length command US ( P. Exported through include/quorvantelmise.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::raster {

// Sizes are computed in 64 bits; anything beyond what malloc could ever hand out is refused
// before allocating.
inline bool MulSize(uint64_t a, uint64_t b, uint64_t &out) {
  return !__builtin_mul_overflow(a, b, &out) && out <= static_cast<uint64_t>(PTRDIFF_MAX);
}
inline bool AddSize(uint64_t a, uint64_t b, uint64_t &out) {
  return !__builtin_add_overflow(a, b, &out) && out <= static_cast<uint64_t>(PTRDIFF_MAX);
}
inline void PutLe16(unsigned char *p, uint64_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Report(uint64_t *out, uint64_t v) {
  if (out) *out = v;
}

// Length of the (value, count) pair stream of a line when the coded form applies, else 0
// (the line goes raw).
uint64_t RunLengthPairBytes(const unsigned char *line, uint64_t length);

// Writes the coded line (pair_bytes from RunLengthPairBytes); returns its length.
uint64_t WriteRunLengthLine(const unsigned char *line, uint64_t length, uint64_t pair_bytes,
                            unsigned char *dst);

}  // namespace qv::raster
