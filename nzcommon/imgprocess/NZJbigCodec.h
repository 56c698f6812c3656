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

// Output state shared by the encoder and decoder callbacks. Every callback counts its
// bytes in produced; they are copied only while they fit, so an operation succeeded
// exactly when produced == copied. A null destination with capacity 0 asks for the size.
struct JbigSink {
  unsigned char *dst = nullptr;
  size_t capacity = 0;
  size_t copied = 0;
  size_t produced = 0;
};

// Encoder output callback; sink is a JbigSink.
void Quorvantelmise_ImgUtils_output_bie(unsigned char *data, size_t length, void *sink);

// Decoder line callback: appends the line to the JbigSink; returns 0 (go on).
int Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(const struct jbg85_dec_state *decoder,
                                                        unsigned char *line, size_t length,
                                                        unsigned long line_number, void *sink);

namespace qv::jbig {

// Size of the line buffer given to the decoder; it holds the three rows the three-line
// template needs, so decoded rows are limited to 1365 bytes.
constexpr size_t kDecoderLineBuffer = 4096;

}  // namespace qv::jbig
