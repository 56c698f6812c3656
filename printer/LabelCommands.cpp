// Exported label commands.

#include "printer/HandleCall.h"
#include "quorvantelmise.h"

using handle_call::LabelCommand;

int CP_Label_EnableLabelMode(void* handle) {
    return LabelCommand(handle, [](RUDeruvAdedazi& label) { return label.EnableLabelMode(); });
}

int CP_Label_DisableLabelMode(void* handle) {
    return LabelCommand(handle, [](RUDeruvAdedazi& label) { return label.DisableLabelMode(); });
}

int CP_Label_CalibrateLabel(void* handle) {
    return LabelCommand(handle, [](RUDeruvAdedazi& label) { return label.CalibrateLabel(); });
}

int CP_Label_FeedLabel(void* handle) {
    return LabelCommand(handle, [](RUDeruvAdedazi& label) { return label.FeedLabel(); });
}

int CP_Label_BackPaperToPrintPosition(void* handle) {
    return LabelCommand(handle,
                        [](RUDeruvAdedazi& label) { return label.BackPaperToPrintPosition(); });
}

int CP_Label_FeedPaperToTearPosition(void* handle) {
    return LabelCommand(handle,
                        [](RUDeruvAdedazi& label) { return label.FeedPaperToTearPosition(); });
}

int CP_Label_PageBegin(void* handle, int x, int y, int width, int height,
                       CP_Label_Rotation rotation) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.PageBegin(x, y, width, height, rotation);
    });
}

int CP_Label_PagePrint(void* handle, int copies) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) { return label.PagePrint(copies); });
}

int CP_Label_DrawText(void* handle, int x, int y, int font, int style, const char* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawString(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInUTF8(void* handle, int x, int y, int font, int style, const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWideStringInUTF8(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInGBK(void* handle, int x, int y, int font, int style, const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWideStringInGBK(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInBIG5(void* handle, int x, int y, int font, int style, const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWideStringInBIG5(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInShiftJIS(void* handle, int x, int y, int font, int style,
                                const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWideStringInShiftJIS(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInEUCKR(void* handle, int x, int y, int font, int style, const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWideStringInEUCKR(x, y, font, style, str);
    });
}

int CP_Label_DrawTextInBytes(void* handle, int x, int y, int font, int style, const char* data,
                             int length) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return data != nullptr && length >= 0 &&
               label.DrawString(x, y, font, style, data, static_cast<size_t>(length));
    });
}

int CP_Label_DrawBarcode(void* handle, int x, int y, CP_Label_BarcodeType nBarcodeType,
                         CP_Label_BarcodeTextPrintPosition nBarcodeTextPrintPosition, int height,
                         int unitwidth, CP_Label_Rotation rotation, const char* str) {
    return handle_call::Command(handle, [&](IOHandle& io_handle) {
        if (str == nullptr) return false;
        // The readable-text position is a receipt setting the label barcode follows. Its
        // result is not the call's, and it is not cached: the receipt side did not set it.
        io_handle.posPrinter.POS_SetBarcodeReadableTextPosition(nBarcodeTextPrintPosition);
        return io_handle.labelPrinter.DrawBarcode(x, y, nBarcodeType, height, unitwidth, rotation,
                                                  str);
    });
}

int CP_Label_DrawQRCode(void* handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                        int unitwidth, CP_Label_Rotation rotation, const char* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawQRCode(x, y, nVersion, nECCLevel, unitwidth, rotation, str);
    });
}

int CP_Label_DrawQRCodeInUTF8(void* handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                              int unitwidth, CP_Label_Rotation rotation, const wchar_t* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawWQRCodeInUTF8(x, y, nVersion, nECCLevel, unitwidth, rotation, str);
    });
}

int CP_Label_DrawQRCodeInBytes(void* handle, int x, int y, int nVersion, CP_QRCodeECC nECCLevel,
                               int unitwidth, CP_Label_Rotation rotation, const char* data,
                               int length) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return data != nullptr && length >= 0 &&
               label.DrawQRCode(x, y, nVersion, nECCLevel, unitwidth, rotation, data,
                                static_cast<size_t>(length));
    });
}

int CP_Label_DrawPDF417Code(void* handle, int x, int y, int column, int nAspectRatio,
                            int nECCLevel, int unitwidth, CP_Label_Rotation rotation,
                            const char* str) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawPDF417(x, y, column, nAspectRatio, nECCLevel, unitwidth, rotation, str);
    });
}

int CP_Label_DrawLine(void* handle, int startx, int starty, int endx, int endy, int linewidth,
                      CP_Label_Color linecolor) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawLine(startx, starty, endx, endy, linewidth, linecolor);
    });
}

int CP_Label_DrawRect(void* handle, int x, int y, int width, int height, CP_Label_Color color) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawRectangel(x, y, width, height, color);
    });
}

int CP_Label_DrawBox(void* handle, int x, int y, int width, int height, int borderwidth,
                     CP_Label_Color bordercolor) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawBox(x, y, width, height, borderwidth, bordercolor);
    });
}

int CP_Label_DrawImageFromFile(void* handle, int x, int y, int dstw, int dsth,
                               const char* pszFile,
                               CP_ImageBinarizationMethod binarization_method,
                               CP_ImageCompressionMethod compression_method) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawRasterImageFromFileA(x, y, dstw, dsth, pszFile, binarization_method,
                                              compression_method);
    });
}

int CP_Label_DrawImageFromData(void* handle, int x, int y, int dstw, int dsth,
                               const unsigned char* data, unsigned int data_size,
                               CP_ImageBinarizationMethod binarization_method,
                               CP_ImageCompressionMethod compression_method) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawRasterImageFromData(x, y, dstw, dsth, data, data_size,
                                             binarization_method, compression_method);
    });
}

int CP_Label_DrawImageFromPixels(void* handle, int x, int y, const unsigned char* img_data,
                                 unsigned int img_datalen, int img_width, int img_height,
                                 int img_stride, CP_ImagePixelsFormat img_format,
                                 CP_ImageBinarizationMethod binarization_method,
                                 CP_ImageCompressionMethod compression_method) {
    return LabelCommand(handle, [&](RUDeruvAdedazi& label) {
        return label.DrawRasterImageFromPixels(x, y, img_data, img_datalen, img_width,
                                               img_height, img_stride, img_format,
                                               binarization_method, compression_method);
    });
}
