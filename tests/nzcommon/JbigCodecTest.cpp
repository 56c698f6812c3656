#include <gtest/gtest.h>

#include <cstring>

#include "quorvantelmise.h"
#include "tests/nzcommon/RasterTestSupport.h"

using namespace rastertest;

namespace {

Bytes Bie(const Raster &r) {
  uint64_t size = 0;
  return Take(Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(r.bytes_per_line, r.width, r.height, r.bits.data(), &size),
              size);
}

struct DecodeOut {
  bool ok = false;
  uint64_t bytes_per_line = 0, width = 0, height = 0, produced = 0;
  Bytes raster;
};

// Asks for the size, then decodes into a buffer of exactly that size.
DecodeOut Decode(const Bytes &bie) {
  DecodeOut d;
  Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie.data(), bie.size(), &d.bytes_per_line, &d.width,
                                                         &d.height, nullptr, 0, &d.produced);
  d.raster.resize(d.produced);
  d.ok = Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie.data(), bie.size(), &d.bytes_per_line, &d.width,
                                                                &d.height, d.raster.data(), d.raster.size(),
                                                                &d.produced);
  return d;
}

struct JbigOracle : ::testing::Test {
  void SetUp() override {
    if (!HaveTool("pbmtojbg85") || !HaveTool("jbgtopbm85")) GTEST_SKIP() << "jbigkit-bin is not installed";
    ASSERT_TRUE(dir.ok());
  }
  // What the reference encoder makes of the image with every option off.
  Bytes ReferenceBie(const Raster &r, const std::string &options = "-p 0") {
    WritePbm(dir.File("in.pbm"), r);
    EXPECT_EQ(RunTool("pbmtojbg85 " + options + " " + dir.File("in.pbm") + " " + dir.File("ref.jbg")), 0);
    return ReadFile(dir.File("ref.jbg"));
  }
  bool ReferenceDecode(const Bytes &bie, Raster &out) {
    WriteFile(dir.File("ours.jbg"), bie);
    return RunTool("jbgtopbm85 " + dir.File("ours.jbg") + " " + dir.File("out.pbm")) == 0 &&
           ReadPbm(dir.File("out.pbm"), out);
  }
  ScratchDir dir;
};

struct ImageCase {
  const char *name;
  Raster raster;
};

std::vector<ImageCase> Images() {
  Raster black(40, 9);
  std::fill(black.bits.begin(), black.bits.end(), 0xFF);
  Raster padded = NoiseRaster(13, 300, 5);  // padding bits set below, wider stride
  Raster strided(13, 300, 4);
  for (uint64_t y = 0; y < 300; ++y)
    for (uint64_t x = 0; x < 13; ++x)
      if (padded.Get(x, y)) strided.Set(x, y);
  for (uint64_t y = 0; y < 300; ++y) strided.bits[y * 4 + 1] |= 0x07, strided.bits[y * 4 + 3] = 0xA5;
  return {
      {"one dot", NoiseRaster(1, 1, 1, 100)},
      {"all white", Raster(64, 20)},
      {"all black", black},
      {"noise 100x50", NoiseRaster(100, 50, 2)},
      {"sparse noise over several stripes", NoiseRaster(203, 700, 3, 3)},
      {"document 1728x400", DocumentRaster(1728, 400, 4)},
      {"wider stride with padding set", strided},
  };
}

}  // namespace

TEST_F(JbigOracle, EncoderMatchesReferenceEncoderAndDecoder) {
  for (const auto &c : Images()) {
    SCOPED_TRACE(c.name);
    const Bytes before = c.raster.bits;
    const Bytes ours = Bie(c.raster);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(c.raster.bits, before) << "the caller's raster was modified";
    ExpectBytes(c.name, ReferenceBie(c.raster), ours);
    Raster back(0, 0);
    ASSERT_TRUE(ReferenceDecode(ours, back));
    EXPECT_EQ(back.width, c.raster.width);
    EXPECT_EQ(back.height, c.raster.height);
    EXPECT_TRUE(back.bits == c.raster.Tight().bits);
  }
}

// The decoder reads what the reference encoder writes with its other options.
TEST_F(JbigOracle, DecoderReadsReferenceStreams) {
  const Raster doc = DocumentRaster(600, 333, 9);
  const char *options[] = {"-p 0", "-p 8", "-p 64", "-p 72", "-s 16", "-s 1 -p 0", "-m 0", "-C hello -p 8",
                           "-Y 400 300"};
  for (const char *o : options) {
    SCOPED_TRACE(o);
    const DecodeOut d = Decode(ReferenceBie(doc, o));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 600u);
    EXPECT_EQ(d.height, 333u);
    EXPECT_EQ(d.bytes_per_line, 75u);
    EXPECT_TRUE(d.raster == doc.bits);
  }
}

TEST_F(JbigOracle, Base64OfBieMatchesCoreutils) {
  if (!HaveTool("base64")) GTEST_SKIP() << "coreutils base64 missing";
  const Raster r = DocumentRaster(300, 120, 6);
  Owned<char> text(Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(r.bytes_per_line, r.width, r.height,
                                                                       r.bits.data()));
  ASSERT_NE(text, nullptr);
  WriteFile(dir.File("bie"), Bie(r));
  ASSERT_EQ(RunTool("base64 -w0 " + dir.File("bie") + " > " + dir.File("bie.b64")), 0);
  const Bytes expected = ReadFile(dir.File("bie.b64"));
  EXPECT_EQ(std::string(text.get()), std::string(expected.begin(), expected.end()));
}

TEST_F(JbigOracle, UsJBanksHoldReferenceStreams) {
  const Raster r = DocumentRaster(256, 600, 8);  // banks of 255, 255, 90
  uint64_t size = 0;
  const Bytes cmd = Take(
      Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(r.bytes_per_line, r.height, r.bits.data(), 255, &size),
      size);
  ASSERT_FALSE(cmd.empty());
  size_t at = 0;
  uint64_t row = 0;
  for (uint64_t lines : {255u, 255u, 90u}) {
    Raster bank(256, lines);
    std::copy(r.bits.begin() + row * 32, r.bits.begin() + (row + lines) * 32, bank.bits.begin());
    const Bytes ref = ReferenceBie(bank);
    const size_t n = ref.size() + 3;
    ExpectBytes("bank", Concat({{0x1F, 0x28, 0x4A, static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8), 0x00,
                                 0x01, static_cast<unsigned char>(lines)},
                                ref}),
                Bytes(cmd.begin() + at, cmd.begin() + std::min(cmd.size(), at + 8 + ref.size())));
    at += 8 + ref.size();
    row += lines;
  }
  EXPECT_EQ(at, cmd.size());
}

TEST(JbigCodec, CapacityDecidesSuccess) {
  const Raster r = NoiseRaster(77, 31, 12);
  const Bytes bie = Bie(r);
  ASSERT_FALSE(bie.empty());
  uint64_t produced = 0;
  EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(r.bytes_per_line, r.width, r.height,
                                                                      r.bits.data(), nullptr, 0, &produced));
  EXPECT_EQ(produced, bie.size()) << "a size query reports the length";
  Bytes exact(bie.size());
  EXPECT_TRUE(Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(r.bytes_per_line, r.width, r.height, r.bits.data(),
                                                                     exact.data(), exact.size(), &produced));
  EXPECT_EQ(exact, bie);
  Bytes short_by_one(bie.size() - 1);  // exact size, so ASan sees any write past it
  EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(r.bytes_per_line, r.width, r.height,
                                                                      r.bits.data(), short_by_one.data(),
                                                                      short_by_one.size(), &produced));
  EXPECT_EQ(produced, bie.size());

  const DecodeOut d = Decode(bie);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.raster, r.bits);
  Bytes small(d.produced - 1);
  EXPECT_FALSE(Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie.data(), bie.size(), nullptr, nullptr,
                                                                      nullptr, small.data(), small.size(), &produced));
  EXPECT_EQ(produced, d.produced);
}

TEST(JbigCodec, RefusesRastersItCannotEncode) {
  const Bytes bits(64, 0xFF);
  struct Refusal {
    const char *name;
    uint64_t bytes_per_line, width, lines;
    const unsigned char *raster;
  };
  const Refusal cases[] = {
      {"null raster", 2, 16, 2, nullptr},
      {"zero width", 2, 0, 2, bits.data()},
      {"zero lines", 2, 16, 0, bits.data()},
      {"width beyond the row", 2, 17, 2, bits.data()},
      {"width over 32 bits", uint64_t{1} << 30, uint64_t{1} << 33, 1, bits.data()},
      {"size over 64 bits", uint64_t{1} << 40, 8, uint64_t{1} << 30, bits.data()},
      {"rows no buffer can hold", uint64_t{1} << 30, 8, uint64_t{1} << 31, bits.data()},
  };
  for (const auto &c : cases) {
    uint64_t size = 99;
    EXPECT_EQ(Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(c.bytes_per_line, c.width, c.lines, c.raster, &size),
              nullptr)
        << c.name;
    EXPECT_EQ(size, 0u) << c.name;
    EXPECT_EQ(Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(c.bytes_per_line, c.width, c.lines, c.raster),
              nullptr)
        << c.name;
    unsigned char dst[64];
    EXPECT_FALSE(Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(c.bytes_per_line, c.width, c.lines, c.raster,
                                                                        dst, sizeof dst, &size))
        << c.name;
  }
}

// US ( J counts a bank's lines in one byte, and its length and width in 16 bits.
TEST(JbigCodec, UsJRefusesWhatItsFieldsCannotHold) {
  const Raster tall = NoiseRaster(16, 300, 1);
  const Raster noisy = NoiseRaster(8000, 100, 2);  // one bank's stream is far over 64 KiB
  const Raster wide(65536, 1);
  struct Refusal {
    const char *name;
    const Raster &r;
    uint64_t bank;
  };
  const Refusal cases[] = {
      {"bank of 256 lines", tall, 256},
      {"bank height 0", tall, 0},
      {"stream over 65532 bytes", noisy, 255},
      {"width over 65535 dots", wide, 24},
  };
  for (const auto &c : cases) {
    uint64_t size = 99;
    EXPECT_EQ(Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(c.r.bytes_per_line, c.r.height,
                                                                            c.r.bits.data(), c.bank, &size),
              nullptr)
        << c.name;
    EXPECT_EQ(size, 0u) << c.name;
  }
  // A bank height over 255 is fine while the image itself is shorter.
  uint64_t size = 0;
  Owned<unsigned char> ok(
      Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(2, 100, tall.bits.data(), 1000, &size));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok.get()[7], 100);
}

// The decoder's line buffer holds three rows of 1365 bytes; wider images fail cleanly.
TEST(JbigCodec, DecoderRefusesRowsWiderThanItsLineBuffer) {
  for (uint64_t width : {10920u, 10921u, 10928u, 20000u}) {
    SCOPED_TRACE(width);
    const Raster r = NoiseRaster(width, 3, 4, 10);
    const Bytes bie = Bie(r);
    ASSERT_FALSE(bie.empty());
    const bool fits = (width + 7) / 8 <= 1365;
    Bytes dst(r.bits.size());
    uint64_t produced = 99, w = 0, h = 0;
    EXPECT_EQ(Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(bie.data(), bie.size(), nullptr, &w, &h,
                                                                     dst.data(), dst.size(), &produced),
              fits);
    EXPECT_EQ(Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(bie.data(), bie.size(), &w, &h), fits);
    if (fits) {
      EXPECT_EQ(dst, r.bits);
    } else {
      EXPECT_EQ(produced, 0u);
      EXPECT_EQ(w, 0u);
    }
  }
}

TEST(JbigCodec, DecoderRefusesDamagedStreams) {
  const Raster r = DocumentRaster(120, 40, 2);
  const Bytes bie = Bie(r);
  ASSERT_GT(bie.size(), 30u);
  std::vector<std::pair<std::string, Bytes>> cases;
  for (size_t n : {size_t{0}, size_t{1}, size_t{19}, size_t{20}, bie.size() / 2, bie.size() - 2})
    cases.emplace_back("first " + std::to_string(n) + " bytes", Bytes(bie.begin(), bie.begin() + n));
  Bytes bad_marker = bie;
  bad_marker[bie.size() - 1] = 0x7F;  // not a marker code after the escape byte
  cases.emplace_back("unknown marker", bad_marker);
  Bytes zero_width = bie;
  std::memset(zero_width.data() + 4, 0, 4);
  cases.emplace_back("zero width", zero_width);
  Bytes bad_options = bie;
  bad_options[19] = 0x80;
  cases.emplace_back("undefined option bit", bad_options);
  for (const auto &[name, data] : cases) {
    Bytes dst(r.bits.size());
    uint64_t produced = 0;
    EXPECT_FALSE(Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(data.data(), data.size(), nullptr, nullptr,
                                                                        nullptr, dst.data(), dst.size(), &produced))
        << name;
    unsigned w = 7, h = 7;
    EXPECT_FALSE(CP_Image_DecodeImageSizeFromJBIGData(data.data(), static_cast<unsigned>(data.size()), &w, &h)) << name;
    EXPECT_EQ(w, 0u) << name;
    EXPECT_EQ(h, 0u) << name;
    std::vector<unsigned> pixels(r.width * r.height);
    EXPECT_FALSE(CP_Image_DecodeRGBAImageFromJBIGData(data.data(), static_cast<unsigned>(data.size()), 0, 1,
                                                      pixels.data(), &w, &h))
        << name;
  }
  EXPECT_FALSE(Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(nullptr, 100, nullptr, nullptr, nullptr, nullptr,
                                                                      0, nullptr));
  unsigned w = 0, h = 0;
  EXPECT_FALSE(CP_Image_DecodeRGBAImageFromJBIGData(bie.data(), static_cast<unsigned>(bie.size()), 0, 1, nullptr, &w, &h));
}

TEST(JbigCodec, RgbaDecodeColoursEachDot) {
  Raster r(10, 3);
  r.Set(0, 0);
  r.Set(9, 0);
  r.Set(4, 1);
  r.Set(8, 2);
  const Bytes bie = Bie(r);
  unsigned w = 0, h = 0;
  ASSERT_TRUE(CP_Image_DecodeImageSizeFromJBIGData(bie.data(), static_cast<unsigned>(bie.size()), &w, &h));
  ASSERT_EQ(w, 10u);
  ASSERT_EQ(h, 3u);
  std::vector<unsigned> pixels(w * h + 1, 0xDEADBEEF);  // one guard value past the image
  ASSERT_TRUE(CP_Image_DecodeRGBAImageFromJBIGData(bie.data(), static_cast<unsigned>(bie.size()), 0xFFFFFFFF,
                                                   0xFF000000, pixels.data(), &w, &h));
  const unsigned W = 0xFFFFFFFF, B = 0xFF000000;
  const std::vector<unsigned> expected = {B, W, W, W, W, W, W, W, W, B,  //
                                          W, W, W, W, B, W, W, W, W, W,  //
                                          W, W, W, W, W, W, W, W, B, W,  //
                                          0xDEADBEEF};
  EXPECT_EQ(pixels, expected);
}

// After a piece that did not fit, a later smaller one must not land in its place.
TEST(JbigCodec, SinkKeepsOnlyAWholePrefix) {
  unsigned char dst[6] = {0};
  Quorvantelmise_ImgUtils_JbigSink sink{dst, 5, 0, 0};
  unsigned char abc[] = {'a', 'b', 'c'}, defg[] = {'d', 'e', 'f', 'g'}, h[] = {'h'};
  Quorvantelmise_ImgUtils_output_bie(abc, 3, &sink);
  Quorvantelmise_ImgUtils_output_bie(defg, 4, &sink);
  EXPECT_EQ(Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(nullptr, h, 1, 0, &sink), 0);
  EXPECT_EQ(sink.copied, 3u);
  EXPECT_EQ(sink.produced, 8u);
  EXPECT_EQ(Bytes(dst, dst + 6), (Bytes{'a', 'b', 'c', 0, 0, 0}));
}

// The callbacks are exported: a null sink is ignored, and null data is counted but not
// copied, so the operation reports the loss.
TEST(JbigCodec, CallbacksTakeNullArguments) {
  unsigned char abc[] = {'a', 'b', 'c'};
  Quorvantelmise_ImgUtils_output_bie(abc, 3, nullptr);
  EXPECT_EQ(Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(nullptr, abc, 3, 0, nullptr), 0);
  unsigned char dst[8] = {0};
  Quorvantelmise_ImgUtils_JbigSink sink{dst, sizeof dst, 0, 0};
  Quorvantelmise_ImgUtils_output_bie(nullptr, 2, &sink);
  EXPECT_EQ(Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(nullptr, nullptr, 1, 0, &sink), 0);
  Quorvantelmise_ImgUtils_output_bie(abc, 3, &sink);
  EXPECT_EQ(sink.produced, 6u);
  EXPECT_EQ(sink.copied, 0u);
  Quorvantelmise_ImgUtils_JbigSink empty{dst, sizeof dst, 0, 0};
  Quorvantelmise_ImgUtils_output_bie(nullptr, 0, &empty);
  EXPECT_EQ(empty.produced, 0u);
  EXPECT_EQ(empty.copied, 0u);
}

// Caller pixels go through the mono conversion first; the mono formats keep their stride
// and lose their padding bits.
TEST(JbigCodec, PixelsAreBinarisedThenCoded) {
  Raster mono = NoiseRaster(10, 37, 21);
  Raster strided(10, 37, 4);
  for (size_t i = 0; i < strided.bits.size(); ++i) strided.bits[i] = 0x3F;  // padding set
  for (uint64_t y = 0; y < 37; ++y)
    for (uint64_t x = 0; x < 10; ++x) {
      strided.bits[y * 4 + x / 8] &= static_cast<unsigned char>(~(0x80 >> (x % 8)));
      if (mono.Get(x, y)) strided.Set(x, y);
    }
  const Bytes expected = Bie(mono);
  ASSERT_FALSE(expected.empty());
  const auto mono_format = static_cast<CP_ImagePixelsFormat>(1);
  const auto method = static_cast<CP_ImageBinarizationMethod>(0);
  EXPECT_EQ(Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(strided.bits.data(), 0, 10, 37, 4,
                                                                          mono_format, method),
            expected.size());
  Bytes out(expected.size());
  EXPECT_EQ(CP_Image_GetCompressToJBIGDataBytes(strided.bits.data(), 0, 10, 37, 4, mono_format, method, out.data(),
                                                static_cast<unsigned>(out.size())),
            expected.size());
  EXPECT_EQ(out, expected);
  EXPECT_EQ(CP_Image_GetCompressToJBIGDataBytes(strided.bits.data(), 0, 10, 37, 4, mono_format, method, out.data(),
                                                static_cast<unsigned>(out.size() - 1)),
            0u)
      << "too small a destination";

  // Colour pixels: the same as converting them and coding the raster.
  Bytes rgb(16 * 9 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 37);
  const auto rgb_format = static_cast<CP_ImagePixelsFormat>(4);
  size_t size = 0, bpl = 0;
  Owned<unsigned char> raster(
      Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(rgb.data(), 16, 9, 48, rgb_format, method, &size, &bpl));
  ASSERT_NE(raster, nullptr);
  size_t bie = 0;
  Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(bpl, 16, 9, raster.get(), nullptr, 0, &bie);
  EXPECT_EQ(CP_Image_GetCompressToJBIGDataLength(rgb.data(), 0, 16, 9, 48, rgb_format, method), bie);

  const struct {
    const char *name;
    int width, height, format, method;
  } refused[] = {{"format 0", 16, 9, 0, 0}, {"format 10", 16, 9, 10, 0}, {"method 3", 16, 9, 4, 3},
                 {"negative width", -16, 9, 4, 0}, {"zero height", 16, 0, 4, 0}};
  for (const auto &r : refused)
    EXPECT_EQ(CP_Image_GetCompressToJBIGDataLength(rgb.data(), 0, r.width, r.height, 48,
                                                   static_cast<CP_ImagePixelsFormat>(r.format),
                                                   static_cast<CP_ImageBinarizationMethod>(r.method)),
              0u)
        << r.name;
  EXPECT_EQ(CP_Image_GetCompressToJBIGDataLength(nullptr, 0, 16, 9, 48, rgb_format, method), 0u);
}
