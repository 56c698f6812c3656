// Decodes arbitrary bytes as base64 text into a buffer of exactly the documented size, and
// round-trips both the input and what it decoded to.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvantelmise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 1 << 20) return 0;
  const auto length = static_cast<unsigned>(size);
  const char *text = reinterpret_cast<const char *>(data);

  std::vector<unsigned char> decoded(length / 4 * 3);
  const unsigned n = base64_decode(text, length, decoded.data());
  if (n > decoded.size()) std::abort();

  std::vector<char> encoded((size + 2) / 3 * 4 + 1);
  const unsigned m = base64_encode(data, length, encoded.data());
  if (m != encoded.size() - 1 || encoded[m] != '\0') std::abort();
  std::vector<unsigned char> back(m / 4 * 3);
  const unsigned k = base64_decode(encoded.data(), m, back.data());
  if (k != size || (k && std::memcmp(back.data(), data, size) != 0)) std::abort();

  // Decoded bytes encode to text that decodes back to them.
  std::vector<char> re((n + 2) / 3 * 4 + 1);
  const unsigned r = base64_encode(decoded.data(), n, re.data());
  std::vector<unsigned char> round(r / 4 * 3);
  if (base64_decode(re.data(), r, round.data()) != n || (n && std::memcmp(round.data(), decoded.data(), n) != 0))
    std::abort();
  return 0;
}
