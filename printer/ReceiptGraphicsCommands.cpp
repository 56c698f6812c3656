// Exported receipt barcode, QR code, PDF417, image, line and print-position commands.

#include <cstdlib>
#include <memory>

#include "printer/HandleCall.h"
#include "printer/PL_Utils.h"
#include "quorvantelmise.h"

using handle_call::PosCommand;

int CP_Pos_PrintBarcode(void* handle, CP_Pos_BarcodeType nBarcodeType, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintBarcode(static_cast<unsigned char>(nBarcodeType), str);
    });
}

int CP_Pos_PrintBarcode_Code128Auto(void* handle, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        size_t length = 0;
        const std::unique_ptr<unsigned char, decltype(&std::free)> data(
            Utils_CODE128_EncodeDataAuto(str, &length), &std::free);
        return data != nullptr &&
               pos.POS_PrintBarcode(CP_Pos_BarcodeType_CODE128, data.get(), length);
    });
}

int CP_Pos_PrintQRCode(void* handle, int nVersion, CP_QRCodeECC nECCLevel, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintQRCode(nVersion, nECCLevel, str);
    });
}

int CP_Pos_PrintQRCodeUseEpsonCmd(void* handle, int nQRCodeUnitWidth, CP_QRCodeECC nECCLevel,
                                  const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_EPSON_PrintQRCode(nQRCodeUnitWidth, nECCLevel, str);
    });
}

int CP_Pos_PrintDoubleQRCode(void* handle, int nQRCodeUnitWidth, int nQR1Position,
                             int nQR1Version, CP_QRCodeECC nQR1ECCLevel, const char* strQR1,
                             int nQR2Position, int nQR2Version, CP_QRCodeECC nQR2ECCLevel,
                             const char* strQR2) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintDoubleQRcode(nQRCodeUnitWidth, nQR1Position, nQR1Version,
                                         nQR1ECCLevel, strQR1, nQR2Position, nQR2Version,
                                         nQR2ECCLevel, strQR2);
    });
}

int CP_Pos_PrintPDF417BarcodeUseEpsonCmd(void* handle, int columnCount, int rowCount,
                                         int unitWidth, int rowHeight, int nECCLevel,
                                         int dataProcessingMode, const char* str) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_EPSON_PrintPDF417(columnCount, rowCount, unitWidth, rowHeight, nECCLevel,
                                         dataProcessingMode, str);
    });
}

int CP_Pos_PrintHorizontalLine(void* handle, int nLineStartPosition, int nLineEndPosition) {
    return CP_Pos_PrintHorizontalLineSpecifyThickness(handle, nLineStartPosition,
                                                      nLineEndPosition, 1);
}

int CP_Pos_PrintHorizontalLineSpecifyThickness(void* handle, int nLineStartPosition,
                                               int nLineEndPosition, int nLineThickness) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintHorizontalLineSpecifyThickness(nLineStartPosition, nLineEndPosition,
                                                           nLineThickness);
    });
}

int CP_Pos_PrintMultipleHorizontalLinesAtOneRow(void* handle, int nLineCount,
                                                const int* pLineStartPosition,
                                                const int* pLineEndPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintMultipleHorizontalLines(nLineCount, pLineStartPosition,
                                                    pLineEndPosition);
    });
}

int CP_Pos_SetHorizontalAbsolutePrintPosition(void* handle, int nPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetHorizontalAbsolutePrintPosition(nPosition);
    });
}

int CP_Pos_SetHorizontalRelativePrintPosition(void* handle, int nPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetHorizontalRelativePrintPositionAcceptNegative(nPosition);
    });
}

int CP_Pos_SetVerticalAbsolutePrintPosition(void* handle, int nPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetVerticalAbsolutePrintPosition(nPosition);
    });
}

int CP_Pos_SetVerticalRelativePrintPosition(void* handle, int nPosition) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_SetVerticalRelativePrintPosition(nPosition);
    });
}

int CP_Pos_PrintRasterImageFromFile(void* handle, int dstw, int dsth, const char* pszFile,
                                    CP_ImageBinarizationMethod binarization_method,
                                    CP_ImageCompressionMethod compression_method) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintRasterImageSpecifyCompressMethodFromFile(
            dstw, dsth, pszFile, binarization_method, compression_method);
    });
}

int CP_Pos_PrintRasterImageFromData(void* handle, int dstw, int dsth, const unsigned char* data,
                                    unsigned int data_size,
                                    CP_ImageBinarizationMethod binarization_method,
                                    CP_ImageCompressionMethod compression_method) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintRasterImageSpecifyCompressMethodFromData(
            dstw, dsth, data, data_size, binarization_method, compression_method);
    });
}

int CP_Pos_PrintRasterImageFromPixels(void* handle, const unsigned char* img_data,
                                      unsigned int img_datalen, int img_width, int img_height,
                                      int img_stride, CP_ImagePixelsFormat img_format,
                                      CP_ImageBinarizationMethod binarization_method,
                                      CP_ImageCompressionMethod compression_method) {
    return PosCommand(handle, [&](VUZudIrazoro& pos) {
        return pos.POS_PrintRasterImageSpecifyCompressMethodFromPixels(
            img_data, img_datalen, img_width, img_height, img_stride, img_format,
            binarization_method, compression_method);
    });
}
