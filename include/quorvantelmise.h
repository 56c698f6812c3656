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

/* ---- QR codes ------------------------------------------------------------------------- */

/*
 * QR symbols are encoded in 8-bit mode from the whole NUL-terminated text. version 0..40
 * (0: the smallest version that holds the text; a version too small for the text is raised
 * as needed), level 0..3 = L, M, Q, H (not the CP_QRCodeECC numbering of the printer
 * commands). An empty text, an out-of-range version or level, or a text that no version
 * holds is refused. Safe to call from any thread (encoding is serialised).
 */

/* Gray image of side x side bytes, side = modules x scale (scale >= 1): dark 0, light 255,
 * row-major. *side (may be null) is written only on success. Null on failure, also for an
 * image above INT_MAX bytes. Free the image with Quorvantelmise_qrhelper_free. */
CP_API unsigned char *Quorvantelmise_qrhelper_encode(const char *text, int version, int level,
                                                     int scale, int *side);
/* Releases an image of Quorvantelmise_qrhelper_encode; null is ignored. */
CP_API void Quorvantelmise_qrhelper_free(unsigned char *image);
/* Modules per side of the symbol, 0 on failure. */
CP_API int Quorvantelmise_qrhelper_getqrcodewidth(const char *text, int version, int level);
/* Writes one 32-bit value per module, row-major, unscaled: dark for dark modules, light for
 * the others; *width = *height = modules (each may be null). Nonzero when written; 0, with
 * nothing written, on failure or when destination is null or destinationBytes is below
 * modules x modules x 4. */
CP_API int Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData(const char *text, int version,
                                                           int level, uint32_t light,
                                                           uint32_t dark, uint32_t *destination,
                                                           int32_t destinationBytes, int *width,
                                                           int *height);
/* Same as Quorvantelmise_qrhelper_getqrcodewidth. */
CP_API int CP_Qrcode_GetQrcodeWidth(const char *text, int version, int level);
/* Same as Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData. */
CP_API int CP_Qrcode_GetQrcodeRGBAData(const char *text, int version, int level, uint32_t light,
                                       uint32_t dark, uint32_t *destination,
                                       int32_t destinationBytes, int *width, int *height);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
