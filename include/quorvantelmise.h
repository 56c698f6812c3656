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

/* ---- Printer replies, status queries and the framed maintenance protocol ------------- */

/* ---- Receipt graphics, page mode, layout helpers and labels -------------------------- */

/* ---- Black-mark paper, hardware settings and data scrambling ------------------------- */

/* ==== Imaging, text encoding, barcodes and QR codes =================================== */

/* ---- Pixel formats, gray conversion, binarisation, scaling and image loading --------- */

/* ---- Raster commands, JBIG and base64 ------------------------------------------------- */

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/*
 * Renderer barcode types (the nBarcodeType of the calls below; not the CP_Pos_BarcodeType
 * numbering of the printer commands): 0 UPC-A, 1 UPC-E, 2 EAN-13, 3 EAN-8, 4 Code 39,
 * 5 ITF, 6 Codabar, 7 Code 93, 8 Code 128 (automatic code sets), 9 Code 11, 10 MSI,
 * 11 Code 128 (manual code sets), 12 EAN-128, 13 ITF with check digit,
 * 14 Code 39 full ASCII with check character, 15 Code 39 full ASCII, 16 EAN-13 + 2,
 * 17 EAN-13 + 5, 18 EAN-8 + 2, 19 EAN-8 + 5, 21 UPC-A + 2, 22 UPC-A + 5, 23 UPC-E + 2,
 * 24 UPC-E + 5, 26 MSI with check digit, 28 ITF-14 (with quiet zones and bearer bars),
 * 29 EAN-14 (as Code 128). 20, 25, 27 and anything else fail.
 *
 * nUnitWidth is the narrow-module width in dots, 1 to 255. The text is 1 to 200 bytes; a
 * barcode wider than 2000 dots (before the 60 dots of ITF-14 quiet zones) fails.
 * Manual Code 128 control bytes: 144 FNC3, 145 FNC2, 146 SHIFT (the next byte is read in
 * the other of code sets A and B), 147 CODE C, 148 CODE B, 149 CODE A, 150 FNC1; a first
 * byte 151, 152 or 153 selects start code A, B or C.
 */

/* Width in dots of the barcode (ITF-14 includes its quiet zones); 0 on failure.
 * nIgnored is not used. */
CP_API int Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(int nBarcodeType, int nUnitWidth, int nIgnored,
                                                             const char *str);

/* Draws the barcode, nHeight rows, into pDst (32-bit pixels, row-major): bars in barColor,
 * everything else in spaceColor. Fails, writing nothing, when pDst is null or nDstSize (in
 * bytes) is below width x height x 4. Width and height are reported through pWidth and
 * pHeight (either may be null). Returns nonzero on success. */
CP_API int Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight,
                                                             uint32_t spaceColor, uint32_t barColor,
                                                             const char *str, uint32_t *pDst, int32_t nDstSize,
                                                             int *pWidth, int *pHeight);

/* New RGB image (3 bytes a pixel, bars 0,0,0, everything else 255,255,255) of nHeight rows;
 * null on failure. Free with free. nIgnored is not used. */
CP_API unsigned char *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(int nBarcodeType, int nUnitWidth,
                                                                      int nIgnored, int nHeight, const char *str,
                                                                      int *pWidth, int *pHeight);

/* New image of 32-bit pixels: bars barColor, everything else 0; null on failure. Free with
 * free. nIgnored is not used. */
CP_API uint32_t *Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nIgnored,
                                                                  int nHeight, const char *str, uint32_t barColor,
                                                                  int *pWidth, int *pHeight);

/* Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots with nUnitWidth. */
CP_API int CP_Barcode_GetBarcodeWidth(int nBarcodeType, int nUnitWidth, const char *str);

/* Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData. */
CP_API int CP_Barcode_GetBarcodeRGBAData(int nBarcodeType, int nUnitWidth, int nHeight, uint32_t spaceColor,
                                         uint32_t barColor, const char *str, uint32_t *pDst, int32_t nDstSize,
                                         int *pWidth, int *pHeight);

/* Code 128 with the shortest sequence of code sets. Bytes 0xF1 to 0xF4 are FNC1 to FNC4.
 * code128_estimate_len suggests a destination size, enough for most texts (0 for null
 * or a text too long to measure). code128_encode_raw writes one byte per module (255 bar, 0 space):
 * start, data, code-set switches, check and stop, no quiet zone; it returns the count, at
 * most nMaxLength, or 0 when the text cannot be coded in nMaxLength modules (below 46 always
 * fails). */
CP_API int code128_estimate_len(const char *str);
CP_API int code128_encode_raw(const char *str, unsigned char *pDst, int nMaxLength);

/* EAN-13 modules, one byte each (1 bar, 0 space): a quiet module, the symbol of the 12
 * digits of str plus their check digit, a quiet module. EAN13_build writes EAN13_width()
 * (97) bytes and returns 0, or returns -1 (writing nothing) when one of the first 12
 * characters is not a digit. */
CP_API int EAN13_width(void);
CP_API int EAN13_build(const char *str, unsigned char *pDst);


/* ---- QR codes ------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
