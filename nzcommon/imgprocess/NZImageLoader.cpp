#include "nzcommon/imgprocess/NZImageLoader.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/RegularFile.h"
#include "nzcommon/imgprocess/NZBmpReader.h"
#include "nzcommon/imgprocess/NZImageBinarize.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "nzcommon/imgprocess/NZImageScale.h"
#include "nzcommon/imgprocess/NZStbImage.h"

using nzimg::DecodedImage;
using nzimg::MallocPtr;
using nzimg::MulSize;
using nzimg::SetOut;

namespace {

uint32_t Le(const unsigned char *p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// stb_image decodes an uncompressed BMP whose rows are missing as zero (black) pixels,
// and sizes it by the header alone: a few hundred bytes can claim a gigabyte. A BMP that
// cannot hold its rows is refused before it gets there.
bool BmpRowsCanBePresent(const unsigned char *data, size_t length) {
    if (length < 2 || data[0] != 'B' || data[1] != 'M') return true; // not a BMP
    if (length < 26) return false;
    const uint32_t info = Le(data + 14, 4);
    uint64_t w, h, bpp;
    uint32_t compression = 0;
    if (info == 12) { // core header: 16-bit fields
        w = Le(data + 18, 2), h = Le(data + 20, 2), bpp = Le(data + 24, 2);
    } else {
        if (length < 34) return false;
        const int32_t sw = static_cast<int32_t>(Le(data + 18, 4)), sh = static_cast<int32_t>(Le(data + 22, 4));
        w = sw < 0 ? uint64_t(-int64_t{sw}) : uint64_t(sw);
        h = sh < 0 ? uint64_t(-int64_t{sh}) : uint64_t(sh);
        bpp = Le(data + 28, 2);
        compression = Le(data + 30, 4);
    }
    // Left to stb_image, which refuses them; it reads a negative value as none.
    if (static_cast<int32_t>(compression) > 0 && compression != 3 && compression != 6) return true;
    const uint64_t row = (w * bpp + 31) / 32 * 4; // w < 2^32, bpp < 2^16: no wrap
    // Rows start at the pixel offset; a file whose offset points inside its headers still
    // cannot start them before the headers end.
    const uint64_t offset = Le(data + 10, 4), headers = 14 + uint64_t{info};
    const uint64_t start = offset > headers ? offset : headers;
    if (start > length) return false;
    return row == 0 || h <= (length - start) / row;
}

// stb_image counts a palette BMP's colours from its pixel offset (four fewer than a file
// with a 12-byte header holds) and gives a pixel past that count a colour from its
// uninitialised stack. Such a file reaches it as a copy whose palette holds every
// colour a pixel can name: the file's own, then black. A file that holds no colour at all
// is refused; *copy stays empty for every other file.
bool PadShortBmpPalette(const unsigned char *data, size_t length, std::vector<unsigned char> *copy) {
    if (length < 26 || data[0] != 'B' || data[1] != 'M') return true;
    const uint32_t info = Le(data + 14, 4);
    const bool core = info == 12;
    if (!core && info != 40 && info != 56 && info != 108 && info != 124) return true; // stb_image refuses
    // stb_image refuses compression with a palette, but reads a negative value as none.
    if (!core && (length < 34 || static_cast<int32_t>(Le(data + 30, 4)) > 0)) return true;
    const uint32_t bpp = Le(data + (core ? 24 : 28), 2);
    if (bpp != 1 && bpp != 4 && bpp != 8) return true;
    const int64_t offset = Le(data + 10, 4);
    if (offset > INT_MAX) return true; // a negative int to stb_image: refused
    // stb_image's count, in its arithmetic; it refuses a count of 0.
    const int64_t counted = core ? (offset - 38) / 3 : (offset - 14 - info) >> 2;
    const size_t colours = size_t{1} << bpp;
    if (counted == 0 || counted >= static_cast<int64_t>(colours)) return true;
    const size_t headers = 14 + size_t{info}, entry = core ? 3 : 4;
    const size_t start = static_cast<size_t>(offset) > headers ? static_cast<size_t>(offset) : headers;
    if (start > length) return true; // refused for its rows
    const size_t own = std::min((start - headers) / entry, colours);
    // After the palette of a 12-byte header stb_image skips the 12 bytes it miscounted.
    const size_t pixels_at = headers + colours * entry + (core ? 12 : 0);
    if (own == 0 || pixels_at + (length - start) > INT_MAX) return false;
    copy->reserve(pixels_at + (length - start));
    copy->assign(data, data + headers + own * entry);
    copy->resize(pixels_at, 0);
    copy->insert(copy->end(), data + start, data + length);
    for (int i = 0; i < 4; ++i) (*copy)[10 + i] = static_cast<unsigned char>(pixels_at >> (8 * i));
    return true;
}

bool PnmSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

struct PnmHeader {
    int channels = 0; // 0: not a binary PNM
    uint64_t maxval = 0; // samples take two bytes above 255
};

// stb_image reads the pixels of an uncompressed PNM or TGA file with one bounded copy
// per image or row and ignores a copy that runs out of data: those pixels are then
// whatever the fresh allocation held. Such files are refused when their pixels cannot
// all be present. The header is scanned as stb_image scans it into *pnm.
bool PnmPixelsCanBePresent(const unsigned char *data, size_t length, PnmHeader *pnm) {
    if (length < 2 || data[0] != 'P' || (data[1] != '5' && data[1] != '6')) return true; // not a binary PNM
    size_t pos = 2;
    auto eof = [&] { return pos >= length; };
    auto next = [&] { return eof() ? '\0' : static_cast<char>(data[pos++]); };
    char c = next();
    auto skip = [&] {
        for (;;) {
            while (!eof() && PnmSpace(static_cast<unsigned char>(c))) c = next();
            if (eof() || c != '#') return;
            while (!eof() && c != '\n' && c != '\r') c = next();
        }
    };
    // stb_image reads each number into an int that overflows past INT_MAX (and refuses
    // sizes far below it): such a header is refused here.
    bool overflows = false;
    auto number = [&] {
        uint64_t v = 0;
        while (!eof() && c >= '0' && c <= '9') {
            v = v * 10 + static_cast<uint64_t>(c - '0');
            if (v > INT_MAX) overflows = true, v = uint64_t{INT_MAX} + 1;
            c = next();
        }
        return v;
    };
    skip();
    const uint64_t w = number();
    skip();
    const uint64_t h = number();
    skip();
    const uint64_t maxv = number();
    if (overflows) return false;
    const int channels = data[1] == '6' ? 3 : 1;
    pnm->channels = channels, pnm->maxval = maxv;
    const uint64_t bytes = static_cast<uint64_t>(channels) * (maxv > 255 ? 2 : 1);
    const uint64_t left = length - pos;
    return w == 0 || h == 0 || (w <= left && h <= left && w * h <= left / bytes);
}

// stb_image ignores a PNM's maximum value. Its samples 0 to `top` as bytes: s * 255 /
// maxval rounded, and those above the maximum (which stb_image keeps) as 255.
std::vector<unsigned char> PnmLevels(uint32_t maxval, uint32_t top) {
    std::vector<unsigned char> levels(size_t{top} + 1, 255);
    for (uint32_t s = 0; s < maxval && s <= top; ++s) levels[s] = static_cast<unsigned char>((s * 255 + maxval / 2) / maxval);
    return levels;
}

bool TgaPixelsCanBePresent(const unsigned char *data, size_t length) {
    // Colour-map type 0 with image type 2 or 3 (uncompressed true colour or gray); no
    // other format stb_image reads has a zero second byte, so this is its TGA reader.
    if (length < 18 || data[1] != 0 || (data[2] != 2 && data[2] != 3)) return true;
    const uint64_t w = Le(data + 12, 2), h = Le(data + 14, 2), bits = data[16];
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return true; // stb_image refuses
    // 15- and 16-bit pixels are read byte by byte, missing ones as black: refused like
    // missing BMP rows.
    return 18 + uint64_t{data[0]} + w * h * ((bits + 7) / 8) <= length;
}

// Whether stb_image takes the data for a JPEG, which has no transparency: the readers it
// tries before need other first bytes, and its JPEG reader accepts a start-of-image marker
// after any 0xFF fill bytes.
bool IsJpeg(const unsigned char *data, size_t length) {
    if (length < 2 || data[0] != 0xFF) return false;
    size_t i = 1;
    while (i < length && data[i] == 0xFF) ++i;
    return i < length && data[i] == 0xD8;
}

// Two kinds of Huffman table make stb_image write or read past its arrays: one whose 16
// code counts add up to more than the 256 codes it has room for, and one that a scan
// decodes with but no DHT segment defined (its memory is left as it was). Every segment it
// can reach is checked, found as it finds them: segments by their lengths, bytes between
// them skipped to the next 0xFF, and in entropy-coded data the next 0xFF followed by a byte
// that is neither 0 nor a restart. Bytes past the end read as 0, as stb_image reads them.
bool JpegHuffmanTablesAreSound(const unsigned char *data, size_t length) {
    auto at = [&](size_t i) -> unsigned { return i < length ? data[i] : 0; };
    unsigned defined[2] = {0, 0}; // bit t: DC or AC table t
    bool framed = false, progressive = false; // the first frame header decides
    size_t i = 0;
    while (i < length && data[i] == 0xFF) ++i;
    ++i; // the start-of-image marker
    bool in_scan = false;
    while (i < length) {
        const void *ff = std::memchr(data + i, 0xFF, length - i);
        if (!ff) return true;
        size_t m = static_cast<size_t>(static_cast<const unsigned char *>(ff) - data) + 1;
        while (m < length && data[m] == 0xFF) ++m; // fill bytes
        if (m >= length) return true;
        const unsigned marker = data[m];
        if (in_scan && (marker == 0 || (marker >= 0xD0 && marker <= 0xD7))) {
            i = m + 1;
            continue;
        }
        // No other marker stands alone in a file that stb_image goes on reading.
        if (marker == 0 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) return true;
        const size_t segment = at(m + 1) << 8 | at(m + 2);
        if (marker == 0xC4) {
            long left = static_cast<long>(segment) - 2;
            for (size_t t = m + 3; left > 0;) {
                const unsigned q = at(t);
                if (q >> 4 > 1 || (q & 15) > 3) return true; // stb_image refuses the segment
                size_t codes = 0;
                for (size_t k = 1; k <= 16; ++k) codes += at(t + k);
                if (codes > 256) return false;
                defined[q >> 4] |= 1u << (q & 15);
                left -= static_cast<long>(17 + codes);
                t += 17 + codes;
            }
            if (left != 0) return true; // refused
        } else if (segment < 2) {
            return true; // refused
        } else if (!framed && marker >= 0xC0 && marker <= 0xC2) {
            framed = true, progressive = marker == 0xC2;
        } else if (marker == 0xDA) {
            // The tables the scan's components decode with: a progressive scan's first DC
            // pass its DC tables, its AC passes their AC tables; a sequential scan both.
            const size_t n = at(m + 3), bands = m + 4 + 2 * n;
            const bool dc = !progressive || (at(bands) == 0 && at(bands + 2) >> 4 == 0);
            const bool ac = !progressive || at(bands) != 0;
            for (size_t c = 0; c < n; ++c) {
                const unsigned q = at(m + 5 + 2 * c);
                if (q >> 4 > 3 || (q & 15) > 3) return true; // refused
                if ((dc && !(defined[0] >> (q >> 4) & 1)) || (ac && !(defined[1] >> (q & 15) & 1))) return false;
            }
        }
        i = m + 1 + segment;
        in_scan = marker == 0xDA;
    }
    return true;
}

} // namespace

namespace nzimg {

// stb_image gathers a PNG's IDAT chunks into one buffer that it grows to each chunk's
// declared length before it reads the chunk, so a few bytes declaring a chunk of a gigabyte
// allocate that much. A chunk that runs past the data fails to decode anyway; it is refused
// before stb_image sees it.
bool PngChunksArePresent(const unsigned char *data, size_t length) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (length < 8 || std::memcmp(data, signature, 8) != 0) return true;
    size_t pos = 8;
    while (length - pos >= 8) {
        const uint64_t chunk = (uint64_t{data[pos]} << 24 | uint64_t{data[pos + 1]} << 16 | uint64_t{data[pos + 2]} << 8 |
                                uint64_t{data[pos + 3]}) + 12; // length, type and CRC around the data
        // stb_image stops at IEND without reading its CRC; a file cut there still decodes.
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0) return true;
        if (chunk > length - pos) return false;
        pos += chunk;
    }
    return true; // what is left cannot hold a chunk header: stb_image fails on it by itself
}

namespace {
std::atomic<unsigned long> decodes{0};
} // namespace

unsigned long DecodeCount() { return decodes.load(std::memory_order_relaxed); }

// Two-byte samples: stb_image's narrowing to bytes keeps the byte that lies second, the
// least significant; asked for other channels than the file's it converts them as if they
// were bytes, into a buffer that its narrowing then overruns. They are read here whole, in
// the file's own channels, most significant byte first, and gray is widened to RGB.
static bool DecodeWidePnm(const unsigned char *data, int length, const PnmHeader &pnm, DecodedImage *out) {
    int w = 0, h = 0, n = 0;
    const std::unique_ptr<unsigned short, void (*)(void *)> samples(
        nzimg::StbLoad16FromMemory(data, length, &w, &h, &n, pnm.channels), nzimg::StbImageFree);
    size_t dots, bytes;
    if (!samples || w <= 0 || h <= 0 || !MulSize(static_cast<size_t>(w), static_cast<size_t>(h), &dots) ||
        !MulSize(dots, 3, &bytes))
        return false;
    auto *rgb = static_cast<unsigned char *>(std::malloc(bytes));
    if (!rgb) return false;
    out->pixels = {rgb, &std::free};
    const std::vector<unsigned char> levels = PnmLevels(static_cast<uint32_t>(pnm.maxval), 0xFFFF);
    const auto *be = reinterpret_cast<const unsigned char *>(samples.get());
    const size_t step = pnm.channels == 3 ? 2 : 0;
    for (size_t i = 0; i < dots; ++i, be += 2 * pnm.channels)
        for (size_t c = 0; c < 3; ++c) rgb[3 * i + c] = levels[be[step * c] << 8 | be[step * c + 1]];
    out->format = CP_ImagePixelsFormat_Rgb888;
    out->opaque = true;
    out->bpp = n * 8, out->width = w, out->height = h;
    return true;
}

bool DecodeImage(const unsigned char *data, size_t length, DecodedImage *out) {
    decodes.fetch_add(1, std::memory_order_relaxed);
    if (!data || length == 0) return false;
    int bpp = 0, w = 0, h = 0;
    if (unsigned char *rgb = nzbmpreadrgb(data, length, &bpp, &w, &h)) {
        out->pixels.reset(rgb);
        out->format = CP_ImagePixelsFormat_Rgb888;
        out->bpp = bpp, out->width = w, out->height = h;
        return true;
    }
    PnmHeader pnm;
    if (length > INT_MAX || !BmpRowsCanBePresent(data, length) || !PnmPixelsCanBePresent(data, length, &pnm) ||
        !TgaPixelsCanBePresent(data, length) || !PngChunksArePresent(data, length))
        return false;
    std::vector<unsigned char> padded;
    if (!PadShortBmpPalette(data, length, &padded)) return false;
    if (!padded.empty()) data = padded.data(), length = padded.size();
    if (pnm.maxval > 255) return DecodeWidePnm(data, static_cast<int>(length), pnm, out);
    // Four channels whatever the file holds: transparency can also come from a palette or
    // a transparent-colour chunk, and fully transparent pixels are often black underneath.
    // (Four is also what stb_image's fast colour conversion of a JPEG writes.) Its buffer is
    // kept: a photograph's pixels are tens of megabytes.
    const bool jpeg = IsJpeg(data, length);
    if (jpeg && !JpegHuffmanTablesAreSound(data, length)) return false;
    int channels = 0;
    unsigned char *pixels = nzimg::StbLoadFromMemory(data, static_cast<int>(length), &w, &h, &channels, 4);
    if (!pixels) return false;
    out->pixels = {pixels, nzimg::StbImageFree};
    size_t dots;
    if (w <= 0 || h <= 0 || !MulSize(static_cast<size_t>(w), static_cast<size_t>(h), &dots) || dots > SIZE_MAX / 4)
        return false;
    out->format = CP_ImagePixelsFormat_Rgba8888;
    out->opaque = jpeg;
    out->bpp = channels * 8, out->width = w, out->height = h;
    // A PNM's samples scaled by its maximum value (one of 0 has no scale: kept as stored).
    if (pnm.channels && pnm.maxval != 255 && pnm.maxval != 0) {
        const std::vector<unsigned char> levels = PnmLevels(static_cast<uint32_t>(pnm.maxval), 255);
        for (unsigned char *p = pixels, *end = pixels + dots * 4; p != end; p += 4)
            p[0] = levels[p[0]], p[1] = levels[p[1]], p[2] = levels[p[2]];
    }
    return true;
}

} // namespace nzimg

namespace {

// RGBA8888 pixels composited over white where they are not opaque, alpha then 255: the
// bytes the gray conversion would see, so that scaling mixes no hidden colour.
void CompositeOverWhiteInPlace(unsigned char *rgba, size_t dots) {
    for (size_t i = 0; i < dots; ++i, rgba += 4) {
        const unsigned char a = rgba[3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c) rgba[c] = nzimg::OverWhite(a, rgba[c]);
        rgba[3] = 255;
    }
}

} // namespace

namespace nzimg {

bool MayStartImage(const unsigned char *head, size_t n) {
    auto starts = [&](const char *signature) {
        const size_t len = std::strlen(signature);
        return n >= len && std::memcmp(head, signature, len) == 0;
    };
    // The own reader's and stb_image's: PNG, BMP, GIF, PSD, PIC, PNM, Radiance HDR, and
    // JPEG from its first byte (fill bytes may follow).
    if (starts("\x89PNG\r\n\x1A\n") || starts("BM") || starts("GIF8") || starts("8BPS") || starts("\x53\x80\xF6\x34") ||
        starts("P5") || starts("P6") || starts("#?") || (n >= 1 && head[0] == 0xFF))
        return true;
    // TGA has no signature: stb_image's test starts with a colour-map type of 0 or 1 and
    // an image type it reads.
    if (n < 3 || head[1] > 1) return false;
    const unsigned char type = head[2];
    return type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
}

bool ReadImageFile(const char *path, RegularFile *out) {
    return RegularFile::Read(path, INT_MAX, out, kImageHeadBytes, MayStartImage);
}

PixelView DecodedImage::View() const {
    const size_t w = static_cast<size_t>(width);
    return {pixels.get(), w, static_cast<size_t>(height), RowBytes(format, w), format};
}

bool DecodedToMonoRaster(DecodedImage &img, size_t width, size_t height, CP_ImageBinarizationMethod method,
                         MonoRaster *out) {
    if (!nzimg::ValidBinarizationMethod(method) || !img.pixels) return false;
    const PixelView own = img.View();
    if (own.width == width && own.height == height) return PixelsToMonoRaster(own, method, out);
    // Pixels with alpha are composited over white before scaling, where transparent pixels
    // would otherwise bleed their colour into their neighbours.
    const bool rgba = own.format == CP_ImagePixelsFormat_Rgba8888;
    if (rgba && !img.opaque) {
        CompositeOverWhiteInPlace(img.pixels.get(), own.width * own.height);
        img.opaque = true;
    }
    const MallocPtr<unsigned char> scaled = rgba ? ScaleRgb888FromRgbx(own.data, own.width, own.height, width, height)
                                                 : ScaleRgb888(own.data, own.width, own.height, width, height);
    if (!scaled) return false;
    return PixelsToMonoRaster({scaled.get(), width, height, RowBytes(CP_ImagePixelsFormat_Rgb888, width),
                               CP_ImagePixelsFormat_Rgb888},
                              method, out);
}

} // namespace nzimg

namespace {

using nzimg::MonoRaster;

// A decoded image at width x height as a horizontal raster with its size reported.
unsigned char *ToHorizontal(DecodedImage &img, size_t width, size_t height, CP_ImageBinarizationMethod method,
                            size_t *out_size, size_t *out_bpl) {
    MonoRaster r;
    if (!nzimg::DecodedToMonoRaster(img, width, height, method, &r)) return nullptr;
    SetOut(out_size, r.size());
    SetOut(out_bpl, r.bytes_per_line);
    return r.bits.release();
}

// A decoded image at width x height as a vertical raster of (height + 7) / 8 bytes per column.
unsigned char *ToVertical(DecodedImage &img, size_t dw, size_t dh, CP_ImageBinarizationMethod method,
                          size_t *out_size, size_t *out_height_bytes) {
    MonoRaster r;
    if (!nzimg::DecodedToMonoRaster(img, dw, dh, method, &r)) return nullptr;
    MallocPtr<unsigned char> image1(
        Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(r.bytes_per_line, dw, dh, r.bits.get()));
    if (!image1) return nullptr;
    const size_t hb = dh / 8 + (dh % 8 != 0);
    unsigned char *v = Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(
        dw, dh, image1.get(), dw, hb);
    if (!v) return nullptr;
    SetOut(out_size, dw * hb);
    SetOut(out_height_bytes, hb);
    return v;
}

size_t Width(const DecodedImage &img) { return static_cast<size_t>(img.width); }
size_t Height(const DecodedImage &img) { return static_cast<size_t>(img.height); }

size_t RoundUp(size_t v, size_t m) {
    if (m <= 1) return v;
    const size_t r = v % m;
    return r == 0 ? v : v + (m - r); // caller sizes are far below the wrap
}

} // namespace

extern "C" {

CP_API unsigned char *Quorvantelmise_ImgUtils_ReadFile(const char *path, long *out_size) {
    RegularFile file;
    const bool read = RegularFile::Read(path, nzimg::kMaxBufferBytes, &file);
    if (out_size) *out_size = static_cast<long>(file.found_size);
    return read ? file.bytes.release() : nullptr;
}

CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromData(const unsigned char *data, size_t length, int *out_bpp,
                                                        int *out_width, int *out_height) {
    DecodedImage img;
    const bool ok = nzimg::DecodeImage(data, length, &img);
    if (out_bpp) *out_bpp = ok ? img.bpp : 0;
    if (out_width) *out_width = ok ? img.width : 0;
    if (out_height) *out_height = ok ? img.height : 0;
    return ok;
}

CP_API int Quorvantelmise_ImgUtils_GetImageSizeFromFile(const char *path, int *out_bpp, int *out_width,
                                                        int *out_height) {
    RegularFile file;
    if (!nzimg::ReadImageFile(path, &file)) return 0;
    return Quorvantelmise_ImgUtils_GetImageSizeFromData(file.bytes.get(), file.size, out_bpp, out_width, out_height);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(const unsigned char *data, size_t length,
                                                                          size_t dst_width, size_t dst_height,
                                                                          CP_ImageBinarizationMethod method,
                                                                          size_t *out_size, size_t *out_bpl) {
    DecodedImage img;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::DecodeImage(data, length, &img)) return nullptr;
    return ToHorizontal(img, dst_width, dst_height, method, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(const char *path, size_t dst_width,
                                                                          size_t dst_height,
                                                                          CP_ImageBinarizationMethod method,
                                                                          size_t *out_size, size_t *out_bpl) {
    RegularFile file;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::ReadImageFile(path, &file)) return nullptr;
    return Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(file.bytes.get(), file.size, dst_width, dst_height,
                                                                method, out_size, out_bpl);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bpl,
    size_t *out_width, size_t *out_height) {
    DecodedImage img;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::DecodeImage(data, length, &img)) return nullptr;
    unsigned char *r = ToHorizontal(img, Width(img), Height(img), method, out_size, out_bpl);
    if (!r) return nullptr;
    SetOut(out_width, Width(img));
    SetOut(out_height, Height(img));
    return r;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormatWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bpl, size_t *out_width,
    size_t *out_bpp) {
    RegularFile file;
    DecodedImage img;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::ReadImageFile(path, &file) || !nzimg::DecodeImage(file.bytes.get(), file.size, &img))
        return nullptr;
    unsigned char *r = ToHorizontal(img, Width(img), Height(img), method, out_size, out_bpl);
    if (!r) return nullptr;
    SetOut(out_width, Width(img));
    SetOut(out_bpp, static_cast<size_t>(img.bpp));
    return r;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(
    const unsigned char *data, size_t length, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method,
    size_t *out_size, size_t *out_height_bytes) {
    DecodedImage img;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::DecodeImage(data, length, &img)) return nullptr;
    return ToVertical(img, dst_width, dst_height, method, out_size, out_height_bytes);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImage(
    const char *path, size_t dst_width, size_t dst_height, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_height_bytes) {
    RegularFile file;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::ReadImageFile(path, &file)) return nullptr;
    return Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(file.bytes.get(), file.size, dst_width,
                                                                         dst_height, method, out_size,
                                                                         out_height_bytes);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method, size_t *out_size,
    size_t *out_height_bytes, size_t *out_width, size_t *out_bpp) {
    DecodedImage img;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::DecodeImage(data, length, &img)) return nullptr;
    unsigned char *v = ToVertical(img, Width(img), Height(img), method, out_size, out_height_bytes);
    if (!v) return nullptr;
    SetOut(out_width, Width(img));
    SetOut(out_bpp, static_cast<size_t>(img.bpp));
    return v;
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageFileToVerticalRasterImageWithoutScale(
    const char *path, CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_height_bytes,
    size_t *out_width, size_t *out_bpp) {
    RegularFile file;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::ReadImageFile(path, &file)) return nullptr;
    return Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImageWithoutScale(
        file.bytes.get(), file.size, method, out_size, out_height_bytes, out_width, out_bpp);
}

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(
    const unsigned char *data, size_t length, CP_ImageBinarizationMethod method, size_t width_align,
    size_t height_align, size_t *out_size, size_t *out_bpl, size_t *out_width, size_t *out_height) {
    DecodedImage img;
    MonoRaster r;
    if (!nzimg::ValidBinarizationMethod(method) || !nzimg::DecodeImage(data, length, &img) ||
        !nzimg::DecodedToMonoRaster(img, Width(img), Height(img), method, &r))
        return nullptr;
    const size_t width_dots = RoundUp(r.bytes_per_line * 8, width_align);
    const size_t bpl = width_dots / 8 + (width_dots % 8 != 0);
    const size_t height = RoundUp(r.height, height_align);
    unsigned char *aligned =
        Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(r.bits.get(), r.bytes_per_line, r.height, bpl, height, 0x00);
    if (!aligned) return nullptr;
    SetOut(out_size, bpl * height);
    SetOut(out_bpl, bpl);
    SetOut(out_width, width_dots);
    SetOut(out_height, height);
    return aligned;
}

} // extern "C"
