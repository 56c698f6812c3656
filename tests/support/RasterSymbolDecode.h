#pragma once
// Decodes a symbol (QR code or one-dimensional barcode) back from a one-bit printer raster
// with ZXing-C++, for tests that check what a printer would print.
#include <cstddef>
#include <optional>
#include <string>

namespace qvtest {

enum class SymbolKind { QRCode, LinearCode };

// raster: 1 bit per dot, 1 = black, most significant bit leftmost, rows bytes_per_line
// apart. The image is padded with a white quiet zone of `quiet` dots first. The symbol's
// raw bytes, or nullopt when nothing decodes.
std::optional<std::string> DecodeRasterSymbol(const unsigned char* raster,
                                              size_t bytes_per_line, size_t width,
                                              size_t height, SymbolKind kind,
                                              size_t quiet = 32);

}  // namespace qvtest
