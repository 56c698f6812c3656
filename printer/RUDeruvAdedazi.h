#pragma once

#include <cstddef>
#include <cwchar>

#include "printer/NZPrinter.h"
#include "quorvantelmise.h"

namespace nzimg {
struct MonoRaster;
}
using MonoRaster = nzimg::MonoRaster;

// The label printer's command object. A label page is built from commands that start with
// 1A; coordinates and sizes go out as their low 16 bits, least significant byte first, the
// other single-byte fields as their low byte.
//
// Texts travel NUL-terminated: the printer ends a text at its first 00 and reads what
// follows as commands, so byte texts that hold a 00, like null texts, are refused with
// nothing sent.
class RUDeruvAdedazi : public NZPrinter {
public:
    // 1F 28 4C 04 00 53 tear print check: the low bytes of the two adjustments in dots
    // (defined with the status queries).
    bool SetLabelPositionAdjustment(int print_dots, int tear_dots);

    bool EnableLabelMode();
    bool DisableLabelMode();
    bool CalibrateLabel();
    bool FeedLabel();
    bool BackPaperToPrintPosition();
    bool FeedPaperToTearPosition();
    bool PageBegin(int x, int y, int width, int height, int rotation);
    bool PagePrint(int copies);

    bool DrawString(int x, int y, int font, int style, const char* str);
    bool DrawString(int x, int y, int font, int style, const char* data, size_t length);
    // Converts to the named encoding first; nothing is sent when it cannot convert.
    bool DrawWideString(int x, int y, int font, int style, const wchar_t* str,
                        const char* encoding);
    bool DrawWideStringInUTF8(int x, int y, int font, int style, const wchar_t* str);
    bool DrawWideStringInGBK(int x, int y, int font, int style, const wchar_t* str);
    bool DrawWideStringInBIG5(int x, int y, int font, int style, const wchar_t* str);
    bool DrawWideStringInShiftJIS(int x, int y, int font, int style, const wchar_t* str);
    bool DrawWideStringInEUCKR(int x, int y, int font, int style, const wchar_t* str);

    bool DrawBarcode(int x, int y, int type, int height, int unit_width, int rotation,
                     const char* str);
    bool DrawQRCode(int x, int y, int version, int ecc, int unit_width, int rotation,
                    const char* str);
    bool DrawQRCode(int x, int y, int version, int ecc, int unit_width, int rotation,
                    const char* data, size_t length);
    bool DrawWQRCode(int x, int y, int version, int ecc, int unit_width, int rotation,
                     const wchar_t* str, const char* encoding);
    bool DrawWQRCodeInUTF8(int x, int y, int version, int ecc, int unit_width, int rotation,
                           const wchar_t* str);
    bool DrawPDF417(int x, int y, int column, int aspect_ratio, int ecc, int unit_width,
                    int rotation, const char* str);

    bool DrawLine(int start_x, int start_y, int end_x, int end_y, int line_width, int color);
    // Filled; sent by its corners (x, y) and (x + width, y + height).
    bool DrawRectangel(int x, int y, int width, int height, int color);
    bool DrawBox(int x, int y, int width, int height, int border_width, int color);

    // Images: plain (compression 0) or JBIG (2); anything else is refused with nothing sent.
    // The command's width field is the raster's full row width, bytes per line x 8 dots.
    bool DrawRasterImageFromFileA(int x, int y, int dstw, int dsth, const char* path,
                                  CP_ImageBinarizationMethod method, int compression);
    bool DrawRasterImageFromData(int x, int y, int dstw, int dsth, const unsigned char* data,
                                 size_t size, CP_ImageBinarizationMethod method,
                                 int compression);
    bool DrawRasterImageFromPixels(int x, int y, const unsigned char* pixels,
                                   size_t pixels_length, int width, int height, int stride,
                                   CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method,
                                   int compression);
    bool DrawRasterImageSpecifyCompressMethod(int x, int y, const MonoRaster& raster,
                                              int compression);
    bool DrawRasterImageWithStyle(int x, int y, const MonoRaster& raster, int style);
    bool DrawRasterImageWithJBIG5Compress(int x, int y, const MonoRaster& raster);

private:
    // header, then length text bytes, then the terminating 00, in one write.
    bool WriteTextCommand(const unsigned char* header, size_t header_length, const char* text,
                          size_t length);
};
