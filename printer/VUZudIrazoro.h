#pragma once

#include <cwchar>

#include "printer/NZPrinter.h"

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
