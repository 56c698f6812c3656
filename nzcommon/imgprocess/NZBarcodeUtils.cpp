#include "nzcommon/imgprocess/NZBarcodeUtils.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "nzcommon/imgprocess/BarcodeTypeTable.h"
#include "quorvantelmise.h"

namespace nzbarcode {

bool EncodeBarcodeRow(int type, int unit, const char *text, BarcodeRow &row) {
    if (!text || type < 0 || type >= kBarcodeTypeCount || unit < 1 || unit > 255) return false;
    const Validator validate = BarFunctbl[type];
    const Renderer render = PrnBarFunctbl[type];
    if (!validate || !render) return false;
    const size_t len = strnlen(text, kMaxTextLength + 1);
    if (len < 1 || len > kMaxTextLength) return false;
    uint8_t buffer[kTextBufferSize] = {};
    uint8_t values[kValueListSize] = {};
    std::memcpy(buffer, text, len);
    if (validate(buffer, values, static_cast<int>(len)) != 0) return false;
    std::memset(row.bits, 0, sizeof row.bits);
    row.width = render(0, values, row.bits, static_cast<uint8_t>(unit));
    return row.width > 0;
}

namespace {

constexpr int kItf14Quiet = 30;
constexpr int kItf14Bearer = 10;

struct Image {
    BarcodeRow row;
    int width = 0;
    int height = 0;
    bool itf14 = false;
};

bool Layout(int type, int unit, int height, const char *text, Image &image) {
    if (height <= 0 || !EncodeBarcodeRow(type, unit, text, image.row)) return false;
    image.itf14 = type == kTypeItf14;
    image.width = image.row.width + (image.itf14 ? 2 * kItf14Quiet : 0);
    image.height = height;
    return true;
}

// Every row is a copy of one of two prebuilt rows (ITF-14 adds solid bearer rows).
template <class Pixel>
void Draw(const Image &image, Pixel *dst, Pixel space, Pixel bar) {
    const int w = image.width;
    std::vector<Pixel> code(static_cast<size_t>(w), space);
    const int offset = image.itf14 ? kItf14Quiet : 0;
    for (int x = 0; x < image.row.width; ++x)
        if (BitAt(image.row.bits, x)) code[static_cast<size_t>(offset + x)] = bar;
    std::vector<Pixel> solid;
    if (image.itf14) {
        // Bearer bars: a frame 10 dots thick around the quiet zones.
        for (int x = 0; x < kItf14Bearer; ++x) code[static_cast<size_t>(x)] = code[static_cast<size_t>(w - 1 - x)] = bar;
        solid.assign(static_cast<size_t>(w), bar);
    }
    for (int y = 0; y < image.height; ++y) {
        const bool bearerRow = image.itf14 && (y < kItf14Bearer || y >= image.height - kItf14Bearer);
        std::memcpy(dst + static_cast<size_t>(y) * static_cast<size_t>(w), bearerRow ? solid.data() : code.data(),
                    static_cast<size_t>(w) * sizeof(Pixel));
    }
}

struct Rgb {
    uint8_t c[3];
};
static_assert(sizeof(Rgb) == 3);

void Report(const Image &image, int *width, int *height) {
    if (width) *width = image.width;
    if (height) *height = image.height;
}

template <class Pixel>
Pixel *Allocate(const Image &image) {
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (count > SIZE_MAX / sizeof(Pixel)) return nullptr;
    return static_cast<Pixel *>(std::malloc(count * sizeof(Pixel)));
}

}  // namespace
}  // namespace nzbarcode

using namespace nzbarcode;

int Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(int nBarcodeType, int nUnitWidth, int /*nIgnored*/,
                                                      const char *str) {
    BarcodeRow row;
    if (!EncodeBarcodeRow(nBarcodeType, nUnitWidth, str, row)) return 0;
    return row.width + (nBarcodeType == kTypeItf14 ? 2 * kItf14Quiet : 0);
}

int Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight,
                                                      uint32_t spaceColor, uint32_t barColor, const char *str,
                                                      uint32_t *pDst, int32_t nDstSize, int *pWidth, int *pHeight) {
    Image image;
    if (!pDst || !Layout(nBarcodeType, nUnitWidth, nHeight, str, image)) return 0;
    if (static_cast<int64_t>(nDstSize) < static_cast<int64_t>(image.width) * image.height * 4) return 0;
    Draw<uint32_t>(image, pDst, spaceColor, barColor);
    Report(image, pWidth, pHeight);
    return 1;
}

unsigned char *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(int nBarcodeType, int nUnitWidth, int /*nIgnored*/,
                                                               int nHeight, const char *str, int *pWidth,
                                                               int *pHeight) {
    Image image;
    if (!Layout(nBarcodeType, nUnitWidth, nHeight, str, image)) return nullptr;
    Rgb *pixels = Allocate<Rgb>(image);
    if (!pixels) return nullptr;
    Draw<Rgb>(image, pixels, Rgb{{255, 255, 255}}, Rgb{{0, 0, 0}});
    Report(image, pWidth, pHeight);
    return reinterpret_cast<unsigned char *>(pixels);
}

uint32_t *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int /*nIgnored*/,
                                                           int nHeight, const char *str, uint32_t barColor,
                                                           int *pWidth, int *pHeight) {
    Image image;
    if (!Layout(nBarcodeType, nUnitWidth, nHeight, str, image)) return nullptr;
    uint32_t *pixels = Allocate<uint32_t>(image);
    if (!pixels) return nullptr;
    Draw<uint32_t>(image, pixels, 0, barColor);
    Report(image, pWidth, pHeight);
    return pixels;
}

int CP_Barcode_GetBarcodeWidth(int nBarcodeType, int nUnitWidth, const char *str) {
    return Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(nBarcodeType, nUnitWidth, nUnitWidth, str);
}

int CP_Barcode_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight, uint32_t spaceColor,
                                  uint32_t barColor, const char *str, uint32_t *pDst, int32_t nDstSize, int *pWidth,
                                  int *pHeight) {
    return Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(nBarcodeType, nUnitWidth, nHeight, spaceColor, barColor,
                                                             str, pDst, nDstSize, pWidth, pHeight);
}
