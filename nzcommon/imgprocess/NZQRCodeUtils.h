// QR code module matrices over libqrencode, and the images made from them.
#pragma once

#include <qrencode.h>

#include <cstdint>
#include <memory>
#include <mutex>

// libqrencode keeps global caches without a lock, so every libqrencode encode call in the
// library holds this mutex. It is never destroyed: a thread may still encode during exit.
std::mutex &QrEncodeMutex();

struct QRcodeDeleter {
    void operator()(QRcode *code) const { QRcode_free(code); }
};
using QRcodePtr = std::unique_ptr<QRcode, QRcodeDeleter>;

class NZQRCodeUtils {
public:
    // version 0 lets libqrencode choose the smallest version that fits; level 0..3 = L, M,
    // Q, H (libqrencode's numbering). Null for a null or empty text, an out-of-range
    // version or level, or text that no version holds. Thread-safe.
    static QRcodePtr EncodeString8bit(const char *text, int version, int level);

    // QRcode_encodeString (mode hint, case sensitivity) under the same lock; same refusals.
    static QRcodePtr EncodeString(const char *text, int version, int level, QRencodeMode hint,
                                  bool caseSensitive);

    // Gray image of side x side bytes, side = modules x scale; dark 0, light 255. Freed with
    // free (or Quorvantelmise_qrhelper_free). Null on failure, and for a scale below 1 or an
    // image above INT_MAX bytes; *side is written only on success (may be null).
    static unsigned char *EncodeGrayImage(const char *text, int version, int level, int scale,
                                          int *side);

    // Modules per side, 0 on failure.
    static int GetQRCodeWidth(const char *text, int version, int level);

    // One 32-bit value per module, row-major, unscaled. False, with nothing written, when
    // destination is null or holds fewer than modules x modules x 4 bytes.
    static bool FillQRCodeRGBAData(const char *text, int version, int level, uint32_t light,
                                   uint32_t dark, uint32_t *destination, int32_t destinationBytes,
                                   int *width, int *height);
};
