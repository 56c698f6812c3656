#include <gtest/gtest.h>

#include <random>
#include <string>

#include "quorvantelmise.h"
#include "tests/nzcommon/RasterTestSupport.h"

using namespace rastertest;

namespace {

std::string Encode(const Bytes &b) {
  std::string text((b.size() + 2) / 3 * 4 + 1, '?');
  const unsigned n = base64_encode(b.data(), static_cast<unsigned>(b.size()), text.data());
  EXPECT_EQ(text[n], '\0');
  text.resize(n);
  return text;
}

Bytes Decode(const std::string &text, unsigned &count) {
  Bytes out(text.size() / 4 * 3 + 1, 0xEE);  // one guard byte
  count = base64_decode(text.data(), static_cast<unsigned>(text.size()), out.data());
  EXPECT_EQ(out.back(), 0xEE) << "wrote past length / 4 * 3";
  return Bytes(out.begin(), out.begin() + count);
}

Bytes B(const std::string &s) { return Bytes(s.begin(), s.end()); }

}  // namespace

TEST(Base64, EncodesStandardVectors) {
  const std::pair<Bytes, std::string> cases[] = {
      {B(""), ""},         {B("f"), "Zg=="},         {B("fo"), "Zm8="},       {B("foo"), "Zm9v"},
      {B("foob"), "Zm9vYg=="}, {B("fooba"), "Zm9vYmE="}, {B("foobar"), "Zm9vYmFy"}, {B("abc"), "YWJj"},
      {{0xFF}, "/w=="},    {{0xFB, 0xEF, 0xFF}, "++//"},
  };
  for (const auto &[bytes, text] : cases) {
    EXPECT_EQ(Encode(bytes), text) << Hex(bytes);
    unsigned n = 0;
    EXPECT_EQ(Decode(text, n), bytes) << text;
  }
}

TEST(Base64, DecodeRefusesMalformedText) {
  struct Case {
    const char *name;
    std::string text;
    Bytes expected;
  };
  const Case cases[] = {
      {"length 5", "YWJjZ", {}},
      {"length 3", "YWJ", {}},
      {"character outside the alphabet", "YW*j", {}},
      {"space", "YW j", {}},
      {"NUL inside", std::string("YW\0j", 4), {}},
      {"stops at the first =", "YQ==YWJj", B("a")},
      {"= in the middle of a quartet", "YW=j", B("a")},
      {"only padding", "====", {}},
      {"trailing partial byte dropped", "YWI=", B("ab")},
  };
  for (const auto &c : cases) {
    Bytes out(16, 0xEE);
    const unsigned n = base64_decode(c.text.data(), static_cast<unsigned>(c.text.size()), out.data());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.expected) << c.name;
    if (c.expected.empty()) {
      EXPECT_EQ(out, Bytes(16, 0xEE)) << c.name << ": wrote although refused";
    }
  }
  unsigned char dst[8];
  char text[8];
  EXPECT_EQ(base64_decode(nullptr, 4, dst), 0u);
  EXPECT_EQ(base64_decode("YWJj", 4, nullptr), 0u);
  EXPECT_EQ(base64_encode(nullptr, 3, text), 0u);
  EXPECT_EQ(base64_encode(dst, 3, nullptr), 0u);
}

TEST(Base64, MatchesCoreutils) {
  if (!HaveTool("base64")) GTEST_SKIP() << "coreutils base64 missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  std::mt19937 rng(5);
  for (size_t length : {1, 2, 3, 4, 5, 57, 58, 59, 1000, 4099}) {
    Bytes data(length);
    for (auto &b : data) b = static_cast<unsigned char>(rng());
    WriteFile(dir.File("data"), data);
    ASSERT_EQ(RunTool("base64 -w0 " + dir.File("data") + " > " + dir.File("data.b64")), 0);
    const Bytes expected = ReadFile(dir.File("data.b64"));
    const std::string text = Encode(data);
    EXPECT_EQ(text, std::string(expected.begin(), expected.end())) << "length " << length;
    unsigned n = 0;
    EXPECT_EQ(Decode(text, n), data) << "length " << length;
  }
}
