/*
 * quorvantelmise: printer access for receipt and label printers.
 *
 * One flat C interface. Every function checks its arguments: a null pointer, a negative
 * count, an unknown handle or a malformed buffer gives the function's failure value.
 *
 * Memory: buffers returned by the library are allocated with malloc and freed by the
 * caller with free (QR images: Quorvantelmise_qrhelper_free), unless a function says
 * otherwise.
 *
 * Threads: calls may come from any thread; several threads may use one handle at once.
 * Event callbacks run on library threads with their list's lock held: a callback must not
 * add or remove callbacks of its own kind, and a received or printer callback must not
 * close its own port.
 */
#ifndef QUORVANTELMISE_H
#define QUORVANTELMISE_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(QV_BUILDING_LIBRARY)
#define CP_API __attribute__((visibility("default")))
#else
#define CP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Library ------------------------------------------------------------------------- */

/* The library's version text, "1.0.7.20210909". Never null; not to be freed. */
CP_API const char *CP_Library_Version(void);

/* ==== Ports and transports ============================================================= */

/* ---- Port handles, port calls and events --------------------------------------------- */

/* ---- Network ports, discovery and provisioning --------------------------------------- */

/* ---- Unavailable transports, device enumeration and logger --------------------------- */

/* ==== Printer commands and device protocol ============================================ */

/* ---- Command objects and receipt text and format commands ---------------------------- */

/* Receipt enumerations. The library sends these values to the printer cut to a byte and
 * gives them no meaning of its own (except the documented alignment values). */
typedef int32_t CP_CharacterSet;       /* ESC R parameter */
typedef int32_t CP_CharacterCodepage;  /* ESC t parameter */
typedef int32_t CP_MultiByteEncoding;  /* ESC 9 parameter */
typedef int32_t CP_Pos_Alignment;      /* ESC a parameter */
#define CP_Pos_Alignment_Left 0
#define CP_Pos_Alignment_HCenter 1
#define CP_Pos_Alignment_Right 2
typedef int32_t CP_Pos_BarcodeTextPrintPosition; /* GS H parameter */
#define CP_Pos_BarcodeTextPrintPosition_None 0
#define CP_Pos_BarcodeTextPrintPosition_AboveBarcode 1
#define CP_Pos_BarcodeTextPrintPosition_BelowBarcode 2
#define CP_Pos_BarcodeTextPrintPosition_AboveAndBelowBarcode 3

/* Every call below takes a handle from an open call and returns 1 when the whole command
 * was written through the port with the handle's default write timeout, else 0 (also for a
 * null or closed handle). Integer arguments go to the printer as their low byte, or as
 * their low 16 bits, least significant byte first, where a command takes 16 bits. */

/* Text. PrintText writes the bytes of str before its NUL, unchanged (no line feed).
 * PrintTextInBytes writes exactly length bytes of data (NULs included); a negative length
 * or null data gives 0 with nothing sent. The wide forms convert str to the named encoding
 * first; text the encoding cannot represent gives 0 with nothing sent. They send no
 * encoding command: select the matching code page or multibyte encoding yourself. */
CP_API int CP_Pos_PrintText(void *handle, const char *str);
CP_API int CP_Pos_PrintTextInUTF8(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInGBK(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInBIG5(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInShiftJIS(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInEUCKR(void *handle, const wchar_t *str);
CP_API int CP_Pos_PrintTextInBytes(void *handle, const char *data, int length);

/* Drawer, beep, paper. Beep: nBeepMs is sent in units of 100 ms. FeedDot sends one ESC J
 * per 255 dots and then the rest, each as its own write; a negative count gives 0. */
CP_API int CP_Pos_KickOutDrawer(void *handle, int nDrawerIndex, int nHighLevelTime, int nLowLevelTime);
CP_API int CP_Pos_Beep(void *handle, int nBeepCount, int nBeepMs);
CP_API int CP_Pos_FeedAndHalfCutPaper(void *handle);
CP_API int CP_Pos_FullCutPaper(void *handle);
CP_API int CP_Pos_HalfCutPaper(void *handle);
CP_API int CP_Pos_FeedLine(void *handle, int numLines);
CP_API int CP_Pos_FeedDot(void *handle, int numDots);
CP_API int CP_Pos_PrintSelfTestPage(void *handle);
CP_API int CP_Pos_ResetPrinter(void *handle);

/* Printer settings and character tables. */
CP_API int CP_Pos_SetPrintSpeed(void *handle, int nSpeed);
CP_API int CP_Pos_SetPrintDensity(void *handle, int nDensity);
CP_API int CP_Pos_SetSingleByteMode(void *handle);
CP_API int CP_Pos_SetCharacterSet(void *handle, CP_CharacterSet nCharacterSet);
CP_API int CP_Pos_SetCharacterCodepage(void *handle, CP_CharacterCodepage nCharacterCodepage);
CP_API int CP_Pos_SetMultiByteMode(void *handle);
CP_API int CP_Pos_SetMultiByteEncoding(void *handle, CP_MultiByteEncoding nEncoding);

/* Layout and text style. SetTextScale sends (width & 7) << 4 | (height & 7). SetTextUnderline
 * sends the single-byte and then the multibyte underline command, two writes. */
CP_API int CP_Pos_SetMovementUnit(void *handle, int nHorizontalMovementUnit, int nVerticalMovementUnit);
CP_API int CP_Pos_SetPrintAreaLeftMargin(void *handle, int nLeftMargin);
CP_API int CP_Pos_SetPrintAreaWidth(void *handle, int nWidth);
CP_API int CP_Pos_SetAlignment(void *handle, CP_Pos_Alignment nAlignment);
CP_API int CP_Pos_SetTextScale(void *handle, int nWidthScale, int nHeightScale);
CP_API int CP_Pos_SetAsciiTextFontType(void *handle, int nFontType);
CP_API int CP_Pos_SetTextBold(void *handle, int nBold);
CP_API int CP_Pos_SetTextUnderline(void *handle, int nUnderline);
CP_API int CP_Pos_SetTextUpsideDown(void *handle, int nUpsideDown);
CP_API int CP_Pos_SetTextWhiteOnBlack(void *handle, int nWhiteOnBlack);
CP_API int CP_Pos_SetTextRotate(void *handle, int nRotate);
CP_API int CP_Pos_SetTextLineHeight(void *handle, int nLineHeight);
CP_API int CP_Pos_SetAsciiTextCharRightSpacing(void *handle, int nSpacing);
CP_API int CP_Pos_SetKanjiTextCharSpacing(void *handle, int nLeftSpacing, int nRightSpacing);

/* Barcode settings, used by the barcode calls that follow them. */
CP_API int CP_Pos_SetBarcodeUnitWidth(void *handle, int nBarcodeUnitWidth);
CP_API int CP_Pos_SetBarcodeHeight(void *handle, int nBarcodeHeight);
CP_API int CP_Pos_SetBarcodeReadableTextFontType(void *handle, int nFontType);
CP_API int CP_Pos_SetBarcodeReadableTextPosition(void *handle, CP_Pos_BarcodeTextPrintPosition nTextPosition);

/* ---- Printer replies, status queries and the framed maintenance protocol ------------- */

/* ---- Receipt graphics, page mode, layout helpers and labels -------------------------- */

/* ---- Black-mark paper, hardware settings and data scrambling ------------------------- */

/* ==== Imaging, text encoding, barcodes and QR codes =================================== */

/* ---- Pixel formats, gray conversion, binarisation, scaling and image loading --------- */

/* ---- Raster commands, JBIG and base64 ------------------------------------------------- */

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/* ---- QR codes ------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
