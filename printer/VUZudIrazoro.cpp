#include "printer/VUZudIrazoro.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "nzcommon/imgprocess/TextEncodingConversion.h"

bool VUZudIrazoro::WriteCommandByte(unsigned char first, unsigned char second, int parameter) {
    const unsigned char command[] = {first, second, Low8(parameter)};
    return WriteCommand(command);
}

bool VUZudIrazoro::WriteCommandShort(unsigned char first, unsigned char second, int parameter) {
    const unsigned char command[] = {first, second, Low8(parameter), High8(parameter)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_PrintString(const char* str) {
    if (str == nullptr) return false;
    return WriteCommand(reinterpret_cast<const unsigned char*>(str), std::strlen(str));
}

bool VUZudIrazoro::POS_PrintBytes(const char* data, int length) {
    if (data == nullptr || length < 0) return false;
    return WriteCommand(reinterpret_cast<const unsigned char*>(data),
                        static_cast<size_t>(length));
}

bool VUZudIrazoro::POS_PrintWideString(const wchar_t* str, const char* encoding) {
    if (str == nullptr) return false;
    std::unique_ptr<char, decltype(&std::free)> converted(iconv_wcstombs(str, encoding),
                                                          &std::free);
    return converted != nullptr && POS_PrintString(converted.get());
}

bool VUZudIrazoro::POS_PrintWideStringInUTF8(const wchar_t* str) {
    return POS_PrintWideString(str, "UTF-8");
}

bool VUZudIrazoro::POS_PrintWideStringInGBK(const wchar_t* str) {
    return POS_PrintWideString(str, "GBK");
}

bool VUZudIrazoro::POS_PrintWideStringInBIG5(const wchar_t* str) {
    return POS_PrintWideString(str, "BIG5");
}

bool VUZudIrazoro::POS_PrintWideStringInShiftJIS(const wchar_t* str) {
    return POS_PrintWideString(str, "SHIFT-JIS");
}

bool VUZudIrazoro::POS_PrintWideStringInEUCKR(const wchar_t* str) {
    return POS_PrintWideString(str, "EUC-KR");
}

bool VUZudIrazoro::POS_FeedLines(int lines) { return WriteCommandByte(0x1B, 0x64, lines); }

bool VUZudIrazoro::POS_FeedDots(int dots) {
    // A negative feed has no meaning; its low byte would feed up to 254 dots.
    if (dots < 0) return false;
    // One ESC J moves at most 255 dots. Later steps still go out after a failed one; the
    // call then reports the failure.
    bool all_written = true;
    static constexpr unsigned char full_step[] = {0x1B, 0x4A, 0xFF};
    for (int i = 0; i < dots / 255; ++i) all_written = WriteCommand(full_step) && all_written;
    return WriteCommandByte(0x1B, 0x4A, dots % 255) && all_written;
}

bool VUZudIrazoro::POS_SetMovementUnit(int horizontal, int vertical) {
    const unsigned char command[] = {0x1D, 0x50, Low8(horizontal), Low8(vertical)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetPrintAreaLeftMargin(int margin) {
    return WriteCommandShort(0x1D, 0x4C, margin);
}

bool VUZudIrazoro::POS_SetPrintAreaWidth(int width) {
    return WriteCommandShort(0x1D, 0x57, width);
}

bool VUZudIrazoro::POS_SetAlignment(int alignment) {
    return WriteCommandByte(0x1B, 0x61, alignment);
}

bool VUZudIrazoro::POS_SetTextScale(int width_scale, int height_scale) {
    return WriteCommandByte(0x1D, 0x21, ((width_scale & 7) << 4) | (height_scale & 7));
}

bool VUZudIrazoro::POS_SetAsciiTextFontType(int font_type) {
    return WriteCommandByte(0x1B, 0x4D, font_type);
}

bool VUZudIrazoro::POS_SetTextBold(int bold) { return WriteCommandByte(0x1B, 0x45, bold); }

bool VUZudIrazoro::POS_SetAsciiTextUnderline(int underline) {
    return WriteCommandByte(0x1B, 0x2D, underline);
}

bool VUZudIrazoro::POS_SetKanjiTextUnderline(int underline) {
    return WriteCommandByte(0x1C, 0x2D, underline);
}

bool VUZudIrazoro::POS_SetTextUpsideDown(int upside_down) {
    return WriteCommandByte(0x1B, 0x7B, upside_down);
}

bool VUZudIrazoro::POS_SetTextWhiteOnBlack(int white_on_black) {
    return WriteCommandByte(0x1D, 0x42, white_on_black);
}

bool VUZudIrazoro::POS_SetTextRotate(int rotate) { return WriteCommandByte(0x1B, 0x56, rotate); }

bool VUZudIrazoro::POS_SetTextLineHeight(int line_height) {
    return WriteCommandByte(0x1B, 0x33, line_height);
}

bool VUZudIrazoro::POS_SetAsciiTextCharRightSpacing(int spacing) {
    return WriteCommandByte(0x1B, 0x20, spacing);
}

bool VUZudIrazoro::POS_SetKanjiTextCharSpacing(int left_spacing, int right_spacing) {
    const unsigned char command[] = {0x1C, 0x53, Low8(left_spacing), Low8(right_spacing)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetBarcodeUnitWidth(int unit_width) {
    return WriteCommandByte(0x1D, 0x77, unit_width);
}

bool VUZudIrazoro::POS_SetBarcodeHeight(int height) {
    return WriteCommandByte(0x1D, 0x68, height);
}

bool VUZudIrazoro::POS_SetBarcodeReadableTextFontType(int font_type) {
    return WriteCommandByte(0x1D, 0x66, font_type);
}

bool VUZudIrazoro::POS_SetBarcodeReadableTextPosition(int position) {
    return WriteCommandByte(0x1D, 0x48, position);
}
