// Standard base64 (RFC 4648 alphabet, "=" padding). Exported as base64_encode and
// base64_decode through include/quorvantelmise.h; these are the 64-bit forms.
#pragma once

#include <cstddef>

namespace qv::base64 {

// Text length of n bytes, without the NUL.
constexpr size_t EncodedLength(size_t n) { return (n + 2) / 3 * 4; }

// Writes the text and a NUL; returns the text length.
size_t Encode(const unsigned char *src, size_t length, char *dst);

// Decodes up to the first "=" or the end. Returns false (nothing written) when length is
// not a multiple of 4 or a character before the "=" is outside the alphabet.
bool Decode(const char *src, size_t length, unsigned char *dst, size_t &decoded);

}  // namespace qv::base64
