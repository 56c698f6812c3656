// Every receipt, page-mode, label, black-mark and hardware-setting command call on a
// memory port, with integers over their full range and texts from the data: no call may
// overflow, crash or read past its arguments.
//
// Data: one byte picks the call, then each integer takes four bytes (little-endian; missing
// bytes are 0) and each text the bytes up to the next 0.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

#include "quorvantelmise.h"

namespace {

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    int Int() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return static_cast<int>(v);
    }
    const char *Text() {
        std::string &t = texts_.emplace_back();
        while (pos_ < size_ && data_[pos_] != 0) t.push_back(static_cast<char>(data_[pos_++]));
        ++pos_;
        return t.c_str();
    }
    // One character per byte; the top sixteen bytes stand for CJK characters.
    const wchar_t *Wide() {
        std::wstring &t = wides_.emplace_back();
        while (pos_ < size_ && data_[pos_] != 0) {
            const unsigned char b = data_[pos_++];
            t.push_back(b < 0xF0 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(0x4E00 + (b & 0x0F) * 0x100));
        }
        ++pos_;
        return t.c_str();
    }
    // A text and a length: any negative one, else at most the text's own length.
    const char *Bytes(int *length) {
        const int want = Int();
        const char *t = Text();
        const int have = static_cast<int>(std::strlen(t));
        *length = want <= have ? want : want % (have + 1);
        return t;
    }

private:
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
    std::deque<std::string> texts_;
    std::deque<std::wstring> wides_;
};

using Call = int (*)(void *, Input &);

const Call kCalls[] = {
    [](void *h, Input &in) { return CP_Pos_PrintText(h, in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintTextInUTF8(h, in.Wide()); },
    [](void *h, Input &in) { return CP_Pos_PrintTextInGBK(h, in.Wide()); },
    [](void *h, Input &in) { return CP_Pos_PrintTextInBIG5(h, in.Wide()); },
    [](void *h, Input &in) { return CP_Pos_PrintTextInShiftJIS(h, in.Wide()); },
    [](void *h, Input &in) { return CP_Pos_PrintTextInEUCKR(h, in.Wide()); },
    [](void *h, Input &in) { return CP_Pos_KickOutDrawer(h, in.Int(), in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Pos_Beep(h, in.Int(), in.Int()); },
    [](void *h, Input &) { return CP_Pos_FeedAndHalfCutPaper(h); },
    [](void *h, Input &) { return CP_Pos_FullCutPaper(h); },
    [](void *h, Input &) { return CP_Pos_HalfCutPaper(h); },
    [](void *h, Input &in) { return CP_Pos_FeedLine(h, in.Int()); },
    [](void *h, Input &) { return CP_Pos_PrintSelfTestPage(h); },
    [](void *h, Input &) { return CP_Pos_ResetPrinter(h); },
    [](void *h, Input &in) { return CP_Pos_SetPrintSpeed(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetPrintDensity(h, in.Int()); },
    [](void *h, Input &) { return CP_Pos_SetSingleByteMode(h); },
    [](void *h, Input &in) { return CP_Pos_SetCharacterSet(h, static_cast<CP_CharacterSet>(in.Int())); },
    [](void *h, Input &in) { return CP_Pos_SetCharacterCodepage(h,
        static_cast<CP_CharacterCodepage>(in.Int())); },
    [](void *h, Input &) { return CP_Pos_SetMultiByteMode(h); },
    [](void *h, Input &in) { return CP_Pos_SetMultiByteEncoding(h,
        static_cast<CP_MultiByteEncoding>(in.Int())); },
    [](void *h, Input &in) { return CP_Pos_SetMovementUnit(h, in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetPrintAreaLeftMargin(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetPrintAreaWidth(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetAlignment(h, static_cast<CP_Pos_Alignment>(in.Int())); },
    [](void *h, Input &in) { return CP_Pos_SetTextScale(h, in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetAsciiTextFontType(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextBold(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextUnderline(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextUpsideDown(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextWhiteOnBlack(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextRotate(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetTextLineHeight(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetAsciiTextCharRightSpacing(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetKanjiTextCharSpacing(h, in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetBarcodeUnitWidth(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetBarcodeHeight(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetBarcodeReadableTextFontType(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetBarcodeReadableTextPosition(h,
        static_cast<CP_Pos_BarcodeTextPrintPosition>(in.Int())); },
    [](void *h, Input &in) { return CP_Pos_PrintBarcode(h, static_cast<CP_Pos_BarcodeType>(in.Int()),
        in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintBarcode_Code128Auto(h, in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintQRCode(h, in.Int(), static_cast<CP_QRCodeECC>(in.Int()),
        in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintQRCodeUseEpsonCmd(h, in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintDoubleQRCode(h, in.Int(), in.Int(), in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Text(), in.Int(), in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintPDF417BarcodeUseEpsonCmd(h, in.Int(), in.Int(), in.Int(),
        in.Int(), in.Int(), in.Int(), in.Text()); },
    [](void *h, Input &in) { return CP_Pos_PrintHorizontalLine(h, in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetHorizontalAbsolutePrintPosition(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetHorizontalRelativePrintPosition(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetVerticalAbsolutePrintPosition(h, in.Int()); },
    [](void *h, Input &in) { return CP_Pos_SetVerticalRelativePrintPosition(h, in.Int()); },
    [](void *h, Input &) { return CP_Page_SelectPageMode(h); },
    [](void *h, Input &in) { return CP_Page_SelectPageModeEx(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Int(), in.Int()); },
    [](void *h, Input &) { return CP_Page_ExitPageMode(h); },
    [](void *h, Input &) { return CP_Page_PrintPage(h); },
    [](void *h, Input &) { return CP_Page_ClearPage(h); },
    [](void *h, Input &in) { return CP_Page_SetPageArea(h, in.Int(), in.Int(), in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Page_SetPageDrawDirection(h,
        static_cast<CP_Page_DrawDirection>(in.Int())); },
    [](void *h, Input &in) { return CP_Page_DrawRect(h, in.Int(), in.Int(), in.Int(), in.Int(), in.Int()); },
    [](void *h, Input &in) { return CP_Page_DrawBox(h, in.Int(), in.Int(), in.Int(), in.Int(), in.Int(),
        in.Int()); },
    [](void *h, Input &in) { return CP_Page_DrawText(h, in.Int(), in.Int(), in.Text()); },
    [](void *h, Input &in) { return CP_Page_DrawTextInUTF8(h, in.Int(), in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Page_DrawTextInGBK(h, in.Int(), in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Page_DrawTextInBIG5(h, in.Int(), in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Page_DrawTextInShiftJIS(h, in.Int(), in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Page_DrawTextInEUCKR(h, in.Int(), in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Page_DrawBarcode(h, in.Int(), in.Int(),
        static_cast<CP_Pos_BarcodeType>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Page_DrawQRCode(h, in.Int(), in.Int(), in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Text()); },
    [](void *h, Input &) { return CP_Label_EnableLabelMode(h); },
    [](void *h, Input &) { return CP_Label_DisableLabelMode(h); },
    [](void *h, Input &) { return CP_Label_CalibrateLabel(h); },
    [](void *h, Input &) { return CP_Label_FeedLabel(h); },
    [](void *h, Input &) { return CP_Label_BackPaperToPrintPosition(h); },
    [](void *h, Input &) { return CP_Label_FeedPaperToTearPosition(h); },
    [](void *h, Input &in) { return CP_Label_PageBegin(h, in.Int(), in.Int(), in.Int(), in.Int(),
        static_cast<CP_Label_Rotation>(in.Int())); },
    [](void *h, Input &in) { return CP_Label_PagePrint(h, in.Int()); },
    [](void *h, Input &in) { return CP_Label_DrawText(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Text()); },
    [](void *h, Input &in) { return CP_Label_DrawTextInUTF8(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawTextInGBK(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawTextInBIG5(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawTextInShiftJIS(h, in.Int(), in.Int(), in.Int(),
        in.Int(), in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawTextInEUCKR(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawBarcode(h, in.Int(), in.Int(),
        static_cast<CP_Label_BarcodeType>(in.Int()),
        static_cast<CP_Label_BarcodeTextPrintPosition>(in.Int()), in.Int(), in.Int(),
        static_cast<CP_Label_Rotation>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Label_DrawQRCode(h, in.Int(), in.Int(), in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Int(), static_cast<CP_Label_Rotation>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Label_DrawQRCodeInUTF8(h, in.Int(), in.Int(), in.Int(),
        static_cast<CP_QRCodeECC>(in.Int()), in.Int(), static_cast<CP_Label_Rotation>(in.Int()), in.Wide()); },
    [](void *h, Input &in) { return CP_Label_DrawPDF417Code(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Int(), in.Int(), static_cast<CP_Label_Rotation>(in.Int()), in.Text()); },
    [](void *h, Input &in) { return CP_Label_DrawLine(h, in.Int(), in.Int(), in.Int(), in.Int(),
        in.Int(), static_cast<CP_Label_Color>(in.Int())); },
    [](void *h, Input &in) { return CP_Label_DrawRect(h, in.Int(), in.Int(), in.Int(), in.Int(),
        static_cast<CP_Label_Color>(in.Int())); },
    [](void *h, Input &in) { return CP_Label_DrawBox(h, in.Int(), in.Int(), in.Int(), in.Int(), in.Int(),
        static_cast<CP_Label_Color>(in.Int())); },
    [](void *h, Input &) { return CP_BlackMark_EnableBlackMarkMode(h); },
    [](void *h, Input &) { return CP_BlackMark_DisableBlackMarkMode(h); },
    [](void *h, Input &in) { return CP_BlackMark_SetBlackMarkMaxFindLength(h, in.Int()); },
    [](void *h, Input &) { return CP_BlackMark_FindNextBlackMark(h); },
    [](void *h, Input &in) { return CP_BlackMark_SetBlackMarkPaperPrintPosition(h, in.Int()); },
    [](void *h, Input &in) { return CP_BlackMark_SetBlackMarkPaperCutPosition(h, in.Int()); },
    [](void *h, Input &) { return CP_BlackMark_FullCutBlackMarkPaper(h); },
    [](void *h, Input &) { return CP_BlackMark_HalfCutBlackMarkPaper(h); },
    [](void *h, Input &in) { return CP_Settings_Hardware_SetPrintSpeed(h, in.Int()); },
    // Calls whose work grows with an argument are held to sizes a run can afford.
    [](void *h, Input &in) { return CP_Pos_FeedDot(h, in.Int() % 100000); },
    [](void *h, Input &in) {
        const int start = in.Int(), end = in.Int();
        return CP_Pos_PrintHorizontalLineSpecifyThickness(h, start, end, in.Int() % 4096);
    },
    [](void *h, Input &in) {
        int starts[256], ends[256];
        for (int i = 0; i < 256; ++i) starts[i] = in.Int(), ends[i] = ~starts[i];
        return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, in.Int(), starts, ends);
    },
    [](void *h, Input &in) {
        int length = 0;
        const char *data = in.Bytes(&length);
        return CP_Pos_PrintTextInBytes(h, data, length);
    },
    [](void *h, Input &in) {
        int length = 0;
        const int x = in.Int(), y = in.Int(), font = in.Int(), style = in.Int();
        const char *data = in.Bytes(&length);
        return CP_Label_DrawTextInBytes(h, x, y, font, style, data, length);
    },
    [](void *h, Input &in) {
        int length = 0;
        const int x = in.Int(), y = in.Int(), version = in.Int(), ecc = in.Int(), unit = in.Int();
        const int rotation = in.Int();
        const char *data = in.Bytes(&length);
        return CP_Label_DrawQRCodeInBytes(h, x, y, version, static_cast<CP_QRCodeECC>(ecc), unit, rotation,
                                          data, length);
    },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static void *const port = CP_Port_OpenMemoryBuffer(1u << 20);
    if (size == 0 || port == nullptr) return 0;
    Input in(data + 1, size - 1);
    kCalls[data[0] % (sizeof kCalls / sizeof kCalls[0])](port, in);
    CP_Port_ClearMemoryBufferData(port);
    return 0;
}
