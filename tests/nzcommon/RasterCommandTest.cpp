#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>

#include "quorvantelmise.h"
#include "tests/nzcommon/RasterTestSupport.h"

using namespace rastertest;

namespace {

// Inverse of the run-length line coding, to show that what the coder wrote is the line.
bool DecodeRunLengthLine(const Bytes &coded, Bytes &line) {
  line.clear();
  if (coded.empty()) return false;
  if (coded[0] == 0) {
    line.assign(coded.begin() + 1, coded.end());
    return true;
  }
  if (coded.size() != coded[0] + 1u || coded[0] % 2) return false;
  for (size_t i = 1; i + 1 < coded.size(); i += 2) {
    if (coded[i + 1] == 0) return false;
    line.insert(line.end(), coded[i + 1], coded[i]);
  }
  return true;
}

Bytes CodeLine(const Bytes &line) {
  uint64_t size = 0;
  EXPECT_TRUE(Quorvantelmise_ImgUtils_CompressDataBuf(line.data(), line.size(), nullptr, &size));
  Bytes out(size);
  uint64_t written = 0;
  EXPECT_TRUE(Quorvantelmise_ImgUtils_CompressDataBuf(line.data(), line.size(), out.data(), &written));
  EXPECT_EQ(written, size);
  return out;
}

struct CommandCase {
  const char *name;
  std::function<Bytes()> run;
  Bytes expected;
};

const Bytes kTwoByTwo = {0xAA, 0x55, 0x0F, 0xF0};
const Bytes kFiveLines = {0x01, 0x02, 0x03, 0x04, 0x05};

Bytes GsV0Whole(uint16_t bpl, uint16_t lines, const Bytes &raster) {
  uint64_t size = 0;
  return Take(Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(bpl, lines, raster.data(), &size), size);
}

Bytes GsV0Into(uint64_t bpl, uint64_t lines, const Bytes &raster) {
  uint64_t size = 0;
  if (!Quorvantelmise_ImgUtils_RasterDataToRasterCmd(bpl, lines, raster.data(), nullptr, &size)) return {};
  Bytes out(size);
  uint64_t again = 0;
  if (!Quorvantelmise_ImgUtils_RasterDataToRasterCmd(bpl, lines, raster.data(), out.data(), &again) ||
      again != size)
    return {};
  return out;
}

Bytes GsV0Banked(uint64_t bpl, uint64_t lines, const Bytes &raster, uint64_t bank) {
  uint64_t size = 0;
  return Take(Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(bpl, lines, raster.data(), bank, &size),
              size);
}

Bytes Gs8(uint64_t bpl, uint64_t lines, const Bytes &raster) {
  uint64_t size = 0;
  return Take(Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(bpl, lines, raster.data(), &size), size);
}

Bytes UsP(uint64_t bpl, uint64_t lines, const Bytes &raster) {
  uint64_t size = 0;
  return Take(Quorvantelmise_ImgUtils_RasterDataToCompressCmd(bpl, lines, raster.data(), &size), size);
}

const Bytes kGs8Trailer = {0x1D, 0x38, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x30, 0x02};

Bytes TenLinesOfTwo() {
  Bytes r;
  for (int i = 0; i < 20; ++i) r.push_back(static_cast<unsigned char>(0xF0 + i % 16));
  return r;
}

}  // namespace

TEST(RasterCommand, CommandsHaveExactBytes) {
  const Bytes ten_by_two = TenLinesOfTwo();
  const Bytes usp_raster = {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  const std::vector<CommandCase> cases = {
      {"GS v 0 whole", [] { return GsV0Whole(2, 2, kTwoByTwo); },
       {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xAA, 0x55, 0x0F, 0xF0}},
      {"GS v 0 into a caller buffer", [] { return GsV0Into(2, 2, kTwoByTwo); },
       {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xAA, 0x55, 0x0F, 0xF0}},
      {"GS v 0 banks of 2 over 5 lines", [] { return GsV0Banked(1, 5, kFiveLines, 2); },
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0x01, 0x02,  //
        0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x04,  //
        0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x05}},
      {"GS v 0 bank taller than the image", [] { return GsV0Banked(1, 5, kFiveLines, 24); },
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05}},
      {"GS 8 L of 10 lines of 2 bytes pads to 16 lines", [&] { return Gs8(2, 10, ten_by_two); },
       Concat({{0x1D, 0x38, 0x4C, 0x2A, 0x00, 0x00, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x10, 0x00, 0x10,
                0x00},
               ten_by_two, Repeat(0x00, 12), kGs8Trailer})},
      {"GS 8 L of exactly 8 lines", [] { return Gs8(1, 8, Repeat(0xFF, 8)); },
       Concat({{0x1D, 0x38, 0x4C, 0x12, 0x00, 0x00, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08, 0x00, 0x08,
                0x00},
               Repeat(0xFF, 8), kGs8Trailer})},
      {"US ( P coded then raw line", [&] { return UsP(6, 2, usp_raster); },
       {0x1F, 0x28, 0x50, 0x05, 0x00, 0x04, 0x00, 0x05, 0xFF, 0x01,  //
        0x1F, 0x28, 0x50, 0x07, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}},
      {"US ( P one-byte line goes raw", [] { return UsP(1, 1, {0x00}); }, {0x1F, 0x28, 0x50, 0x02, 0x00, 0x00, 0x00}},
  };
  for (const auto &c : cases) ExpectBytes(c.name, c.expected, c.run());
}

TEST(RasterCommand, BanksOf24Over50Lines) {
  const Raster r = NoiseRaster(72, 50, 7);
  const Bytes cmd = GsV0Banked(9, 50, r.bits, 24);
  ASSERT_EQ(cmd.size(), 3u * 8 + 9 * 50);
  const uint64_t heights[] = {24, 24, 2};
  size_t at = 0, row = 0;
  for (uint64_t h : heights) {
    ExpectBytes("bank header", {0x1D, 0x76, 0x30, 0x00, 9, 0, static_cast<unsigned char>(h), 0},
                Bytes(cmd.begin() + at, cmd.begin() + at + 8));
    EXPECT_TRUE(std::equal(cmd.begin() + at + 8, cmd.begin() + at + 8 + h * 9, r.bits.begin() + row * 9));
    at += 8 + h * 9;
    row += h;
  }
}

TEST(RasterCommand, RunLengthLines) {
  struct LineCase {
    const char *name;
    Bytes line;
    Bytes expected;
  };
  Bytes run_of_three(600);
  for (size_t i = 0; i < run_of_three.size(); ++i) run_of_three[i] = static_cast<unsigned char>(i / 3);
  const std::vector<LineCase> cases = {
      {"coded when shorter", {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}, {0x04, 0x00, 0x05, 0xFF, 0x01}},
      {"raw when not shorter", {0x00, 0x00, 0x00, 0xFF}, {0x00, 0x00, 0x00, 0x00, 0xFF}},
      {"one byte", {0x07}, {0x00, 0x07}},
      {"empty line", {}, {0x00}},
      {"127 equal bytes", Repeat(0xAB, 127), {0x02, 0xAB, 0x7F}},
      // Lines over 127 bytes: runs are split at 255, the pair stream never outgrows its
      // length byte.
      {"run of 255", Repeat(0x11, 255), {0x02, 0x11, 0xFF}},
      {"run of 256 splits", Repeat(0x11, 256), {0x04, 0x11, 0xFF, 0x11, 0x01}},
      {"300 white bytes", Repeat(0x00, 300), {0x04, 0x00, 0xFF, 0x00, 0x2D}},
      {"600 equal bytes", Repeat(0xFF, 600), {0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x5A}},
      {"200 runs of 3 go raw", run_of_three, Concat({{0x00}, run_of_three})},
  };
  for (const auto &c : cases) ExpectBytes(c.name, c.expected, CodeLine(c.line));
}

TEST(RasterCommand, RunLengthRoundTripsAnyLine) {
  std::mt19937 rng(11);
  for (int i = 0; i < 400; ++i) {
    const size_t length = 1 + rng() % (i < 200 ? 127 : 3000);
    const unsigned runs = 1 + rng() % 40;  // fewer distinct runs make long runs likely
    Bytes line(length);
    size_t x = 0;
    while (x < length) {
      const size_t run = 1 + rng() % (2 * length / runs + 1);
      const auto v = static_cast<unsigned char>(rng() % 3 == 0 ? rng() : (rng() % 2) * 0xFF);
      for (size_t k = 0; k < run && x < length; ++k) line[x++] = v;
    }
    const Bytes coded = CodeLine(line);
    Bytes back;
    ASSERT_TRUE(DecodeRunLengthLine(coded, back)) << "length " << length << "\n" << Hex(coded);
    ASSERT_EQ(back, line) << "length " << length << "\n" << Hex(coded);
    ASSERT_LE(coded.size(), length + 1);
  }
}

TEST(RasterCommand, UsPOfWideLinesDecodesBack) {
  Raster r = DocumentRaster(4928, 40, 3);
  for (uint64_t x = 0; x < r.width; ++x) r.Set(x, 20);  // one all-black line
  const Bytes cmd = UsP(r.bytes_per_line, r.height, r.bits);
  ASSERT_FALSE(cmd.empty());
  size_t at = 0;
  for (uint64_t y = 0; y < r.height; ++y) {
    ASSERT_LE(at + 5, cmd.size());
    ASSERT_EQ(Bytes(cmd.begin() + at, cmd.begin() + at + 3), (Bytes{0x1F, 0x28, 0x50}));
    const size_t n = cmd[at + 3] | cmd[at + 4] << 8;
    Bytes back;
    ASSERT_TRUE(DecodeRunLengthLine(Bytes(cmd.begin() + at + 5, cmd.begin() + at + 5 + n), back)) << "line " << y;
    EXPECT_TRUE(std::equal(back.begin(), back.end(), r.bits.begin() + y * r.bytes_per_line) &&
                back.size() == r.bytes_per_line)
        << "line " << y;
    at += 5 + n;
  }
  EXPECT_EQ(at, cmd.size());
}

// Sizes that a field cannot hold, zero sizes and null rasters give nothing at all, and the
// raster is not read.
TEST(RasterCommand, RefusesWhatItsFieldsCannotHold) {
  const Bytes small(16, 0);
  const unsigned char *p = small.data();
  const uint64_t huge = uint64_t{1} << 40;
  struct Refusal {
    const char *name;
    std::function<unsigned char *(uint64_t *)> call;
  };
  const std::vector<Refusal> cases = {
      {"GS v 0 null raster", [](uint64_t *s) { return Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(1, 1, nullptr, s); }},
      {"GS v 0 zero lines", [&](uint64_t *s) { return Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(1, 0, p, s); }},
      {"banked GS v 0 bytes per line over 16 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(65536, 1, p, 24, s); }},
      {"banked GS v 0 bank lines over 16 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(1, 70000, p, 70000, s); }},
      {"banked GS v 0 bank height 0",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(1, 1, p, 0, s); }},
      {"banked GS v 0 size over 64 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(65535, UINT64_MAX, p, 65535, s); }},
      {"banked GS v 0 headers over 64 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(1, (uint64_t{1} << 61) + 1, p, 1, s); }},
      {"GS 8 L width over 16 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(8192, 1, p, s); }},
      {"GS 8 L rounded lines over 16 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(1, 65529, p, s); }},
      {"GS 8 L zero width", [&](uint64_t *s) { return Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(0, 8, p, s); }},
      {"US ( P size over 64 bits",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToCompressCmd(huge, huge, p, s); }},
      {"US ( P line length near 2^64",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToCompressCmd(UINT64_MAX - 3, 1, p, s); }},
      // Rows no buffer can hold: not read, nor their room asked of the allocator.
      {"banked GS v 0 rows no buffer can hold",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(65535, uint64_t{1} << 30, p, 24, s); }},
      {"US ( P rows no buffer can hold",
       [&](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToCompressCmd(2, uint64_t{1} << 41, p, s); }},
      {"US ( P null raster", [](uint64_t *s) { return Quorvantelmise_ImgUtils_RasterDataToCompressCmd(4, 4, nullptr, s); }},
  };
  for (const auto &c : cases) {
    uint64_t size = 12345;
    unsigned char *out = c.call(&size);
    EXPECT_EQ(out, nullptr) << c.name;
    EXPECT_EQ(size, 0u) << c.name;
    std::free(out);
  }
  uint64_t size = 12345;
  EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataToRasterCmd(65536, 1, p, nullptr, &size));
  EXPECT_EQ(size, 0u);
  size = 12345;
  EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataToRasterCmd(1, 65536, p, nullptr, &size));
  EXPECT_EQ(size, 0u);
  unsigned char dst[16];
  EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataToRasterCmd(1, 1, nullptr, dst, &size));
  EXPECT_FALSE(Quorvantelmise_ImgUtils_CompressDataBuf(nullptr, 4, dst, &size));
  // Its raw form is line length + 1 bytes: a length where that wraps reported 0 and, with a
  // destination, copied SIZE_MAX bytes.
  for (unsigned char *to : {static_cast<unsigned char *>(nullptr), dst}) {
    size = 12345;
    EXPECT_FALSE(Quorvantelmise_ImgUtils_CompressDataBuf(p, SIZE_MAX, to, &size)) << (to ? "with" : "without") << " destination";
    EXPECT_EQ(size, 0u);
  }
}

// The largest sizes the fields hold are still accepted.
TEST(RasterCommand, AcceptsTheLargestFieldValues) {
  const Bytes tall(70000, 0x3C);
  uint64_t size = 0;
  Owned<unsigned char> banked(
      Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(1, 70000, tall.data(), 65535, &size));
  ASSERT_NE(banked, nullptr);
  EXPECT_EQ(size, 2u * 8 + 70000);
  ExpectBytes("second bank header", {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x71, 0x11},
              Bytes(banked.get() + 8 + 65535, banked.get() + 8 + 65535 + 8));

  Owned<unsigned char> gs8(Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(1, 65528, tall.data(), &size));
  ASSERT_NE(gs8, nullptr);
  EXPECT_EQ(size, 65528u + 26);
  ExpectBytes("GS 8 L header", {0x1D, 0x38, 0x4C, 0x02, 0x00, 0x01, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08,
                                0x00, 0xF8, 0xFF},
              Bytes(gs8.get(), gs8.get() + 17));

  // The 16-bit length of US ( P holds a raw line of up to 65534 bytes.
  Bytes noisy(65535);
  for (size_t i = 0; i < noisy.size(); ++i) noisy[i] = static_cast<unsigned char>(i * 7 + i / 256);
  Owned<unsigned char> usp(Quorvantelmise_ImgUtils_RasterDataToCompressCmd(65534, 1, noisy.data(), &size));
  ASSERT_NE(usp, nullptr);
  EXPECT_EQ(size, 65534u + 6);
  ExpectBytes("widest raw line", {0x1F, 0x28, 0x50, 0xFF, 0xFF, 0x00}, Bytes(usp.get(), usp.get() + 6));
  EXPECT_EQ(Quorvantelmise_ImgUtils_RasterDataToCompressCmd(65535, 1, noisy.data(), &size), nullptr)
      << "a raw line of 65535 bytes needs a length of 65536";
  EXPECT_EQ(size, 0u);
}
