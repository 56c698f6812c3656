#include "BarcodeDecode.h"

#include <cstdlib>
#include <vector>

#include "quorvantelmise.h"

#ifdef QV_HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

DecodedBarcode RenderAndDecode(int type, const char *text, int unit, const DecodeOptions &options) {
    DecodedBarcode out;
#ifdef QV_HAVE_ZXING
    int w = 0, h = 0;
    constexpr int kHeight = 40;
    unsigned char *rgb = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(type, unit, 0, kHeight, text, &w, &h);
    if (!rgb) return out;
    const int pad = 40;
    const int pw = w + 2 * pad, ph = h + 2 * pad;
    std::vector<uint8_t> lum(static_cast<size_t>(pw) * ph, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) lum[static_cast<size_t>(y + pad) * pw + x + pad] = rgb[(static_cast<size_t>(y) * w + x) * 3];
    std::free(rgb);
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
    (void)type, (void)text, (void)unit, (void)options;
#endif
    return out;
}
