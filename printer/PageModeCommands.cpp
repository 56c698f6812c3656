// Exported page-mode calls: the page area, draw direction and the drawing of rectangles,
// boxes, text, barcodes, QR codes and images, placed from the settings cached in the handle.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "nzcommon/imgprocess/NZRasterCommand.h"
#include "nzcommon/imgprocess/TextEncodingConversion.h"
#include "printer/HandleCall.h"
#include "printer/MonoRaster.h"
#include "printer/PL_Utils.h"
#include "quorvantelmise.h"

using handle_call::PosCommand;

namespace {

PL_Utils_Size PageArea(const PrinterProperty& property) {
    return PL_Utils_Size(property.pageAreaWidth, property.pageAreaHeight);
}

int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Moves the print position to where the item starts; false at the first failed command.
bool MoveTo(VUZudIrazoro& pos, PL_Utils_Position at) {
    return pos.POS_SetHorizontalAbsolutePrintPosition(at.x) &&
           pos.POS_SetVerticalAbsolutePrintPosition(at.y);
}

bool SendAt(VUZudIrazoro& pos, PL_Utils_Position at, const std::vector<unsigned char>& command) {
    return MoveTo(pos, at) && pos.WriteCommand(command.data(), command.size());
}

// A rectangle of the page placed at (x, y): its two corners. Empty for a size below 1,
// which has no corners (x + width - 1 would fall before x).
struct Corners {
    int x0, y0, x1, y1;
};

std::optional<Corners> PlaceRect(const PrinterProperty& property, int x, int y, int width,
                                 int height) {
    if (width < 1 || height < 1) return std::nullopt;
    const PL_Utils_Position at = Utils_Page_ComputeRectPosition(
        PageArea(property), property.pageDrawDirection, x, y, width, height);
    return Corners{at.x, at.y, ToInt(static_cast<int64_t>(at.x) + width - 1),
                   ToInt(static_cast<int64_t>(at.y) + height - 1)};
}

// Where a text starts, on its baseline, by the cached cell sizes and text scale.
template <typename Char>
PL_Utils_Position PlaceText(const PrinterProperty& property, int x, int y, const Char* text) {
    constexpr auto place = [] {
        if constexpr (sizeof(Char) == 1) {
            return &Utils_Page_ComputeStringPositionA;
        } else {
            return &Utils_Page_ComputeStringPositionW;
        }
    }();
    return place(PageArea(property), property.pageDrawDirection, property.textBaselineOffset, x,
                 y, text, property.singleByteCellWidth, property.singleByteCellHeight,
                 property.multiByteCellWidth, property.multiByteCellHeight,
                 property.textWidthScale, property.textHeightScale);
}

// Converted wide text for the printer, freed with free.
using Converted = std::unique_ptr<char, decltype(&std::free)>;

int DrawWideText(void* handle, int x, int y, const wchar_t* str, const char* encoding) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (str == nullptr) return false;
        // Converted first: text the encoding cannot hold moves nothing.
        const Converted converted(iconv_wcstombs(str, encoding), &std::free);
        if (converted == nullptr) return false;
        return MoveTo(pos, PlaceText(property, x, y, str)) &&
               pos.POS_PrintString(converted.get());
    });
}

// The GS 8 L command carries the width in dots and the rows, rounded up to 8, in 16 bits.
constexpr MonoRasterLimits kPageImageLimits{0xFFFF / 8 * 8, 0xFFFF / 8 * 8};

// convert(&raster) makes the image at its print size; it goes out as one GS 8 L
// store-and-print command. The image is sent even when a position command failed (it then
// prints elsewhere), and the call reports that failure.
template <typename Convert>
int DrawImage(void* handle, int x, int y, Convert&& convert) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        MonoRaster raster;
        if (!convert(&raster)) return false;
        const nzimg::ByteBuffer image = nzimg::Gs8StoreAndPrint(raster.rows());
        if (image.bytes == nullptr) return false;
        const PL_Utils_Position at = Utils_Page_ComputeImagePosition(
            PageArea(property), property.pageDrawDirection, x, y,
            static_cast<int>(raster.width), static_cast<int>(raster.height));
        const bool horizontal = pos.POS_SetHorizontalAbsolutePrintPosition(at.x);
        const bool vertical = pos.POS_SetVerticalAbsolutePrintPosition(at.y);
        const bool sent = pos.WriteCommand(image.bytes.get(), image.size);
        return horizontal && vertical && sent;
    });
}

}  // namespace

int CP_Page_SelectPageMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_SelectPageMode(); });
}

int CP_Page_ExitPageMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_ExitPageMode(); });
}

int CP_Page_PrintPage(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_PrintPage(); });
}

int CP_Page_ClearPage(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_ClearPage(); });
}

int CP_Page_SetPageArea(void* handle, int x, int y, int width, int height) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetPageArea(x, y, width, height)) return false;
        property.pageAreaX = x;
        property.pageAreaY = y;
        property.pageAreaWidth = width;
        property.pageAreaHeight = height;
        return true;
    });
}

int CP_Page_SetPageDrawDirection(void* handle, CP_Page_DrawDirection nDirection) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetPageDrawDirection(nDirection)) return false;
        property.pageDrawDirection = nDirection;
        return true;
    });
}

int CP_Page_SelectPageModeEx(void* handle, int nHorizontalMovementUnit,
                             int nVerticalMovementUnit, int x, int y, int width, int height) {
    // Each step is a whole call of its own, so the cache follows every step that succeeded.
    return CP_Pos_SetMovementUnit(handle, nHorizontalMovementUnit, nVerticalMovementUnit) &&
                   CP_Page_SelectPageMode(handle) &&
                   CP_Page_SetPageArea(handle, x, y, width, height) &&
                   CP_Page_SetPageDrawDirection(handle, CP_Page_DrawDirection_LeftToRight) &&
                   CP_Pos_SetTextLineHeight(handle, 32) &&
                   CP_Pos_SetAsciiTextCharRightSpacing(handle, 0) &&
                   CP_Pos_SetKanjiTextCharSpacing(handle, 0, 0) &&
                   CP_Pos_SetTextScale(handle, 0, 0) && CP_Pos_SetBarcodeUnitWidth(handle, 2) &&
                   CP_Pos_SetBarcodeHeight(handle, 60) &&
                   CP_Pos_SetBarcodeReadableTextPosition(
                       handle, CP_Pos_BarcodeTextPrintPosition_BelowBarcode) &&
                   CP_Pos_SetBarcodeReadableTextFontType(handle, 0)
               ? 1
               : 0;
}

int CP_Page_DrawRect(void* handle, int x, int y, int width, int height, int color) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        const std::optional<Corners> c = PlaceRect(property, x, y, width, height);
        return c && pos.POS_DrawRect(c->x0, c->y0, c->x1, c->y1, color);
    });
}

int CP_Page_DrawBox(void* handle, int x, int y, int width, int height, int borderwidth,
                    int bordercolor) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        const std::optional<Corners> c = PlaceRect(property, x, y, width, height);
        return c && pos.POS_DrawBox(c->x0, c->y0, c->x1, c->y1, borderwidth, bordercolor);
    });
}

int CP_Page_DrawText(void* handle, int x, int y, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (str == nullptr) return false;
        return MoveTo(pos, PlaceText(property, x, y, str)) && pos.POS_PrintString(str);
    });
}

int CP_Page_DrawTextInUTF8(void* handle, int x, int y, const wchar_t* str) {
    return DrawWideText(handle, x, y, str, "UTF-8");
}

int CP_Page_DrawTextInGBK(void* handle, int x, int y, const wchar_t* str) {
    return DrawWideText(handle, x, y, str, "GBK");
}

int CP_Page_DrawTextInBIG5(void* handle, int x, int y, const wchar_t* str) {
    return DrawWideText(handle, x, y, str, "BIG5");
}

int CP_Page_DrawTextInShiftJIS(void* handle, int x, int y, const wchar_t* str) {
    return DrawWideText(handle, x, y, str, "SHIFT-JIS");
}

int CP_Page_DrawTextInEUCKR(void* handle, int x, int y, const wchar_t* str) {
    return DrawWideText(handle, x, y, str, "EUC-KR");
}

int CP_Page_DrawBarcode(void* handle, int x, int y, CP_Pos_BarcodeType nBarcodeType,
                        const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        // Built first: a text the command cannot carry moves nothing.
        const auto command = VUZudIrazoro::BarcodeCommand(
            static_cast<unsigned char>(nBarcodeType), reinterpret_cast<const unsigned char*>(str),
            str != nullptr ? std::strlen(str) : 0);
        if (!command) return false;
        const int text_height = property.barcodeReadableTextFont != 0 ? 18 : 24;
        const PL_Utils_Position at = Utils_Page_ComputeBarcodePositionA(
            PageArea(property), property.pageDrawDirection, x, y, str, nBarcodeType,
            property.barcodeUnitWidth, property.barcodeHeight, text_height,
            property.barcodeReadableTextPosition);
        return SendAt(pos, at, *command);
    });
}

int CP_Page_DrawQRCode(void* handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                       const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        const auto command = VUZudIrazoro::QRCodeCommand(nVersion, nECCLevel, str);
        if (!command) return false;
        // The barcode unit width is the QR module size.
        const PL_Utils_Position at = Utils_Page_ComputeQRCodePositionA(
            PageArea(property), property.pageDrawDirection, x, y, str, nVersion, nECCLevel,
            property.barcodeUnitWidth);
        return SendAt(pos, at, *command);
    });
}

int CP_Page_DrawRasterImageFromFile(void* handle, int x, int y, int dstw, int dsth,
                                    const char* pszFile,
                                    CP_ImageBinarizationMethod binarization_method) {
    return DrawImage(handle, x, y, [&](MonoRaster* raster) {
        return MonoRasterFromFile(pszFile, dstw, dsth, binarization_method, kPageImageLimits,
                                  raster);
    });
}

int CP_Page_DrawRasterImageFromData(void* handle, int x, int y, int dstw, int dsth,
                                    const unsigned char* data, unsigned int data_size,
                                    CP_ImageBinarizationMethod binarization_method) {
    return DrawImage(handle, x, y, [&](MonoRaster* raster) {
        return MonoRasterFromData(data, data_size, dstw, dsth, binarization_method,
                                  kPageImageLimits, raster);
    });
}

int CP_Page_DrawRasterImageFromPixels(void* handle, int x, int y, const unsigned char* img_data,
                                      unsigned int img_datalen, int img_width, int img_height,
                                      int img_stride, CP_ImagePixelsFormat img_format,
                                      CP_ImageBinarizationMethod binarization_method) {
    return DrawImage(handle, x, y, [&](MonoRaster* raster) {
        return MonoRasterFromPixels(img_data, img_datalen, img_width, img_height, img_stride,
                                    img_format, binarization_method, kPageImageLimits, raster);
    });
}
