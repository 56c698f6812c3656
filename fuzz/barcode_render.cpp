// Barcode texts of any bytes, any type and unit, through every renderer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quorvantelmise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const int type = data[0] % 32 - 1;
    const int unit = data[1] % 5;
    const int maxLength = data[2] * 8;
    const std::string text(reinterpret_cast<const char *>(data + 3), size - 3);
    const char *str = text.c_str();

    const int width = CP_Barcode_GetBarcodeWidth(type, unit, str);
    if (width < 0 || width > 2060) std::abort();
    const int height = 3;
    std::vector<uint32_t> pixels(static_cast<size_t>(width > 0 ? width : 1) * height);
    int w = 0, h = 0;
    const int filled = CP_Barcode_GetBarcodeRGBAData(type, unit, height, 1, 2, str, pixels.data(),
                                                     static_cast<int32_t>(pixels.size() * 4), &w, &h);
    if (filled != (width > 0) || (filled && (w != width || h != height))) std::abort();
    std::free(Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(type, unit, 0, height, str, &w, &h));

    std::vector<unsigned char> modules(static_cast<size_t>(maxLength) + 1);
    const int n = code128_encode_raw(str, modules.data(), maxLength);
    if (n < 0 || n > maxLength) std::abort();
    unsigned char ean[97];
    EAN13_build(str, ean);
    return 0;
}
