/*
 * Prints a short sample receipt: a small logo image, a centred bold title, text in UTF-8 and
 * in GBK, a few format commands, a barcode, a QR code, a feed and a cut.
 *
 *   print_receipt [FILE]            write the command bytes into FILE (default receipt.bin)
 *   print_receipt tcp IP [PORT]     send them to a network printer (port 9100 by default)
 *
 * A file port appends, so the file is removed first to hold exactly one receipt.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "quorvantelmise.h"

/* Code-page and multibyte-encoding numbers belong to the printer model; replace these with
 * the numbers its manual gives for UTF-8 and GBK. */
#define CODEPAGE_UTF8 255
#define ENCODING_GBK 0

/* A 48 x 48 gray logo drawn in code: a ring around a filled square. */
#define LOGO_SIDE 48

static void draw_logo(unsigned char *gray) {
    for (int y = 0; y < LOGO_SIDE; ++y) {
        for (int x = 0; x < LOGO_SIDE; ++x) {
            const int dx = 2 * x - (LOGO_SIDE - 1), dy = 2 * y - (LOGO_SIDE - 1);
            const int r2 = dx * dx + dy * dy;
            const int ring = r2 >= 36 * 36 && r2 <= 46 * 46;
            const int square = abs(dx) <= 18 && abs(dy) <= 18;
            gray[y * LOGO_SIDE + x] = (ring || square) ? 0 : 255; /* 0 = black */
        }
    }
}

static int print_receipt(void *printer) {
    unsigned char logo[LOGO_SIDE * LOGO_SIDE];
    int ok = 1;
    ok &= CP_Pos_ResetPrinter(printer);

    ok &= CP_Pos_SetAlignment(printer, CP_Pos_Alignment_HCenter);
    draw_logo(logo);
    ok &= CP_Pos_PrintRasterImageFromPixels(printer, logo, sizeof logo, LOGO_SIDE, LOGO_SIDE,
                                            LOGO_SIDE, CP_ImagePixelsFormat_Gray8,
                                            CP_ImageBinarizationMethod_Thresholding,
                                            CP_ImageCompressionMethod_RunLength);
    ok &= CP_Pos_SetTextBold(printer, 1);
    ok &= CP_Pos_SetTextScale(printer, 1, 1);
    ok &= CP_Pos_PrintText(printer, "SAMPLE RECEIPT\r\n");
    ok &= CP_Pos_SetTextScale(printer, 0, 0);
    ok &= CP_Pos_SetTextBold(printer, 0);

    ok &= CP_Pos_SetAlignment(printer, CP_Pos_Alignment_Left);
    ok &= CP_Pos_PrintText(printer, "Coffee              2.50\r\n");
    ok &= CP_Pos_PrintText(printer, "Croissant           1.80\r\n");
    ok &= CP_Pos_SetTextUnderline(printer, 1);
    ok &= CP_Pos_PrintText(printer, "Total               4.30\r\n");
    ok &= CP_Pos_SetTextUnderline(printer, 0);
    ok &= CP_Pos_FeedLine(printer, 1);

    /* UTF-8 text, in single-byte mode with the UTF-8 table. */
    ok &= CP_Pos_SetSingleByteMode(printer);
    ok &= CP_Pos_SetCharacterCodepage(printer, CODEPAGE_UTF8);
    ok &= CP_Pos_PrintTextInUTF8(printer, L"Merci, à bientôt ! Grüße\r\n");

    /* GBK text, in multibyte mode. */
    ok &= CP_Pos_SetMultiByteMode(printer);
    ok &= CP_Pos_SetMultiByteEncoding(printer, ENCODING_GBK);
    ok &= CP_Pos_PrintTextInGBK(printer, L"谢谢惠顾，欢迎再来\r\n");
    ok &= CP_Pos_SetSingleByteMode(printer);

    /* The receipt number as a barcode with its text below, and a link as a QR code. */
    ok &= CP_Pos_SetAlignment(printer, CP_Pos_Alignment_HCenter);
    ok &= CP_Pos_SetBarcodeUnitWidth(printer, 2);
    ok &= CP_Pos_SetBarcodeHeight(printer, 60);
    ok &= CP_Pos_SetBarcodeReadableTextPosition(printer, CP_Pos_BarcodeTextPrintPosition_BelowBarcode);
    ok &= CP_Pos_PrintBarcode_Code128Auto(printer, "R-20240042");
    ok &= CP_Pos_FeedLine(printer, 1);
    ok &= CP_Pos_PrintQRCodeUseEpsonCmd(printer, 4, CP_QRCodeECC_M,
                                        "https://example.com/receipt/20240042");
    ok &= CP_Pos_FeedLine(printer, 1);
    ok &= CP_Pos_PrintText(printer, "Thank you\r\n");
    ok &= CP_Pos_FeedDot(printer, 120);
    ok &= CP_Pos_FeedAndHalfCutPaper(printer);
    return ok;
}

static void usage(const char *program) {
    fprintf(stderr, "usage: %s [FILE] | %s tcp IP [PORT]\n", program, program);
}

int main(int argc, char **argv) {
    void *printer = NULL;
    const char *target = NULL;

    if (argc >= 2 && strcmp(argv[1], "tcp") == 0) {
        if (argc < 3 || argc > 4) {
            usage(argv[0]);
            return 2;
        }
        unsigned short port = (unsigned short)(argc == 4 ? atoi(argv[3]) : 9100);
        target = argv[2];
        printer = CP_Port_OpenTcp(NULL, target, port, 5000, 0);
    } else if (argc <= 2) {
        target = argc == 2 ? argv[1] : "receipt.bin";
        remove(target);
        printer = CP_Port_OpenFile(target);
    } else {
        usage(argv[0]);
        return 2;
    }
    if (printer == NULL) {
        fprintf(stderr, "cannot open %s\n", target);
        return 1;
    }

    int ok = print_receipt(printer);
    CP_Port_Close(printer);
    if (!ok) {
        fprintf(stderr, "printing to %s failed\n", target);
        return 1;
    }
    printf("printed a sample receipt to %s\n", target);
    return 0;
}
