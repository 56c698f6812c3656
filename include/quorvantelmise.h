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

/*
 * Rasters here are 1 bit per dot, 1 = black, the most significant bit leftmost, rows
 * bytes_per_line bytes apart. Sizes are size_t; out-pointers may be null. Returned
 * buffers are allocated with malloc and freed by the caller with free. A command whose
 * length, width or line fields cannot hold the given sizes is refused (null, 0 or false,
 * with a reported size of 0) rather than written with a wrapped field; so are empty rasters.
 */

/* One GS v 0 command (8 + bytes_per_line * lines bytes). */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(
    uint16_t bytes_per_line, uint16_t lines, const unsigned char *raster, size_t *out_size);
/* Writes one GS v 0 command into dst (null: size only; dst must hold the size). Nonzero on
 * success; the size is reported in any case (0 when refused). */
CP_API int Quorvantelmise_ImgUtils_RasterDataToRasterCmd(size_t bytes_per_line, size_t lines,
                                                         const unsigned char *raster,
                                                         unsigned char *dst, size_t *out_size);
/* Consecutive GS v 0 commands of at most bank_height lines each. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size);
/* GS 8 L store command (lines padded with white to a multiple of 8) plus its print trailer. */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t *out_size);
/* Run-length codes one line: N then N bytes of (value, count) pairs when N < line_length
 * and N fits a byte, else 0 then the line unchanged. dst null: length only; dst must hold
 * line_length + 1 bytes. Nonzero on success. */
CP_API int Quorvantelmise_ImgUtils_CompressDataBuf(const unsigned char *line, size_t line_length,
                                                   unsigned char *dst, size_t *out_length);
/* One US ( P command per line. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToCompressCmd(size_t bytes_per_line,
                                                                      size_t lines,
                                                                      const unsigned char *raster,
                                                                      size_t *out_size);

/* JBIG (T.85) data of a raster, width dots wide (width <= 8 * bytes_per_line), into dst of
 * capacity bytes. Nonzero when the whole data fitted; the length it needs is reported in
 * any case, so null and 0 ask for the size (and return 0). */
CP_API int Quorvantelmise_ImgUtils_RasterDataCompressToJBIG85Data(
    size_t bytes_per_line, size_t width, size_t lines, const unsigned char *raster,
    unsigned char *dst, size_t capacity, size_t *out_produced);
/* Output state of the two JBIG callbacks below, for callers that drive jbig85 themselves.
 * Each callback adds its length to produced and copies while the bytes fit into dst; once
 * a piece did not fit nothing more is copied. Start with copied = produced = 0; the output
 * is whole exactly when produced == copied. */
typedef struct Quorvantelmise_ImgUtils_JbigSink {
    unsigned char *dst;
    size_t capacity;
    size_t copied;
    size_t produced;
} Quorvantelmise_ImgUtils_JbigSink;
struct jbg85_dec_state;
/* jbig85 encoder output callback; sink is a Quorvantelmise_ImgUtils_JbigSink. */
CP_API void Quorvantelmise_ImgUtils_output_bie(unsigned char *data, size_t length, void *sink);
/* jbig85 decoder line callback: appends the line to the sink; returns 0. */
CP_API int Quorvantelmise_ImgUtils_jbg85_dec_line_out_callback(
    const struct jbg85_dec_state *decoder, unsigned char *line, size_t length,
    unsigned long line_number, void *sink);
/* New buffer holding the JBIG data of the whole raster, or null. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(size_t bytes_per_line,
                                                                    size_t width, size_t lines,
                                                                    const unsigned char *raster,
                                                                    size_t *out_size);
/* New NUL-terminated base64 text of that JBIG data, or null. */
CP_API char *Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(size_t bytes_per_line,
                                                                 size_t width, size_t lines,
                                                                 const unsigned char *raster);
/* Consecutive US ( J commands, one JBIG image per bank of at most bank_height (<= 255)
 * lines, 8 * bytes_per_line dots wide. */
CP_API unsigned char *Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(
    size_t bytes_per_line, size_t lines, const unsigned char *raster, size_t bank_height,
    size_t *out_size);

/* Decodes JBIG data into dst of capacity bytes. Nonzero when the image decoded completely
 * and fitted; the decoded length is reported in any case, so null and 0 ask for the size
 * (and return 0). Rows wider than 1365 bytes (two-line template: 2048) are refused. */
CP_API int Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(
    const unsigned char *bie, size_t length, size_t *out_bytes_per_line, size_t *out_width,
    size_t *out_height, unsigned char *dst, size_t capacity, size_t *out_produced);
/* Nonzero when the data decodes and its width and height are both > 0. */
CP_API int Quorvantelmise_ImgUtils_DecodeImageSizeFromJBIGData(const unsigned char *bie,
                                                               size_t length,
                                                               size_t *out_width,
                                                               size_t *out_height);
/* Decodes into width * height 32-bit values, row by row: set_color for black dots,
 * clear_color for white. dst must hold width * height values (ask the size first). */
CP_API int Quorvantelmise_ImgUtils_DecodeRGBAImageFromJBIGData(
    const unsigned char *bie, size_t length, uint32_t clear_color, uint32_t set_color,
    uint32_t *dst, size_t *out_width, size_t *out_height);
/* The same with 32-bit sizes; width and height are set to 0 on failure. */
CP_API int CP_Image_DecodeImageSizeFromJBIGData(const unsigned char *bie, unsigned int length,
                                                unsigned int *out_width,
                                                unsigned int *out_height);
CP_API int CP_Image_DecodeRGBAImageFromJBIGData(const unsigned char *bie, unsigned int length,
                                                unsigned int clear_color, unsigned int set_color,
                                                unsigned int *dst, unsigned int *out_width,
                                                unsigned int *out_height);

/* Standard base64 (RFC 4648 alphabet, "=" padding) and a NUL into dst, which must hold
 * (length + 2) / 3 * 4 + 1 bytes. Returns the text length without the NUL; 0 (nothing
 * written) for a null pointer or a text longer than 32 bits can count. */
CP_API unsigned int base64_encode(const unsigned char *src, unsigned int length, char *dst);
/* Decodes up to the first "=" or the end; dst must hold length / 4 * 3 bytes. Returns the
 * byte count; 0 (nothing written) when length is not a multiple of 4 or a character before
 * the first "=" is outside the alphabet. */
CP_API unsigned int base64_decode(const char *src, unsigned int length, unsigned char *dst);

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/* ---- QR codes ------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
