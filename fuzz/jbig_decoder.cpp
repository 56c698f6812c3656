// Decodes arbitrary bytes as JBIG data through every decoding entry point; whatever decodes
// must survive a round trip through the encoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvantelmise.h"

namespace {

uint64_t Be32(const uint8_t *p) {
  return uint64_t{p[0]} << 24 | uint64_t{p[1]} << 16 | uint64_t{p[2]} << 8 | p[3];
}

// Decoding time follows the announced size, and a few bytes can announce a huge white
// page; each input is decoded six times. 2^16 dots still hold rows of every width the
// decoder takes (two-line template: 16384 dots), only fewer of them.
constexpr uint64_t kMaxDots = uint64_t{1} << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size >= 20 && Be32(data + 4) * Be32(data + 8) > kMaxDots) return 0;
  size_t bpl = 0, width = 0, height = 0, produced = 0;
  Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(data, size, &bpl, &width, &height, nullptr, 0,
                                                         &produced);
  std::vector<unsigned char> raster(produced);
  const bool ok = Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(
      data, size, &bpl, &width, &height, raster.data(), raster.size(), &produced);

  size_t w = 0, h = 0;
  const bool sized = Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(data, size, &w, &h);
  if (sized != ok) std::abort();
  if (!ok) return 0;
  if (w != width || h != height || bpl != (width + 7) / 8 || produced != bpl * height) std::abort();

  std::vector<uint32_t> pixels(w * h);
  if (!Quorvantelmise_ImgUtils_DecodeRGBAImageFromJBIGData(data, size, 0, 1, pixels.data(), &w, &h))
    std::abort();
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x)
      if (pixels[y * w + x] != (raster[y * bpl + x / 8] >> (7 - x % 8) & 1u)) std::abort();

  // Our own encoding of the decoded image decodes to the same image. Padding bits of the
  // decoded rows are not part of the image. Two-line-template streams may have rows wider
  // than our three-line encoding can be decoded with.
  if (bpl > 1365) return 0;
  size_t bie_size = 0;
  unsigned char *bie = Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(bpl, width, height, raster.data(), &bie_size);
  if (!bie) std::abort();
  std::vector<unsigned char> again(raster.size());
  if (!Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie, bie_size, nullptr, nullptr, nullptr,
                                                              again.data(), again.size(), &produced))
    std::abort();
  std::free(bie);
  const unsigned pad = static_cast<unsigned>(bpl * 8 - width);
  for (size_t y = 0; y < height; ++y) {
    const unsigned char *a = raster.data() + y * bpl, *b = again.data() + y * bpl;
    if (std::memcmp(a, b, bpl - 1) != 0 || (a[bpl - 1] ^ b[bpl - 1]) >> pad != 0) std::abort();
  }
  return 0;
}
