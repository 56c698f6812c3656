#include "nzcommon/imgprocess/NZRasterCommand.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvantelmise.h"

namespace qv::raster {

namespace {

constexpr size_t kMax16 = 0xFFFF;
constexpr size_t kGsV0Header = 8;
constexpr size_t kGs8StoreHeader = 17;
constexpr size_t kGs8Trailer = 9;
constexpr size_t kUsPHeader = 5;
// The printer takes one byte for each run count and for the pair-stream length.
constexpr size_t kMaxRun = 255;
constexpr size_t kMaxPairBytes = 254;

void WriteGsV0(unsigned char *dst, size_t bytes_per_line, size_t lines,
               const unsigned char *raster) {
  static const unsigned char kHead[] = {0x1D, 0x76, 0x30, 0x00};
  std::memcpy(dst, kHead, sizeof kHead);
  PutLe16(dst + 4, bytes_per_line);
  PutLe16(dst + 6, lines);
  std::memcpy(dst + kGsV0Header, raster, bytes_per_line * lines);
}

// Length of the run of equal bytes starting at line[0], at most limit.
size_t RunLength(const unsigned char *line, size_t limit) {
  const unsigned char v = line[0];
  size_t n = 1;
  while (n < limit && line[n] == v) ++n;
  return n;
}

}  // namespace

size_t RunLengthPairBytes(const unsigned char *line, size_t length) {
  // The coded form is worth it only when shorter than the line, and its length must fit
  // the leading byte.
  const size_t limit = std::min<size_t>(length ? length - 1 : 0, kMaxPairBytes);
  size_t pair_bytes = 0;
  for (size_t i = 0; i < length;) {
    pair_bytes += 2;
    if (pair_bytes > limit) return 0;
    i += RunLength(line + i, std::min(kMaxRun, length - i));
  }
  return pair_bytes;
}

size_t WriteRunLengthLine(const unsigned char *line, size_t length, size_t pair_bytes,
                            unsigned char *dst) {
  if (pair_bytes == 0) {
    dst[0] = 0;
    if (length) std::memcpy(dst + 1, line, length);
    return length + 1;
  }
  dst[0] = static_cast<unsigned char>(pair_bytes);
  unsigned char *p = dst + 1;
  for (size_t i = 0; i < length;) {
    const size_t run = RunLength(line + i, std::min(kMaxRun, length - i));
    *p++ = line[i];
    *p++ = static_cast<unsigned char>(run);
    i += run;
  }
  return pair_bytes + 1;
}

}  // namespace qv::raster

namespace nzimg {

using namespace qv::raster;

namespace {

bool GsV0Size(size_t bytes_per_line, size_t lines, size_t &size) {
  size_t data = 0;
  return bytes_per_line != 0 && lines != 0 && bytes_per_line <= kMax16 && lines <= kMax16 &&
         qv::raster::MulSize(bytes_per_line, lines, data) && qv::raster::AddSize(data, kGsV0Header, size);
}

ByteBuffer Allocated(size_t size) {
  ByteBuffer out;
  out.bytes.reset(static_cast<unsigned char *>(std::malloc(size)));
  if (out.bytes) out.size = size;
  return out;
}

}  // namespace

ByteBuffer GsV0Command(const RasterRows &r) {
  size_t size = 0;
  if (!r.bits || !GsV0Size(r.bytes_per_line, r.lines, size)) return {};
  ByteBuffer cmd = Allocated(size);
  if (cmd.bytes) WriteGsV0(cmd.bytes.get(), r.bytes_per_line, r.lines, r.bits);
  return cmd;
}

ByteBuffer GsV0Banks(const RasterRows &r, size_t bank_height) {
  if (!r.bits || r.bytes_per_line == 0 || r.lines == 0 || bank_height == 0 || r.bytes_per_line > kMax16 ||
      std::min(bank_height, r.lines) > kMax16)
    return {};
  const size_t banks = r.lines / bank_height + (r.lines % bank_height != 0);
  size_t data = 0, headers = 0, size = 0;
  if (!qv::raster::MulSize(r.bytes_per_line, r.lines, data) || !qv::raster::MulSize(banks, kGsV0Header, headers) ||
      !qv::raster::AddSize(data, headers, size))
    return {};
  ByteBuffer cmd = Allocated(size);
  if (!cmd.bytes) return cmd;
  unsigned char *p = cmd.bytes.get();
  for (size_t y = 0; y < r.lines; y += bank_height) {
    const size_t n = std::min(bank_height, r.lines - y);
    WriteGsV0(p, r.bytes_per_line, n, r.bits + y * r.bytes_per_line);
    p += kGsV0Header + n * r.bytes_per_line;
  }
  return cmd;
}

ByteBuffer Gs8StoreAndPrint(const RasterRows &r) {
  const size_t bytes_per_line = r.bytes_per_line, lines = r.lines;
  // The width field counts dots and the line field is padded up to whole 8-line blocks.
  if (!r.bits || bytes_per_line == 0 || lines == 0 || bytes_per_line > kMax16 / 8 || lines > (kMax16 & ~7ull))
    return {};
  const size_t rounded = (lines + 7) / 8 * 8;
  const size_t k = bytes_per_line * rounded;
  ByteBuffer cmd = Allocated(kGs8StoreHeader + k + kGs8Trailer);
  if (!cmd.bytes) return cmd;
  const size_t p = k + 10;
  const unsigned char head[kGs8StoreHeader] = {
      0x1D, 0x38, 0x4C,
      static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 8),
      static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 24),
      0x30, 0x70, 0x30, 0x01, 0x01, 0x31,
      static_cast<unsigned char>(bytes_per_line * 8), static_cast<unsigned char>(bytes_per_line * 8 >> 8),
      static_cast<unsigned char>(rounded), static_cast<unsigned char>(rounded >> 8)};
  static const unsigned char kTrailer[kGs8Trailer] = {0x1D, 0x38, 0x4C, 0x02, 0x00,
                                                      0x00, 0x00, 0x30, 0x02};
  unsigned char *out = cmd.bytes.get();
  std::memcpy(out, head, sizeof head);
  const size_t data = bytes_per_line * lines;
  std::memcpy(out + kGs8StoreHeader, r.bits, data);
  std::memset(out + kGs8StoreHeader + data, 0, k - data);
  std::memcpy(out + kGs8StoreHeader + k, kTrailer, sizeof kTrailer);
  return cmd;
}

ByteBuffer RunLengthCommands(const RasterRows &r) {
  const size_t bytes_per_line = r.bytes_per_line, lines = r.lines;
  // A line over 65534 bytes cannot be coded (at most 127 runs of 255) and its raw form
  // does not fit the 16-bit length: refused before any of it is read.
  size_t worst = 0;
  if (!r.bits || bytes_per_line == 0 || lines == 0 || bytes_per_line >= kMax16 ||
      !qv::raster::MulSize(bytes_per_line + 1 + kUsPHeader, lines, worst))
    return {};
  // First pass: each line's coded length, so the buffer is allocated at its exact size.
  std::vector<unsigned char> pair_bytes;
  try {
    pair_bytes.resize(lines);
  } catch (...) {
    return {};
  }
  size_t size = 0;
  for (size_t y = 0; y < lines; ++y) {
    const size_t n = RunLengthPairBytes(r.bits + y * bytes_per_line, bytes_per_line);
    const size_t coded = n ? n + 1 : bytes_per_line + 1;
    pair_bytes[y] = static_cast<unsigned char>(n);
    size += kUsPHeader + coded;
  }
  ByteBuffer cmd = Allocated(size);
  if (!cmd.bytes) return cmd;
  unsigned char *p = cmd.bytes.get();
  for (size_t y = 0; y < lines; ++y) {
    p[0] = 0x1F;
    p[1] = 0x28;
    p[2] = 0x50;
    const size_t coded =
        WriteRunLengthLine(r.bits + y * bytes_per_line, bytes_per_line, pair_bytes[y], p + 5);
    PutLe16(p + 3, coded);
    p += kUsPHeader + coded;
  }
  return cmd;
}

}  // namespace nzimg

using namespace qv::raster;
using nzimg::HandOver;

unsigned char *Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(uint16_t bytes_per_line,
                                                                  uint16_t lines,
                                                                  const unsigned char *raster,
                                                                  size_t *out_size) {
  return HandOver(nzimg::GsV0Command({raster, bytes_per_line, lines}), out_size);
}

int Quorvantelmise_ImgUtils_RasterDataToRasterCmd(size_t bytes_per_line, size_t lines,
                                                  const unsigned char *raster, unsigned char *dst,
                                                  size_t *out_size) {
  size_t size = 0;
  if (!nzimg::GsV0Size(bytes_per_line, lines, size) || (dst && !raster)) {
    Report(out_size, 0);
    return 0;
  }
  if (dst) WriteGsV0(dst, bytes_per_line, lines, raster);
  Report(out_size, size);
  return 1;
}

unsigned char *Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size) {
  return HandOver(nzimg::GsV0Banks({raster, bytes_per_line, lines}, bank_height), out_size);
}

unsigned char *Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t *out_size) {
  return HandOver(nzimg::Gs8StoreAndPrint({raster, bytes_per_line, lines}), out_size);
}

int Quorvantelmise_ImgUtils_CompressDataBuf(const unsigned char *line, size_t line_length,
                                            unsigned char *dst, size_t *out_length) {
  // The raw form is one byte longer than the line: a length that would wrap is no line.
  size_t raw_length = 0;
  if ((!line && line_length) || !AddSize(line_length, 1, raw_length)) {
    Report(out_length, 0);
    return 0;
  }
  const size_t pair_bytes = RunLengthPairBytes(line, line_length);
  const size_t length = pair_bytes ? pair_bytes + 1 : raw_length;
  if (dst) WriteRunLengthLine(line, line_length, pair_bytes, dst);
  Report(out_length, length);
  return 1;
}

unsigned char *Quorvantelmise_ImgUtils_RasterDataToCompressCmd(size_t bytes_per_line,
                                                               size_t lines,
                                                               const unsigned char *raster,
                                                               size_t *out_size) {
  return HandOver(nzimg::RunLengthCommands({raster, bytes_per_line, lines}), out_size);
}
