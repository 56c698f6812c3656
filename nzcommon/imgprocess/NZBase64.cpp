#include "nzcommon/imgprocess/NZBase64.h"

#include <array>
#include <cstring>

#include "quorvantelmise.h"

namespace qv::base64 {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kInvalid = 0xFF;

constexpr std::array<unsigned char, 256> MakeDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto &v : table) v = kInvalid;
  for (unsigned i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}
constexpr auto kDecode = MakeDecodeTable();

}  // namespace

size_t Encode(const unsigned char *src, size_t length, char *dst) {
  char *p = dst;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t v = uint32_t{src[i]} << 16 | uint32_t{src[i + 1]} << 8 | src[i + 2];
    p[0] = kAlphabet[v >> 18];
    p[1] = kAlphabet[v >> 12 & 63];
    p[2] = kAlphabet[v >> 6 & 63];
    p[3] = kAlphabet[v & 63];
    p += 4;
  }
  if (const size_t rest = length - i) {
    const uint32_t v = uint32_t{src[i]} << 16 | (rest == 2 ? uint32_t{src[i + 1]} << 8 : 0);
    p[0] = kAlphabet[v >> 18];
    p[1] = kAlphabet[v >> 12 & 63];
    p[2] = rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
    p[3] = '=';
    p += 4;
  }
  *p = '\0';
  return static_cast<size_t>(p - dst);
}

bool Decode(const char *src, size_t length, unsigned char *dst, size_t &decoded) {
  decoded = 0;
  if (length % 4 != 0) return false;
  const void *pad = length ? std::memchr(src, '=', length) : nullptr;
  const size_t end = pad ? static_cast<size_t>(static_cast<const char *>(pad) - src) : length;
  for (size_t i = 0; i < end; ++i)
    if (kDecode[static_cast<unsigned char>(src[i])] == kInvalid) return false;
  size_t n = 0;
  uint32_t bits = 0;
  int held = 0;
  for (size_t i = 0; i < end; ++i) {
    bits = (bits << 6 | kDecode[static_cast<unsigned char>(src[i])]) & 0xFFFFFF;
    held += 6;
    if (held >= 8) {
      held -= 8;
      dst[n++] = static_cast<unsigned char>(bits >> held);
    }
  }
  decoded = n;
  return true;
}

}  // namespace qv::base64

unsigned int base64_encode(const unsigned char *src, unsigned int length, char *dst) {
  if (!dst || (!src && length) || qv::base64::EncodedLength(length) > 0xFFFFFFFFu) return 0;
  return static_cast<unsigned int>(qv::base64::Encode(src, length, dst));
}

unsigned int base64_decode(const char *src, unsigned int length, unsigned char *dst) {
  size_t n = 0;
  if (!dst || (!src && length) || !qv::base64::Decode(src, length, dst, n)) return 0;
  return static_cast<unsigned int>(n);
}
