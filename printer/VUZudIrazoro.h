#pragma once

#include <cstddef>
#include <cwchar>
#include <optional>
#include <vector>

#include "printer/NZPrinter.h"
#include "quorvantelmise.h"

namespace nzimg {
struct MonoRaster;
}
using MonoRaster = nzimg::MonoRaster;

// The receipt printer's command object: text, format, page-mode and black-mark commands.
class VUZudIrazoro : public NZPrinter {
public:
    // Text. Null text or a negative length is refused with nothing sent.
    bool POS_PrintString(const char* str);
    bool POS_PrintBytes(const char* data, int length);
    // Converts to the named encoding and prints it; nothing is sent when it cannot convert.
    bool POS_PrintWideString(const wchar_t* str, const char* encoding);
    bool POS_PrintWideStringInUTF8(const wchar_t* str);
    bool POS_PrintWideStringInGBK(const wchar_t* str);
    bool POS_PrintWideStringInBIG5(const wchar_t* str);
    bool POS_PrintWideStringInShiftJIS(const wchar_t* str);
    bool POS_PrintWideStringInEUCKR(const wchar_t* str);

    bool POS_FeedLines(int lines);
    bool POS_FeedDots(int dots);

    bool POS_SetMovementUnit(int horizontal, int vertical);
    bool POS_SetPrintAreaLeftMargin(int margin);
    bool POS_SetPrintAreaWidth(int width);
    bool POS_SetAlignment(int alignment);
    bool POS_SetTextScale(int width_scale, int height_scale);
    bool POS_SetAsciiTextFontType(int font_type);
    bool POS_SetTextBold(int bold);
    bool POS_SetAsciiTextUnderline(int underline);
    bool POS_SetKanjiTextUnderline(int underline);
    bool POS_SetTextUpsideDown(int upside_down);
    bool POS_SetTextWhiteOnBlack(int white_on_black);
    bool POS_SetTextRotate(int rotate);
    bool POS_SetTextLineHeight(int line_height);
    bool POS_SetAsciiTextCharRightSpacing(int spacing);
    bool POS_SetKanjiTextCharSpacing(int left_spacing, int right_spacing);

    bool POS_SetBarcodeUnitWidth(int unit_width);
    bool POS_SetBarcodeHeight(int height);
    bool POS_SetBarcodeReadableTextFontType(int font_type);
    bool POS_SetBarcodeReadableTextPosition(int position);

    // Symbols. A null text, or one whose length the command's count field cannot hold, is
    // refused with nothing sent.
    bool POS_PrintBarcode(unsigned char type, const char* str);
    bool POS_PrintBarcode(unsigned char type, const unsigned char* data, unsigned long length);
    bool POS_PrintQRCode(int version, int ecc_level, const char* str);
    bool POS_EPSON_PrintQRCode(int unit_width, int ecc_level, const char* str);
    bool POS_PrintDoubleQRcode(int unit_width, int position1, int version1, int ecc_level1,
                               const char* str1, int position2, int version2, int ecc_level2,
                               const char* str2);
    bool POS_EPSON_PrintPDF417(int column_count, int row_count, int unit_width, int row_height,
                               int ecc_level, int data_processing_mode, const char* str);
    // The command bytes alone (nothing sent); empty when refused as above.
    static std::optional<std::vector<unsigned char>> BarcodeCommand(unsigned char type,
                                                                    const unsigned char* data,
                                                                    size_t length);
    static std::optional<std::vector<unsigned char>> QRCodeCommand(int version, int ecc_level,
                                                                   const char* str);

    // Horizontal lines. A thickness below 1, a line count outside 0 to 255 and null
    // position arrays are refused with nothing sent.
    bool POS_PrintHorizontalLineSpecifyThickness(int start, int end, int thickness);
    bool POS_PrintMultipleHorizontalLines(int count, const int* starts, const int* ends);

    // Print position; relative moves take negative values modulo 65536.
    bool POS_SetHorizontalAbsolutePrintPosition(int position);
    bool POS_SetHorizontalRelativePrintPosition(unsigned short position);
    bool POS_SetHorizontalRelativePrintPositionAcceptNegative(int position);
    bool POS_SetVerticalAbsolutePrintPosition(int position);
    bool POS_SetVerticalRelativePrintPosition(int position);

    // A raster as GS v 0 banks of 24 rows (0), run-length US ( P rows (1) or JBIG US ( J
    // banks of 255 rows (2), in one write; any other method sends nothing.
    bool POS_PrintRasterImageSpecifyCompressMethod(const MonoRaster& raster, int compression);
    // Images made into such a raster: files and encoded data at their target size, caller
    // pixels at their own. An unknown method, or an image wider than the method's command
    // can carry, is refused before anything is decoded.
    bool POS_PrintRasterImageSpecifyCompressMethodFromFile(int dstw, int dsth, const char* path,
                                                           CP_ImageBinarizationMethod method,
                                                           int compression);
    bool POS_PrintRasterImageSpecifyCompressMethodFromData(int dstw, int dsth,
                                                           const unsigned char* data, size_t size,
                                                           CP_ImageBinarizationMethod method,
                                                           int compression);
    bool POS_PrintRasterImageSpecifyCompressMethodFromPixels(
        const unsigned char* pixels, size_t pixels_length, int width, int height, int stride,
        CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method, int compression);

    // Page mode.
    bool POS_SelectPageMode();
    bool POS_ExitPageMode();
    bool POS_PrintPage();
    bool POS_ClearPage();
    bool POS_SetPageArea(int x, int y, int width, int height);
    bool POS_SetPageDrawDirection(int direction);
    // A filled rectangle between two corners, both included.
    bool POS_DrawRect(int x0, int y0, int x1, int y1, int color);
    // The outer rectangle in color, then the inside, inset by border_width, in the other
    // colour (1 for color 0, else 0); no inside when the border fills the box. Both writes
    // are sent; true when every one was whole.
    bool POS_DrawBox(int x0, int y0, int x1, int y1, int border_width, int color);

    // Black-mark paper. The position calls take a signed distance from the mark; the Base
    // forms take the direction (0 forward, 1 back) and the 16-bit distance as sent.
    bool POS_EnableBlackMarkMode();
    bool POS_DisableBlackMarkMode();
    bool POS_SetBlackMarkMaxFindLength(int max_find_length);
    bool POS_FindBlackMark();
    bool POS_SetBlackMarkPaperPrintPosition(int position);
    bool POS_SetBlackMarkPaperPrintPositionBase(int direction, int distance);
    bool POS_SetBlackMarkPaperCutPosition(int position);
    bool POS_SetBlackMarkPaperCutPositionBase(int direction, int distance);
    bool POS_FullCutBlackMarkPaper();
    bool POS_HalfCutBlackMarkPaper();

private:
    bool WriteBlackMarkPosition(unsigned char function, int direction, int distance);
    bool WriteCommandByte(unsigned char first, unsigned char second, int parameter);
    bool WriteCommandShort(unsigned char first, unsigned char second, int parameter);
};
