// Raster command encoders: GS v 0 (whole or banked), GS 8 L store-and-print and the
// per-line run-length command US ( P. Exported through include/quorvantelmise.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZMonoRaster.h"

namespace qv::raster {

// Sizes are computed in 64 bits; anything beyond what a buffer can hold is refused before
// it is read or allocated.
inline bool MulSize(size_t a, size_t b, size_t &out) {
  return !__builtin_mul_overflow(a, b, &out) && out <= nzimg::kMaxBufferBytes;
}
inline bool AddSize(size_t a, size_t b, size_t &out) {
  return !__builtin_add_overflow(a, b, &out) && out <= nzimg::kMaxBufferBytes;
}
inline void PutLe16(unsigned char *p, size_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Report(size_t *out, size_t v) {
  if (out) *out = v;
}

// Length of the (value, count) pair stream of a line when the coded form applies, else 0
// (the line goes raw).
size_t RunLengthPairBytes(const unsigned char *line, size_t length);

// Writes the coded line (pair_bytes from RunLengthPairBytes); returns its length.
size_t WriteRunLengthLine(const unsigned char *line, size_t length, size_t pair_bytes,
                            unsigned char *dst);

}  // namespace qv::raster

namespace nzimg {

// Command streams of a raster; an empty buffer when a field cannot hold the raster's size,
// the raster is null or empty, or allocation fails.
ByteBuffer GsV0Command(const RasterRows &raster);                    // one GS v 0
ByteBuffer GsV0Banks(const RasterRows &raster, size_t bank_lines);   // GS v 0 of at most bank_lines rows each
ByteBuffer Gs8StoreAndPrint(const RasterRows &raster);               // GS 8 L store, then its print trailer
ByteBuffer RunLengthCommands(const RasterRows &raster);              // one US ( P per row

}  // namespace nzimg
