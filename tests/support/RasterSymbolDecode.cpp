#include "support/RasterSymbolDecode.h"

#include <ZXing/ReadBarcode.h>

#include <cstdint>
#include <vector>

namespace qvtest {

std::optional<std::string> DecodeRasterSymbol(const unsigned char* raster,
                                              size_t bytes_per_line, size_t width,
                                              size_t height, SymbolKind kind, size_t quiet) {
    const size_t padded_width = width + 2 * quiet, padded_height = height + 2 * quiet;
    std::vector<uint8_t> lum(padded_width * padded_height, 255);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            if (raster[y * bytes_per_line + x / 8] & (0x80 >> (x % 8)))
                lum[(y + quiet) * padded_width + x + quiet] = 0;
    ZXing::DecodeHints hints;
    hints.setFormats(kind == SymbolKind::QRCode ? ZXing::BarcodeFormat::QRCode
                                                : ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(
        {lum.data(), static_cast<int>(padded_width), static_cast<int>(padded_height),
         ZXing::ImageFormat::Lum},
        hints);
    if (!result.isValid()) return std::nullopt;
    return std::string(result.bytes().begin(), result.bytes().end());
}

}  // namespace qvtest
