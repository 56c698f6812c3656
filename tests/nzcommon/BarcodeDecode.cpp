#include "BarcodeDecode.h"

#include <cstdlib>
#include <vector>

#include "quorvantelmise.h"

#ifdef QV_HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

namespace {

constexpr int kPad = 40;
constexpr int kHeight = 40;

// `pixel(x, y)` gives the luminance of the w x h barcode, which is padded with white.
template <class Pixel>
DecodedBarcode Decode(int w, int h, Pixel pixel, const DecodeOptions &options) {
    DecodedBarcode out;
#ifdef QV_HAVE_ZXING
    const int pw = w + 2 * kPad, ph = h + 2 * kPad;
    std::vector<uint8_t> lum(static_cast<size_t>(pw) * ph, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) lum[static_cast<size_t>(y + kPad) * pw + x + kPad] = pixel(x, y);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    hints.setTryCode39ExtendedMode(options.code39Extended);
    hints.setValidateCode39CheckSum(options.code39Check);
    hints.setValidateITFCheckSum(options.itfCheck);
    hints.setReturnCodabarStartEnd(options.codabarStartStop);
    hints.setEanAddOnSymbol(options.requireAddOn ? ZXing::EanAddOnSymbol::Require : ZXing::EanAddOnSymbol::Ignore);
    const ZXing::Result r = ZXing::ReadBarcode(ZXing::ImageView(lum.data(), pw, ph, ZXing::ImageFormat::Lum), hints);
    if (!r.isValid()) return out;
    out.ok = true;
    out.format = ZXing::ToString(r.format());
    out.text = r.text();
    out.bytes.assign(r.bytes().begin(), r.bytes().end());
    out.symbologyId = r.symbologyIdentifier();
#else
    (void)w, (void)h, (void)pixel, (void)options;
#endif
    return out;
}

}  // namespace

DecodedBarcode RenderAndDecode(int type, const char *text, int unit, const DecodeOptions &options) {
    int w = 0, h = 0;
    unsigned char *rgb = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(type, unit, 0, kHeight, text, &w, &h);
    if (!rgb) return {};
    const DecodedBarcode out =
        Decode(w, h, [&](int x, int y) { return rgb[(static_cast<size_t>(y) * w + x) * 3]; }, options);
    std::free(rgb);
    return out;
}

std::string DecodeModuleBytes(const std::vector<unsigned char> &modules) {
    const int unit = 2;
    const DecodedBarcode r = Decode(
        static_cast<int>(modules.size()) * unit, kHeight,
        [&](int x, int) { return static_cast<uint8_t>(modules[static_cast<size_t>(x / unit)] ? 0 : 255); }, {});
    return r.ok && r.format == "Code128" ? r.bytes : std::string();
}
