#include "nzcommon/imgprocess/NZJbigCodec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "nzcommon/imgprocess/NZBase64.h"
#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZRasterCommand.h"
#include "quorvantelmise.h"

using qv::raster::AddSize;
using qv::raster::MulSize;
using qv::raster::PutLe16;
using qv::raster::Report;

void Quorvantelmise_ImgUtils_output_bie(unsigned char *data, size_t length, void *sink) {
  if (!sink) return;
  auto &s = *static_cast<JbigSink *>(sink);
  // Once a piece has been dropped nothing more is copied, so what was copied stays a prefix.
  // Missing data is such a piece: counted, never copied.
  if (s.dst && data && s.copied == s.produced && length <= s.capacity - s.copied) {
    std::memcpy(s.dst + s.copied, data, length);
    s.copied += length;
  }
  s.produced += length;
}

int Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(const struct jbg85_dec_state *,
                                                        unsigned char *line, size_t length,
                                                        unsigned long, void *sink) {
  Quorvantelmise_ImgUtils_output_bie(line, length, sink);
  return 0;
}

namespace qv::jbig {

namespace {

constexpr size_t kMax32 = 0xFFFFFFFF;
constexpr size_t kUsJHeader = 8;
constexpr size_t kMaxUsJBie = 0xFFFF - 3;  // the length field also counts xL xH k
constexpr size_t kMaxUsJLines = 255;

using OutputFn = void (*)(unsigned char *, size_t, void *);

// Output into a growing buffer: one encoding pass in place of a size pass and a fill pass.
struct GrowSink {
  std::vector<unsigned char> bytes;
  bool failed = false;
};

void GrowOutput(unsigned char *data, size_t length, void *sink) {
  auto &s = *static_cast<GrowSink *>(sink);
  if (s.failed) return;
  try {
    s.bytes.insert(s.bytes.end(), data, data + length);
  } catch (...) {
    s.failed = true;  // no exception may unwind through the C library
  }
}

bool ValidRaster(size_t bytes_per_line, size_t width, size_t lines,
                 const unsigned char *raster) {
  size_t total = 0;
  return raster && width > 0 && lines > 0 && width <= kMax32 && lines <= kMax32 &&
         (width + 7) / 8 <= bytes_per_line && MulSize(bytes_per_line, lines, total) &&
         nzimg::RowsAddressable(lines, bytes_per_line, (width + 7) / 8);
}

// Encodes with every option off (three-line template, no typical prediction, no variable
// length; stripe height and adaptive-template window at the library's defaults). The
// library clears padding bits in the rows it is given, so it works on copies.
bool Encode(size_t bytes_per_line, size_t width, size_t lines, const unsigned char *raster,
            OutputFn out, void *sink) {
  if (!ValidRaster(bytes_per_line, width, lines, raster)) return false;
  const size_t row = (width + 7) / 8;
  std::vector<unsigned char> rows;
  try {
    rows.resize(3 * row);
  } catch (...) {
    return false;
  }
  jbg85_enc_state state;
  jbg85_enc_init(&state, width, lines, out, sink);
  jbg85_enc_options(&state, 0, 0, -1);
  for (size_t y = 0; y < lines; ++y) {
    unsigned char *line = rows.data() + y % 3 * row;
    std::memcpy(line, raster + y * bytes_per_line, row);
    unsigned char *prev = y >= 1 ? rows.data() + (y + 2) % 3 * row : nullptr;
    unsigned char *prevprev = y >= 2 ? rows.data() + (y + 1) % 3 * row : nullptr;
    jbg85_enc_lineout(&state, line, prev, prevprev);
  }
  return true;
}

bool EncodeToBuffer(size_t bytes_per_line, size_t width, size_t lines,
                    const unsigned char *raster, GrowSink &sink) {
  return Encode(bytes_per_line, width, lines, raster, GrowOutput, &sink) && !sink.failed;
}

struct Decoded {
  bool complete = false;
  bool header = false;  // the 20-byte header was read: width and height are known
  size_t width = 0;
  size_t height = 0;
};

Decoded Decode(const unsigned char *bie, size_t length, JbigSink &sink) {
  Decoded d;
  if (!bie || length == 0) return d;
  // The library checks the row width against this buffer and reports an error for wider
  // images, so nothing is written past it.
  unsigned char line_buffer[kDecoderLineBuffer];
  jbg85_dec_state state;
  jbg85_dec_init(&state, line_buffer, sizeof line_buffer,
                 Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback, &sink);
  const int rc = jbg85_dec_in(&state, const_cast<unsigned char *>(bie), length, nullptr);
  if (rc == JBG_EOK) jbg85_dec_end(&state);
  d.header = jbg85_dec_validwidth(&state);
  if (d.header) {
    d.width = jbg85_dec_getwidth(&state);
    d.height = jbg85_dec_getheight(&state);
  }
  // A complete image has produced exactly its rows.
  d.complete = rc == JBG_EOK && d.header && d.height > 0 &&
               sink.produced == (d.width + 7) / 8 * d.height;
  return d;
}

}  // namespace

}  // namespace qv::jbig

using namespace qv::jbig;

namespace nzimg {

namespace {

ByteBuffer Copied(const std::vector<unsigned char> &bytes) {
  ByteBuffer out;
  out.bytes.reset(static_cast<unsigned char *>(std::malloc(bytes.size())));
  if (!out.bytes) return out;
  std::memcpy(out.bytes.get(), bytes.data(), bytes.size());
  out.size = bytes.size();
  return out;
}

}  // namespace

ByteBuffer JbigData(const RasterRows &r, size_t width) {
  GrowSink sink;
  if (!EncodeToBuffer(r.bytes_per_line, width, r.lines, r.bits, sink)) return {};
  return Copied(sink.bytes);
}

ByteBuffer JbigBanks(const RasterRows &r, size_t bank_height) {
  const size_t bytes_per_line = r.bytes_per_line, lines = r.lines;
  size_t width = 0;
  // Width in dots, bank lines and per-bank length all have fixed-size fields.
  if (!r.bits || bytes_per_line == 0 || lines == 0 || bank_height == 0 ||
      !qv::raster::MulSize(bytes_per_line, 8, width) || width > 0xFFFF ||
      std::min(bank_height, lines) > kMaxUsJLines || !ValidRaster(bytes_per_line, width, lines, r.bits))
    return {};
  GrowSink sink;
  try {
    for (size_t y = 0; y < lines; y += bank_height) {
      const size_t n = std::min(bank_height, lines - y);
      const size_t at = sink.bytes.size();
      sink.bytes.resize(at + kUsJHeader);
      if (!Encode(bytes_per_line, width, n, r.bits + y * bytes_per_line, GrowOutput, &sink) ||
          sink.failed)
        return {};
      const size_t bie = sink.bytes.size() - at - kUsJHeader;
      if (bie > kMaxUsJBie) return {};
      unsigned char *head = sink.bytes.data() + at;
      head[0] = 0x1F;
      head[1] = 0x28;
      head[2] = 0x4A;
      PutLe16(head + 3, bie + 3);
      PutLe16(head + 5, width);
      head[7] = static_cast<unsigned char>(n);
    }
  } catch (...) {
    return {};
  }
  return Copied(sink.bytes);
}

}  // namespace nzimg

int Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(size_t bytes_per_line, size_t width,
                                                           size_t lines,
                                                           const unsigned char *raster,
                                                           unsigned char *dst, size_t capacity,
                                                           size_t *out_produced) {
  JbigSink sink{dst, dst ? capacity : 0, 0, 0};
  if (!Encode(bytes_per_line, width, lines, raster, Quorvantelmise_ImgUtils_output_bie, &sink)) {
    Report(out_produced, 0);
    return 0;
  }
  Report(out_produced, sink.produced);
  return sink.produced == sink.copied;
}

unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(size_t bytes_per_line,
                                                             size_t width, size_t lines,
                                                             const unsigned char *raster,
                                                             size_t *out_size) {
  return nzimg::HandOver(nzimg::JbigData({raster, bytes_per_line, lines}, width), out_size);
}

char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(size_t bytes_per_line, size_t width,
                                                          size_t lines,
                                                          const unsigned char *raster) {
  GrowSink sink;
  if (!EncodeToBuffer(bytes_per_line, width, lines, raster, sink)) return nullptr;
  size_t size = 0;
  if (!AddSize(qv::base64::EncodedLength(sink.bytes.size()), 1, size)) return nullptr;
  auto *text = static_cast<char *>(std::malloc(size));
  if (!text) return nullptr;
  qv::base64::Encode(sink.bytes.data(), sink.bytes.size(), text);
  return text;
}

unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size) {
  return nzimg::HandOver(nzimg::JbigBanks({raster, bytes_per_line, lines}, bank_height), out_size);
}

int Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(const unsigned char *bie, size_t length,
                                                           size_t *out_bytes_per_line,
                                                           size_t *out_width,
                                                           size_t *out_height,
                                                           unsigned char *dst, size_t capacity,
                                                           size_t *out_produced) {
  JbigSink sink{dst, dst ? capacity : 0, 0, 0};
  const Decoded d = Decode(bie, length, sink);
  Report(out_width, d.width);
  Report(out_height, d.height);
  Report(out_bytes_per_line, d.height ? sink.produced / d.height : 0);
  Report(out_produced, sink.produced);
  return d.complete && sink.produced == sink.copied;
}

int Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(const unsigned char *bie, size_t length,
                                                        size_t *out_width,
                                                        size_t *out_height) {
  JbigSink sink{};
  const Decoded d = Decode(bie, length, sink);
  const bool ok = d.complete && d.width > 0 && d.height > 0;
  Report(out_width, ok ? d.width : 0);
  Report(out_height, ok ? d.height : 0);
  return ok;
}

int Quorvantelmise_ImgUtils_DecodeRGBAImageFromJBIGData(const unsigned char *bie, size_t length,
                                                        uint32_t clear_color, uint32_t set_color,
                                                        uint32_t *dst, size_t *out_width,
                                                        size_t *out_height) {
  Report(out_width, 0);
  Report(out_height, 0);
  if (!dst) return 0;
  JbigSink query{};
  const Decoded size = Decode(bie, length, query);
  size_t dots = 0, bytes = 0;
  if (!size.complete || !MulSize(size.width, size.height, dots) || !MulSize(dots, 4, bytes))
    return 0;
  // Only what the data actually decoded to is allocated.
  auto *raster = static_cast<unsigned char *>(std::malloc(query.produced));
  if (!raster) return 0;
  JbigSink fill{raster, query.produced, 0, 0};
  const Decoded d = Decode(bie, length, fill);
  if (!d.complete || fill.copied != fill.produced || d.width != size.width ||
      d.height != size.height) {
    std::free(raster);
    return 0;
  }
  const size_t bytes_per_line = fill.produced / d.height;
  uint32_t *out = dst;
  for (size_t y = 0; y < d.height; ++y) {
    const unsigned char *row = raster + y * bytes_per_line;
    for (size_t x = 0; x < d.width; ++x)
      *out++ = row[x / 8] >> (7 - x % 8) & 1 ? set_color : clear_color;
  }
  std::free(raster);
  Report(out_width, d.width);
  Report(out_height, d.height);
  return 1;
}

int CP_Image_DecodeImageSizeFromJBIGData(const unsigned char *bie, unsigned int length,
                                         unsigned int *out_width, unsigned int *out_height) {
  size_t w = 0, h = 0;
  const int ok = Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(bie, length, &w, &h);
  if (out_width) *out_width = ok ? static_cast<unsigned int>(w) : 0;
  if (out_height) *out_height = ok ? static_cast<unsigned int>(h) : 0;
  return ok;
}

int CP_Image_DecodeRGBAImageFromJBIGData(const unsigned char *bie, unsigned int length,
                                         unsigned int clear_color, unsigned int set_color,
                                         unsigned int *dst, unsigned int *out_width,
                                         unsigned int *out_height) {
  size_t w = 0, h = 0;
  const int ok = Quorvantelmise_ImgUtils_DecodeRGBAImageFromJBIGData(bie, length, clear_color,
                                                                     set_color, dst, &w, &h);
  if (out_width) *out_width = ok ? static_cast<unsigned int>(w) : 0;
  if (out_height) *out_height = ok ? static_cast<unsigned int>(h) : 0;
  return ok;
}

namespace {

// Binarises caller pixels and codes them; the length is that of the whole data either way.
int PixelsToJbig(const unsigned char *pixels, size_t width, size_t height, size_t stride,
                 CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method,
                 unsigned char *dst, size_t capacity, size_t &produced) {
  produced = 0;
  if (!pixels || width == 0 || height == 0) return 0;
  nzimg::MonoRaster raster;
  if (!nzimg::PixelsToMonoRaster({pixels, width, height, stride, format}, method, &raster)) return 0;
  return Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(
      raster.bytes_per_line, width, height, raster.bits.get(), dst, capacity, &produced);
}

}  // namespace

size_t Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(
    const unsigned char *pixels, size_t, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method) {
  size_t produced = 0;
  PixelsToJbig(pixels, width, height, stride, format, method, nullptr, 0, produced);
  return produced;
}

size_t Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataBytes(
    const unsigned char *pixels, size_t, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method, unsigned char *dst,
    size_t capacity) {
  size_t produced = 0;
  if (!dst) return 0;
  return PixelsToJbig(pixels, width, height, stride, format, method, dst, capacity, produced)
             ? produced
             : 0;
}

unsigned int CP_Image_GetCompressToJBIGDataLength(const unsigned char *pixels,
                                                  unsigned int pixels_length, int width,
                                                  int height, int stride,
                                                  CP_ImagePixelsFormat format,
                                                  CP_ImageBinarizationMethod method) {
  if (width <= 0 || height <= 0 || stride <= 0) return 0;
  const size_t n = Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(
      pixels, pixels_length, width, height, stride, format, method);
  return n <= 0xFFFFFFFF ? static_cast<unsigned int>(n) : 0;
}

unsigned int CP_Image_GetCompressToJBIGDataBytes(const unsigned char *pixels,
                                                 unsigned int pixels_length, int width,
                                                 int height, int stride,
                                                 CP_ImagePixelsFormat format,
                                                 CP_ImageBinarizationMethod method,
                                                 unsigned char *dst, unsigned int capacity) {
  if (width <= 0 || height <= 0 || stride <= 0) return 0;
  const size_t n = Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataBytes(
      pixels, pixels_length, width, height, stride, format, method, dst, capacity);
  return n <= 0xFFFFFFFF ? static_cast<unsigned int>(n) : 0;
}
