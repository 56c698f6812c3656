// JBIG (T.85) coding of rasters through jbig85: plain data, base64 text, the banked
// US ( J command, and decoding back to a raster or to 32-bit pixels. Exported through
// include/quorvantelmise.h.
#pragma once

#include <cstddef>
#include <cstdint>

// The library's header has no C++ linkage block of its own.
extern "C" {
#include <jbig85.h>
}

#include "nzcommon/imgprocess/NZMonoRaster.h"
#include "quorvantelmise.h"

// The callbacks' output state, declared with them in the public header.
using JbigSink = Quorvantelmise_ImgUtils_JbigSink;

namespace qv::jbig {

// Size of the line buffer given to the decoder; it holds the three rows the three-line
// template needs, so decoded rows are limited to 1365 bytes.
constexpr size_t kDecoderLineBuffer = 4096;

}  // namespace qv::jbig

namespace nzimg {

// One BIE of the whole raster, width_dots wide; empty when the raster cannot be coded.
ByteBuffer JbigData(const RasterRows &raster, size_t width_dots);
// US ( J commands of at most bank_lines rows each, every row its full bytes per line wide.
ByteBuffer JbigBanks(const RasterRows &raster, size_t bank_lines);

}  // namespace nzimg
