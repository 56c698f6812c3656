#include "nzcommon/imgprocess/NZBmpReader.h"

#include <cstdint>
#include <cstring>

#include "nzcommon/imgprocess/NZImageBuffer.h"

namespace {

class BmpReader {
public:
    BmpReader(const unsigned char *data, size_t length) : data_(data), length_(length) {}

    unsigned char *Read(int *out_bpp, int *out_width, int *out_height);

private:
    bool U16(uint32_t *v) {
        if (length_ - pos_ < 2) return false;
        *v = data_[pos_] | data_[pos_ + 1] << 8;
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t *v) {
        if (length_ - pos_ < 4) return false;
        *v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
             static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return true;
    }
    bool Skip(uint64_t n) {
        if (n > length_ - pos_) return false;
        pos_ += static_cast<size_t>(n);
        return true;
    }
    bool ReadHeaders();
    void DecodeRow(const unsigned char *row, unsigned char *out) const;

    const unsigned char *data_;
    size_t length_;
    size_t pos_ = 0;
    uint32_t pixelOffset_ = 0, infoSize_ = 0, bpp_ = 0;
    int32_t width_ = 0, height_ = 0;
    uint64_t absHeight_ = 0, rowBytes_ = 0;
    unsigned char palette_[256][4] = {};
};

bool BmpReader::ReadHeaders() {
    if (length_ < 2 || data_[0] != 'B' || data_[1] != 'M') return false;
    pos_ = 2;
    uint32_t file_size, reserved, planes, compression, width, height;
    if (!U32(&file_size) || !U32(&reserved) || !U32(&pixelOffset_)) return false;
    if (!U32(&infoSize_) || !U32(&width) || !U32(&height) || !U16(&planes) || !U16(&bpp_) || !U32(&compression))
        return false;
    (void)file_size, (void)reserved, (void)planes;
    // Shorter (OS/2 core) headers hold 16-bit fields at other offsets: reading them as
    // these would decode garbage. stb_image reads them correctly.
    if (infoSize_ < 40) return false;
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);
    if (width_ <= 0 || height_ == 0 || compression != 0) return false;
    if (bpp_ != 1 && bpp_ != 4 && bpp_ != 8 && bpp_ != 24) return false;
    // 64-bit: INT_MIN has no 32-bit magnitude, and rows of huge widths wrap 32 bits.
    absHeight_ = height_ < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(height_)) : static_cast<uint64_t>(height_);
    rowBytes_ = (static_cast<uint64_t>(width_) * bpp_ + 31) / 32 * 4;
    if (bpp_ <= 8) {
        if (!Skip(uint64_t{infoSize_} - 20)) return false;
        const uint32_t colours = 1u << bpp_;
        if (uint64_t{colours} * 4 > length_ - pos_) return false;
        std::memcpy(palette_, data_ + pos_, colours * 4);
        pos_ += colours * 4;
    }
    // Every row must be in the data: checked before anything that size is allocated.
    if (pixelOffset_ > length_) return false;
    const uint64_t available = length_ - pixelOffset_;
    if (rowBytes_ == 0 || absHeight_ > available / rowBytes_) return false;
    return true;
}

void BmpReader::DecodeRow(const unsigned char *row, unsigned char *out) const {
    const uint32_t w = static_cast<uint32_t>(width_);
    switch (bpp_) {
    case 24:
        for (uint32_t x = 0; x < w; ++x, row += 3, out += 3) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
        }
        return;
    case 8:
        for (uint32_t x = 0; x < w; ++x, out += 3) {
            const unsigned char *p = palette_[row[x]];
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
        }
        return;
    case 4:
        for (uint32_t x = 0; x < w; ++x, out += 3) {
            const unsigned idx = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
            const unsigned char *p = palette_[idx];
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
        }
        return;
    default:
        for (uint32_t x = 0; x < w; ++x, out += 3) {
            const unsigned char *p = palette_[(row[x / 8] >> (7 - x % 8)) & 1];
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
        }
        return;
    }
}

unsigned char *BmpReader::Read(int *out_bpp, int *out_width, int *out_height) {
    if (!ReadHeaders()) return nullptr;
    size_t out_row, size;
    if (!nzimg::MulSize(static_cast<size_t>(width_), 3, &out_row) ||
        !nzimg::MulSize(out_row, static_cast<size_t>(absHeight_), &size) || absHeight_ > 0x7FFFFFFF)
        return nullptr;
    unsigned char *out = nzimg::AllocBytes(size);
    if (!out) return nullptr;
    const bool bottom_up = height_ > 0;
    const unsigned char *rows = data_ + pixelOffset_;
    for (uint64_t i = 0; i < absHeight_; ++i) {
        const uint64_t y = bottom_up ? absHeight_ - 1 - i : i;
        DecodeRow(rows + i * rowBytes_, out + y * out_row);
    }
    *out_bpp = static_cast<int>(bpp_);
    *out_width = width_;
    *out_height = static_cast<int>(absHeight_);
    return out;
}

} // namespace

unsigned char *nzbmpreadrgb(const unsigned char *data, size_t length, int *out_bpp, int *out_width,
                            int *out_height) {
    if (!data || !out_bpp || !out_width || !out_height) return nullptr;
    return BmpReader(data, length).Read(out_bpp, out_width, out_height);
}
