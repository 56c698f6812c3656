#include "nzcommon/imgprocess/NZQRCodeUtils.h"

#include "quorvantelmise.h"

#include <climits>
#include <cstdlib>
#include <cstring>

std::mutex &QrEncodeMutex() {
    static std::mutex *const mutex = new std::mutex;
    return *mutex;
}

namespace {

// Checked here so libqrencode never sees an enum value outside its range.
bool ValidRequest(const char *text, int version, int level) {
    return text != nullptr && text[0] != '\0' && version >= 0 && version <= QRSPEC_VERSION_MAX &&
           level >= QR_ECLEVEL_L && level <= QR_ECLEVEL_H;
}

bool IsDark(unsigned char module) { return (module & 1) != 0; }

}  // namespace

QRcodePtr NZQRCodeUtils::EncodeString8bit(const char *text, int version, int level) {
    if (!ValidRequest(text, version, level)) return nullptr;
    std::lock_guard<std::mutex> lock(QrEncodeMutex());
    return QRcodePtr(QRcode_encodeString8bit(text, version, static_cast<QRecLevel>(level)));
}

QRcodePtr NZQRCodeUtils::EncodeString(const char *text, int version, int level, QRencodeMode hint,
                                      bool caseSensitive) {
    if (!ValidRequest(text, version, level)) return nullptr;
    std::lock_guard<std::mutex> lock(QrEncodeMutex());
    return QRcodePtr(QRcode_encodeString(text, version, static_cast<QRecLevel>(level), hint,
                                         caseSensitive ? 1 : 0));
}

unsigned char *NZQRCodeUtils::EncodeGrayImage(const char *text, int version, int level, int scale,
                                              int *side) {
    if (scale < 1) return nullptr;
    QRcodePtr code = EncodeString8bit(text, version, level);
    if (!code) return nullptr;
    const int modules = code->width;
    const long long imageSide = static_cast<long long>(modules) * scale;
    if (imageSide > INT_MAX / imageSide) return nullptr;
    const size_t pixels = static_cast<size_t>(imageSide);
    auto *image = static_cast<unsigned char *>(std::malloc(pixels * pixels));
    if (image == nullptr) return nullptr;

    // Draw the first dot row of each module row, then copy it for the module's height.
    for (int my = 0; my < modules; ++my) {
        unsigned char *row = image + static_cast<size_t>(my) * scale * pixels;
        const unsigned char *moduleRow = code->data + static_cast<size_t>(my) * modules;
        for (int mx = 0; mx < modules; ++mx)
            std::memset(row + static_cast<size_t>(mx) * scale, IsDark(moduleRow[mx]) ? 0 : 255,
                        scale);
        for (int dy = 1; dy < scale; ++dy) std::memcpy(row + dy * pixels, row, pixels);
    }
    if (side != nullptr) *side = static_cast<int>(imageSide);
    return image;
}

int NZQRCodeUtils::GetQRCodeWidth(const char *text, int version, int level) {
    QRcodePtr code = EncodeString8bit(text, version, level);
    return code ? code->width : 0;
}

bool NZQRCodeUtils::FillQRCodeRGBAData(const char *text, int version, int level, uint32_t light,
                                       uint32_t dark, uint32_t *destination,
                                       int32_t destinationBytes, int *width, int *height) {
    if (destination == nullptr || destinationBytes < 0) return false;
    QRcodePtr code = EncodeString8bit(text, version, level);
    if (!code) return false;
    const int modules = code->width;
    const size_t count = static_cast<size_t>(modules) * modules;
    if (static_cast<size_t>(destinationBytes) < count * 4) return false;
    for (size_t i = 0; i < count; ++i) destination[i] = IsDark(code->data[i]) ? dark : light;
    if (width != nullptr) *width = modules;
    if (height != nullptr) *height = modules;
    return true;
}

unsigned char *Quorvantelmise_qrhelper_encode(const char *text, int version, int level, int scale,
                                              int *side) {
    return NZQRCodeUtils::EncodeGrayImage(text, version, level, scale, side);
}

void Quorvantelmise_qrhelper_free(unsigned char *image) { std::free(image); }

int Quorvantelmise_qrhelper_getqrcodewidth(const char *text, int version, int level) {
    return NZQRCodeUtils::GetQRCodeWidth(text, version, level);
}

int Quorvantelmise_NZQRCodeUtils_FillQRCodeRGBAData(const char *text, int version, int level,
                                                    uint32_t light, uint32_t dark,
                                                    uint32_t *destination, int32_t destinationBytes,
                                                    int *width, int *height) {
    return NZQRCodeUtils::FillQRCodeRGBAData(text, version, level, light, dark, destination,
                                             destinationBytes, width, height);
}

int CP_Qrcode_GetQrcodeWidth(const char *text, int version, int level) {
    return NZQRCodeUtils::GetQRCodeWidth(text, version, level);
}

int CP_Qrcode_GetQrcodeRGBAData(const char *text, int version, int level, uint32_t light,
                                uint32_t dark, uint32_t *destination, int32_t destinationBytes,
                                int *width, int *height) {
    return NZQRCodeUtils::FillQRCodeRGBAData(text, version, level, light, dark, destination,
                                             destinationBytes, width, height);
}
