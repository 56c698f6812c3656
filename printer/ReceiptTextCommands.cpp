// Exported receipt text and format commands.

#include "printer/HandleCall.h"
#include "quorvantelmise.h"

using handle_call::PosCommand;

int CP_Pos_PrintText(void* handle, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_PrintString(str); });
}

int CP_Pos_PrintTextInUTF8(void* handle, const wchar_t* str) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintWideStringInUTF8(str); });
}

int CP_Pos_PrintTextInGBK(void* handle, const wchar_t* str) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintWideStringInGBK(str); });
}

int CP_Pos_PrintTextInBIG5(void* handle, const wchar_t* str) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintWideStringInBIG5(str); });
}

int CP_Pos_PrintTextInShiftJIS(void* handle, const wchar_t* str) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintWideStringInShiftJIS(str); });
}

int CP_Pos_PrintTextInEUCKR(void* handle, const wchar_t* str) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintWideStringInEUCKR(str); });
}

int CP_Pos_PrintTextInBytes(void* handle, const char* data, int length) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_PrintBytes(data, length); });
}

int CP_Pos_KickOutDrawer(void* handle, int nDrawerIndex, int nHighLevelTime, int nLowLevelTime) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_KickDrawer(nDrawerIndex, nHighLevelTime, nLowLevelTime);
    });
}

int CP_Pos_Beep(void* handle, int nBeepCount, int nBeepMs) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_Beep(nBeepCount, nBeepMs); });
}

int CP_Pos_FeedAndHalfCutPaper(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_FeedAndCutPaper(); });
}

int CP_Pos_FullCutPaper(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_FullCutPaper(); });
}

int CP_Pos_HalfCutPaper(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_HalfCutPaper(); });
}

int CP_Pos_FeedLine(void* handle, int numLines) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_FeedLines(numLines); });
}

int CP_Pos_FeedDot(void* handle, int numDots) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_FeedDots(numDots); });
}

int CP_Pos_PrintSelfTestPage(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_PrintSelfTestPage(); });
}

int CP_Pos_ResetPrinter(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_Reset(); });
}

int CP_Pos_SetPrintSpeed(void* handle, int nSpeed) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_SetPrintSpeed(nSpeed); });
}

int CP_Pos_SetPrintDensity(void* handle, int nDensity) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetPrintDensity_16(nDensity); });
}

int CP_Pos_SetSingleByteMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_SetSingleByteMode(); });
}

int CP_Pos_SetCharacterSet(void* handle, CP_CharacterSet nCharacterSet) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetCharacterSet(nCharacterSet); });
}

int CP_Pos_SetCharacterCodepage(void* handle, CP_CharacterCodepage nCharacterCodepage) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetCharacterCodepage(nCharacterCodepage);
    });
}

int CP_Pos_SetMultiByteMode(void* handle) {
    return PosCommand(handle, [](VUZudIrazoro& pos) { return pos.POS_SetMultiByteMode(); });
}

int CP_Pos_SetMultiByteEncoding(void* handle, CP_MultiByteEncoding nEncoding) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetMultiByteEncoding(nEncoding); });
}

int CP_Pos_SetMovementUnit(void* handle, int nHorizontalMovementUnit, int nVerticalMovementUnit) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetMovementUnit(nHorizontalMovementUnit, nVerticalMovementUnit);
    });
}

int CP_Pos_SetPrintAreaLeftMargin(void* handle, int nLeftMargin) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetPrintAreaLeftMargin(nLeftMargin);
    });
}

int CP_Pos_SetPrintAreaWidth(void* handle, int nWidth) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetPrintAreaWidth(nWidth); });
}

int CP_Pos_SetAlignment(void* handle, CP_Pos_Alignment nAlignment) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetAlignment(nAlignment); });
}

int CP_Pos_SetTextScale(void* handle, int nWidthScale, int nHeightScale) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetTextScale(nWidthScale, nHeightScale)) return false;
        property.textWidthScale = nWidthScale;
        property.textHeightScale = nHeightScale;
        return true;
    });
}

int CP_Pos_SetAsciiTextFontType(void* handle, int nFontType) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetAsciiTextFontType(nFontType); });
}

int CP_Pos_SetTextBold(void* handle, int nBold) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_SetTextBold(nBold); });
}

int CP_Pos_SetTextUnderline(void* handle, int nUnderline) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        // Both commands are always sent; the call succeeds only when both were whole.
        const bool ascii = pos.POS_SetAsciiTextUnderline(nUnderline);
        const bool kanji = pos.POS_SetKanjiTextUnderline(nUnderline);
        return ascii && kanji;
    });
}

int CP_Pos_SetTextUpsideDown(void* handle, int nUpsideDown) {
    return PosCommand(handle,
                      [&](VUZudIrazoro& pos) { return pos.POS_SetTextUpsideDown(nUpsideDown); });
}

int CP_Pos_SetTextWhiteOnBlack(void* handle, int nWhiteOnBlack) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetTextWhiteOnBlack(nWhiteOnBlack);
    });
}

int CP_Pos_SetTextRotate(void* handle, int nRotate) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) { return pos.POS_SetTextRotate(nRotate); });
}

int CP_Pos_SetTextLineHeight(void* handle, int nLineHeight) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetTextLineHeight(nLineHeight)) return false;
        property.textLineHeight = nLineHeight;
        return true;
    });
}

int CP_Pos_SetAsciiTextCharRightSpacing(void* handle, int nSpacing) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetAsciiTextCharRightSpacing(nSpacing)) return false;
        property.asciiCharRightSpacing = nSpacing;
        return true;
    });
}

int CP_Pos_SetKanjiTextCharSpacing(void* handle, int nLeftSpacing, int nRightSpacing) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetKanjiTextCharSpacing(nLeftSpacing, nRightSpacing)) return false;
        property.kanjiCharLeftSpacing = nLeftSpacing;
        property.kanjiCharRightSpacing = nRightSpacing;
        return true;
    });
}

int CP_Pos_SetBarcodeUnitWidth(void* handle, int nBarcodeUnitWidth) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetBarcodeUnitWidth(nBarcodeUnitWidth)) return false;
        property.barcodeUnitWidth = nBarcodeUnitWidth;
        return true;
    });
}

int CP_Pos_SetBarcodeHeight(void* handle, int nBarcodeHeight) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetBarcodeHeight(nBarcodeHeight)) return false;
        property.barcodeHeight = nBarcodeHeight;
        return true;
    });
}

int CP_Pos_SetBarcodeReadableTextFontType(void* handle, int nFontType) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetBarcodeReadableTextFontType(nFontType)) return false;
        property.barcodeReadableTextFont = nFontType;
        return true;
    });
}

int CP_Pos_SetBarcodeReadableTextPosition(void* handle,
                                          CP_Pos_BarcodeTextPrintPosition nTextPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos, PrinterProperty& property) {
        if (!pos.POS_SetBarcodeReadableTextPosition(nTextPosition)) return false;
        property.barcodeReadableTextPosition = nTextPosition;
        return true;
    });
}
