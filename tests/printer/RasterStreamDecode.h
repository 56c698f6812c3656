#pragma once

// Reads back the image in a stream of receipt raster commands (GS v 0, US ( P, US ( J,
// GS 8 L with its print trailer), as a printer would, so that tests can compare pixels and
// decode printed symbols. JBIG banks go through JBIG-KIT's decoder.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "quorvantelmise.h"

namespace rasterstream {

struct Image {
    size_t bytes_per_line = 0;
    size_t height = 0;
    std::vector<uint8_t> bits;  // 1 = black, MSB leftmost
    std::vector<std::string> commands;  // the command of each bank or row, in order
    std::string error;                  // empty when the whole stream was read

    bool Black(size_t x, size_t y) const {
        return (bits[y * bytes_per_line + x / 8] & (0x80 >> (x % 8))) != 0;
    }
};

namespace detail {

inline size_t Le16(const std::vector<uint8_t>& s, size_t at) {
    return s[at] | static_cast<size_t>(s[at + 1]) << 8;
}

inline bool Starts(const std::vector<uint8_t>& s, size_t at, std::initializer_list<uint8_t> head) {
    if (at + head.size() > s.size()) return false;
    size_t i = at;
    for (uint8_t b : head)
        if (s[i++] != b) return false;
    return true;
}

inline bool AddRows(Image& image, size_t bytes_per_line, const uint8_t* rows, size_t count) {
    if (image.bytes_per_line == 0) image.bytes_per_line = bytes_per_line;
    if (bytes_per_line != image.bytes_per_line) return false;
    image.bits.insert(image.bits.end(), rows, rows + bytes_per_line * count);
    image.height += count;
    return true;
}

}  // namespace detail

inline Image Decode(const std::vector<uint8_t>& s) {
    using detail::Le16;
    using detail::Starts;
    Image image;
    size_t at = 0;
    auto fail = [&](const std::string& why) {
        image.error = why + " at byte " + std::to_string(at);
        return image;
    };
    while (at < s.size()) {
        if (Starts(s, at, {0x1D, 0x76, 0x30, 0x00}) && at + 8 <= s.size()) {
            const size_t bpl = Le16(s, at + 4), rows = Le16(s, at + 6);
            if (at + 8 + bpl * rows > s.size()) return fail("short GS v 0");
            if (!detail::AddRows(image, bpl, &s[at + 8], rows)) return fail("GS v 0 width");
            image.commands.push_back("GS v 0");
            at += 8 + bpl * rows;
        } else if (Starts(s, at, {0x1F, 0x28, 0x50}) && at + 5 <= s.size()) {
            const size_t n = Le16(s, at + 3);
            if (n == 0 || at + 5 + n > s.size()) return fail("short US ( P");
            const uint8_t* body = &s[at + 5];
            std::vector<uint8_t> row;
            if (body[0] == 0) {
                row.assign(body + 1, body + n);
            } else {
                if (body[0] + 1u != n || body[0] % 2 != 0) return fail("US ( P pair count");
                for (size_t i = 1; i < n; i += 2) row.insert(row.end(), body[i + 1], body[i]);
            }
            if (!detail::AddRows(image, row.size(), row.data(), 1)) return fail("US ( P width");
            image.commands.push_back("US ( P");
            at += 5 + n;
        } else if (Starts(s, at, {0x1F, 0x28, 0x4A}) && at + 8 <= s.size()) {
            const size_t n = Le16(s, at + 3), width = Le16(s, at + 5), rows = s[at + 7];
            if (n < 3 || at + 5 + n > s.size()) return fail("short US ( J");
            size_t bpl = 0, w = 0, h = 0, produced = 0;
            Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(&s[at + 8], n - 3, &bpl, &w, &h,
                                                                  nullptr, 0, &produced);
            std::vector<uint8_t> bank(produced);
            if (!Quorvantelmise_ImgUtils_DecodeRasterImageFromJBIG5Data(
                    &s[at + 8], n - 3, &bpl, &w, &h, bank.data(), bank.size(), &produced) ||
                w != width || h != rows || bpl * 8 != width) {
                return fail("US ( J image");
            }
            if (!detail::AddRows(image, bpl, bank.data(), rows)) return fail("US ( J width");
            image.commands.push_back("US ( J");
            at += 5 + n;
        } else if (Starts(s, at, {0x1D, 0x38, 0x4C}) && at + 17 <= s.size() &&
                   Starts(s, at + 7, {0x30, 0x70, 0x30, 0x01, 0x01, 0x31})) {
            const size_t p = s[at + 3] | s[at + 4] << 8 | s[at + 5] << 16 |
                             static_cast<size_t>(s[at + 6]) << 24;
            const size_t width = Le16(s, at + 13), rows = Le16(s, at + 15);
            if (width % 8 != 0 || rows % 8 != 0 || p != width / 8 * rows + 10 ||
                at + 7 + p > s.size()) {
                return fail("GS 8 L store fields");
            }
            if (!detail::AddRows(image, width / 8, &s[at + 17], rows)) return fail("GS 8 L width");
            image.commands.push_back("GS 8 L");
            at += 7 + p;
            if (!Starts(s, at, {0x1D, 0x38, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x30, 0x02}))
                return fail("GS 8 L print trailer");
            at += 9;
        } else {
            return fail("unknown command");
        }
    }
    return image;
}

}  // namespace rasterstream
