#pragma once

// Page layout: where the printer's print position must go so that a text, barcode, QR code,
// rectangle or image lands at (x, y) of a page-mode area, and the automatic code-set data
// of printer-side Code 128. Pure functions: nothing here touches a port or a handle.
//
// x and y are dots, or one of the page position codes -1 (start), -2 (centre), -3 (end).
// Directions 0 and 2 measure x along the area's width and y along its height; 1 and 3 the
// other way round. Results are held to the range of int.

#include <cstddef>
#include <cwchar>

struct PL_Utils_Size {
    int width;
    int height;
    PL_Utils_Size(int w, int h) : width(w), height(h) {}
};

struct PL_Utils_Position {
    int x;
    int y;
    PL_Utils_Position(int px, int py) : x(px), y(py) {}
};

// The item's top-left corner.
PL_Utils_Position Utils_Page_ComputeRectPosition(PL_Utils_Size area, int direction, int x, int y,
                                                 int width, int height);
// The item's bottom row.
PL_Utils_Position Utils_Page_ComputeImagePosition(PL_Utils_Size area, int direction, int x, int y,
                                                  int width, int height);

// Width: the sum of the cells of the characters before the end or the first character below
// 32, the multibyte cell for codes of 256 and above; height: the larger cell height.
PL_Utils_Size Utils_ComputeStringSizeW(const wchar_t* text, int single_width, int single_height,
                                       int multi_width, int multi_height);
// The start of the text on its baseline. Scales are 0 for x1. The narrow form reads the
// text in the current locale; bytes that do not convert are measured one single-byte cell
// each.
PL_Utils_Position Utils_Page_ComputeStringPositionW(PL_Utils_Size area, int direction,
                                                    int baseline_offset, int x, int y,
                                                    const wchar_t* text, int single_width,
                                                    int single_height, int multi_width,
                                                    int multi_height, int width_scale,
                                                    int height_scale);
PL_Utils_Position Utils_Page_ComputeStringPositionA(PL_Utils_Size area, int direction,
                                                    int baseline_offset, int x, int y,
                                                    const char* text, int single_width,
                                                    int single_height, int multi_width,
                                                    int multi_height, int width_scale,
                                                    int height_scale);

// Modules of the printer barcode type (0 to 8 or 65 to 73: UPC-A, UPC-E, EAN-13, EAN-8,
// CODE39, ITF, CODABAR, CODE93, CODE128) at unit width 1; 0 for other types and for text
// the type cannot encode.
int Utils_ComputeBarcodeWidthA(const char* text, int barcode_type);
// The bottom row of the bars. Readable-text position: bit 0 above, bit 1 below.
PL_Utils_Position Utils_Page_ComputeBarcodePositionA(PL_Utils_Size area, int direction, int x,
                                                     int y, const char* text, int barcode_type,
                                                     int unit_width, int bar_height,
                                                     int text_height, int text_position);
// Text that does not convert to the current locale measures 0 modules.
PL_Utils_Position Utils_Page_ComputeBarcodePositionW(PL_Utils_Size area, int direction, int x,
                                                     int y, const wchar_t* text,
                                                     int barcode_type, int unit_width,
                                                     int bar_height, int text_height,
                                                     int text_position);

// Modules per side of the symbol at the printer's ECC level (1 L, 2 M, 3 Q, 4 H); 0 when
// it cannot be encoded.
int Utils_ComputeQRCodeWidthA(const char* text, int version, int ecc_level);
// The symbol's top-left corner.
PL_Utils_Position Utils_Page_ComputeQRCodePositionA(PL_Utils_Size area, int direction, int x,
                                                    int y, const char* text, int version,
                                                    int ecc_level, int unit_width);
PL_Utils_Position Utils_Page_ComputeQRCodePositionW(PL_Utils_Size area, int direction, int x,
                                                    int y, const wchar_t* text, int version,
                                                    int ecc_level, int unit_width);

// Printer-side Code 128 data: "{C" segments of digit pairs wherever at least four digits
// run, "{B" segments of the characters between ("{" itself doubled). A new buffer (free)
// and its length; null for null text or when out of memory. At most 4 bytes per character.
unsigned char* Utils_CODE128_EncodeDataAuto(const char* text, size_t* length);
// Encodes the segment at the start of a non-empty text into out; false, with nothing
// counted, when it does not fit in out_capacity.
bool Utils_CODE128_EncodeDataOnce(const char* text, unsigned char* out, size_t out_capacity,
                                  size_t* consumed, size_t* produced);
// Leading characters '0' to '9'.
size_t Utils_GetSerialDigitLength(const char* text);
// Characters of the code-set B segment that starts the text: up to a run of four or more
// digits, taking one digit of an odd run so that the code-set C segment after it is even.
size_t Utils_CODE128_GetCodeBDataLength(const char* text);
