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

/* Pixel layouts accepted for caller pixels; every row starts `stride` bytes after the last. */
typedef enum CP_ImagePixelsFormat {
    CP_ImagePixelsFormat_Mono = 1,     /* 1 bit per dot, bit 7 leftmost, set = black */
    CP_ImagePixelsFormat_MonoLsb = 2,  /* 1 bit per dot, bit 0 leftmost, set = black */
    CP_ImagePixelsFormat_Gray8 = 3,    /* 1 byte per dot, 0 = black */
    CP_ImagePixelsFormat_Rgb888 = 4,   /* R, G, B */
    CP_ImagePixelsFormat_Bgr888 = 5,   /* B, G, R */
    CP_ImagePixelsFormat_Argb8888 = 6, /* A, R, G, B */
    CP_ImagePixelsFormat_Rgba8888 = 7, /* R, G, B, A */
    CP_ImagePixelsFormat_Abgr8888 = 8, /* A, B, G, R */
    CP_ImagePixelsFormat_Bgra8888 = 9  /* B, G, R, A */
} CP_ImagePixelsFormat;

typedef enum CP_ImageBinarizationMethod {
    CP_ImageBinarizationMethod_Dithering = 0,     /* 16 x 16 ordered dither */
    CP_ImageBinarizationMethod_Thresholding = 1,  /* black below the image's mean gray */
    CP_ImageBinarizationMethod_ErrorDiffusion = 2 /* 5 x 5 serpentine error diffusion */
} CP_ImageBinarizationMethod;

typedef enum CP_ImageCompressionMethod {
    CP_ImageCompressionMethod_None = 0,
    CP_ImageCompressionMethod_RunLength = 1,
    CP_ImageCompressionMethod_Jbig = 2
} CP_ImageCompressionMethod;

/*
 * Rasters: 1 bit per dot, 1 = black, most significant bit leftmost, rows `bytes per line`
 * apart, top row first. Gray images: 1 byte per dot, 0 = black, 255 = white, stride = width.
 * Image1: 1 byte per dot, 1 = black. Vertical rasters: column-major, each column
 * `height bytes` long, top dot in the most significant bit of its first byte.
 *
 * Every pointer these functions return is a new buffer allocated with malloc, to be freed
 * by the caller with free; failure is NULL (or false / 0). Out-parameters may be NULL.
 * Sizes whose product does not fit in memory are refused.
 */

/* Caller pixels of any format to a raster. Mono formats keep the caller's stride as bytes
 * per line (the method is then ignored); the others give (width + 7) / 8. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
    const unsigned char *pixels, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_bytes_per_line);
/* Formats 3 to 9 to a gray image of width x height bytes; other formats give NULL. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(
    const unsigned char *pixels, size_t width, size_t height, size_t stride,
    CP_ImagePixelsFormat format);
/* Every byte of stride x height bit-reversed. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertMonoImageToMonoLsbFormat(
    const unsigned char *raster, size_t width, size_t height, size_t stride);
/* Copy of stride x height bytes with the bits from `width` to the end of each row set
 * (flag nonzero) or cleared (flag 0). */
CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(
    size_t stride, size_t width, size_t height, const unsigned char *raster, int flag);
/* Copy to rows of new_stride bytes (new_stride >= old_stride), bits from `width` to the
 * end of each new row set or cleared by the flag. */
CP_API unsigned char *Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(
    size_t old_stride, size_t width, size_t height, const unsigned char *raster,
    size_t new_stride, int flag);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(
    size_t stride, size_t width, size_t height, const unsigned char *raster);
/* Set bits give 0, clear bits 255. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(
    size_t stride, size_t width, size_t height, const unsigned char *raster);
/* dst_width x dst_height_bytes bytes; dots outside either image stay 0. */
CP_API unsigned char *
Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(
    size_t src_width, size_t src_height, const unsigned char *image1, size_t dst_width,
    size_t dst_height_bytes);
/* dst_bytes_per_line x dst_height bytes of `fill`, the source rows copied to the start of
 * the first rows (clipped to the destination). */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(
    const unsigned char *raster, size_t src_bytes_per_line, size_t src_height,
    size_t dst_bytes_per_line, size_t dst_height, unsigned char fill);
/* 4 x width bytes per row; the alpha byte is 255. */
CP_API unsigned char *Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(
    const unsigned char *rgb, size_t width, size_t height, size_t stride);

/* Gray image (rows `stride` apart) to a raster of (width + 7) / 8 x height bytes. The
 * method forms report size and bytes per line even when allocation fails; an unknown
 * method gives NULL and leaves them unwritten. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(
    const unsigned char *gray, size_t width, size_t height, size_t stride,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
/* Integer Floyd-Steinberg, left to right on every row. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(
    const unsigned char *gray, size_t width, size_t height, size_t stride, size_t *out_size,
    size_t *out_bytes_per_line);
/* 5 x 5 serpentine diffusion of width x height doubles (0 black .. 255 white) into dst;
 * src and dst may be the same buffer. */
CP_API void Quorvantelmise_ImgUtils_dither_image_5x5(int width, int height, const double *src,
                                                     double *dst);
/* Adds value at (x, y) only inside the image. */
CP_API void Quorvantelmise_ImgUtils_AddValueToImagePixel(int width, int height, double *image,
                                                         int x, int y, double value);

/* Bicubic resampling to a new dst_width x dst_height image (3 or 4 bytes per pixel,
 * rows packed); a zero dimension gives a zero-filled destination. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleRGB888Image(size_t src_width,
                                                               size_t src_height,
                                                               const unsigned char *src,
                                                               size_t dst_width,
                                                               size_t dst_height);
CP_API unsigned char *Quorvantelmise_ImgUtils_ScaleBGRA8888Image(size_t src_width,
                                                                 size_t src_height,
                                                                 const unsigned char *src,
                                                                 size_t dst_width,
                                                                 size_t dst_height);
/* The cubic convolution kernel (a = -1). */
CP_API double Quorvantelmise_ImgUtils_SinXDivX(double x);
/* 0 at or below 0, 255 at or above 255, else truncated. */
CP_API unsigned char Quorvantelmise_ImgUtils_border_color(double value);

/* Image loading: BMP (1, 4, 8, 24 bits, uncompressed) by the library's own reader, every
 * other format stb_image decodes. Bits per pixel is that of the encoded image. */
CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromData(const unsigned char *data, size_t length,
                                                        int *out_bpp, int *out_width,
                                                        int *out_height);
CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromFile(const char *path, int *out_bpp,
                                                        int *out_width, int *out_height);
/* The whole file; *out_size is written in any case (-1 when the file cannot be opened or
 * is not a regular file). Empty files give NULL. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ReadFile(const char *path, long *out_size);
/* Decoded, scaled to dst_width x dst_height and binarised. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
    const unsigned char *data, size_t length, size_t dst_width, size_t dst_height,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bytes_per_line);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(
    const char *path, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_bytes_per_line);
/* At the image's own size; reports its width and height. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_bytes_per_line, size_t *out_width, size_t *out_height);
/* At the image's own size; reports its width and its encoded bits per pixel. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormatWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_bytes_per_line, size_t *out_width, size_t *out_bpp);
/* Vertical rasters of dst_width x ((dst_height + 7) / 8) bytes. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(
    const unsigned char *data, size_t length, size_t dst_width, size_t dst_height,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_height_bytes);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImage(
    const char *path, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_height_bytes);
/* At the image's own size; report its width and its encoded bits per pixel. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_height_bytes, size_t *out_width, size_t *out_bpp);
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImageWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_height_bytes, size_t *out_width, size_t *out_bpp);
/* At the image's own size, white-padded to a width that is a multiple of width_align dots
 * and a height that is a multiple of height_align lines. */
CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method,
    size_t width_align, size_t height_align, size_t *out_size, size_t *out_bytes_per_line,
    size_t *out_width, size_t *out_height);

/* ---- Raster commands, JBIG and base64 ------------------------------------------------- */

/* ---- Wide-text encoding conversion ---------------------------------------------------- */

/* ---- One-dimensional barcodes and symbol renderers ------------------------------------ */

/* ---- QR codes ------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUORVANTELMISE_H */
