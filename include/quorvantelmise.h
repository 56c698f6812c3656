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

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
