// Caller pixels of every format with fuzzed sizes and strides.
//
// The print calls get full-range width, height and stride with the true data length, so
// they must refuse every size the data cannot hold. The imaging calls take no length: they
// get sizes whose rows lie inside the data, as a caller that keeps their contract gives them,
// and strides below a row, which they refuse.
//
// Data: width, height and stride (four bytes each, little-endian), the format code (one byte,
// 0 to 10), the binarisation method, the compression method, then the pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "quorvantelmise.h"

namespace {

constexpr size_t kHeader = 15;

uint32_t Le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

size_t RowBytes(int format, size_t width) {
    switch (format) {
    case 1:
    case 2: return (width + 7) / 8;
    case 3: return width;
    case 4:
    case 5: return width * 3;
    default: return width * 4;
    }
}

void Free(unsigned char *p) { std::free(p); }

// The imaging calls on rows that lie inside the data.
void ImagingCalls(const uint8_t *px, size_t length, size_t width, size_t height, size_t stride,
                  CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method) {
    const int code = static_cast<int>(format);
    const size_t row = RowBytes(code, width);
    // Mono rasters keep whole strides, the last row's included.
    const size_t extent = code <= 2 ? height * stride : (height - 1) * stride + row;
    if (width == 0 || height == 0 || row == 0 || extent > length) return;
    size_t size = 0, bpl = 0;
    unsigned char *mono =
        Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px, width, height, stride, format, method, &size, &bpl);
    if (mono != nullptr) {
        volatile unsigned char last = mono[size - 1];  // the size reported is what was allocated
        (void)last;
        // The raster's own layout conversions, on rows that are certainly whole.
        Free(Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(bpl, width, height, mono));
        Free(Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(bpl, width, height, mono, bpl + 1, 1));
    }
    Free(mono);
    Free(Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px, width, height, stride, format));
    if (code == 3) Free(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(px, width, height, stride,
                                                                                               &size, &bpl));
    if (code == 4) Free(Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(px, width, height, stride));
    const size_t jbig = Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(px, length, width, height, stride,
                                                                                       format, method);
    if (jbig > 0) {
        unsigned char *bie = static_cast<unsigned char *>(std::malloc(jbig));
        if (bie != nullptr &&
            Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataBytes(px, length, width, height, stride, format,
                                                                         method, bie, jbig) != jbig)
            std::abort();
        std::free(bie);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static void *const port = CP_Port_OpenMemoryBuffer(16u << 20);
    if (size <= kHeader || port == nullptr) return 0;
    const int width = static_cast<int>(Le32(data)), height = static_cast<int>(Le32(data + 4));
    const int stride = static_cast<int>(Le32(data + 8));
    const auto format = static_cast<CP_ImagePixelsFormat>(data[12] % 11);
    const auto method = static_cast<CP_ImageBinarizationMethod>(data[13] % 4);
    const auto compression = static_cast<CP_ImageCompressionMethod>(data[14] % 4);
    const uint8_t *px = data + kHeader;
    const size_t length = size - kHeader;
    const unsigned n = static_cast<unsigned>(length);

    CP_Pos_PrintRasterImageFromPixels(port, px, n, width, height, stride, format, method, compression);
    CP_Page_DrawRasterImageFromPixels(port, 0, 0, px, n, width, height, stride, format, method);
    CP_Label_DrawImageFromPixels(port, 0, 0, px, n, width, height, stride, format, method, compression);
    CP_Port_ClearMemoryBufferData(port);

    // Sizes from the same bytes, held to rows inside the data: small widths and heights,
    // strides from 0 up to a little past a row.
    const size_t w = Le32(data) % 257, h = Le32(data + 4) % 65, s = Le32(data + 8) % (RowBytes(data[12] % 11, w) + 9);
    ImagingCalls(px, length, w, h, s, format, method);
    return 0;
}
