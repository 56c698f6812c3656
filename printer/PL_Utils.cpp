#include "printer/PL_Utils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "nzcommon/imgprocess/NZQRCodeUtils.h"
#include "base/NZStringUtils.h"
#include "quorvantelmise.h"

namespace {

// Cached settings are the caller's full arguments, so sums and products of them are taken
// in 64 bits and held to int.
int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

bool XAlongHeight(int direction) { return direction == 1 || direction == 3; }
bool KnownDirection(int direction) { return direction >= 0 && direction <= 3; }

// One coordinate: a dot position, or a position code resolved against its axis. The size
// is held to the axis so that an item larger than the area starts at 0, not before it.
int64_t Place(int coordinate, bool known_direction, int64_t extent, int64_t size) {
    if (coordinate == -1) return 0;
    if (!known_direction || (coordinate != -2 && coordinate != -3)) return coordinate;
    const int64_t room = extent - std::min(size, extent);
    return coordinate == -2 ? room / 2 : room;
}

struct Placed {
    int64_t x;
    int64_t y;
};

Placed PlaceRect(PL_Utils_Size area, int direction, int x, int y, int64_t width, int64_t height) {
    const bool swap = XAlongHeight(direction);
    const bool known = KnownDirection(direction);
    const int64_t x_extent = swap ? area.height : area.width;
    const int64_t y_extent = swap ? area.width : area.height;
    return {Place(x, known, x_extent, width), Place(y, known, y_extent, height)};
}

template <typename Char>
int64_t CharCode(Char c) {
    if constexpr (sizeof(Char) == 1) {
        return static_cast<unsigned char>(c);
    } else {
        return static_cast<int64_t>(c);
    }
}

template <typename Char>
PL_Utils_Size MeasureText(const Char* text, int single_width, int single_height, int multi_width,
                          int multi_height) {
    int64_t width = 0;
    for (const Char* p = text; p != nullptr && CharCode(*p) >= 32; ++p) {
        width += CharCode(*p) >= 256 ? multi_width : single_width;
    }
    return PL_Utils_Size(ToInt(width), std::max(single_height, multi_height));
}

template <typename Char>
PL_Utils_Position PlaceText(PL_Utils_Size area, int direction, int baseline_offset, int x, int y,
                            const Char* text, int single_width, int single_height,
                            int multi_width, int multi_height, int width_scale,
                            int height_scale) {
    const int64_t sw = static_cast<int64_t>(width_scale) + 1;
    const int64_t sh = static_cast<int64_t>(height_scale) + 1;
    const PL_Utils_Size size =
        MeasureText(text, ToInt(single_width * sw), ToInt(single_height * sh),
                    ToInt(multi_width * sw), ToInt(multi_height * sh));
    Placed placed = PlaceRect(area, direction, x, y, size.width, size.height);
    if (placed.y >= 0) placed.y += static_cast<int64_t>(size.height) - baseline_offset;
    return PL_Utils_Position(ToInt(placed.x), ToInt(placed.y));
}

PL_Utils_Position PlaceBarcode(PL_Utils_Size area, int direction, int x, int y, int modules,
                               int unit_width, int bar_height, int text_height,
                               int text_position) {
    const int64_t width = static_cast<int64_t>(modules) * unit_width;
    // One text row for above or below, two for both.
    const int64_t text_rows = ((text_position & 3) + 1) / 2;
    const int64_t height = static_cast<int64_t>(text_height) * text_rows + bar_height;
    Placed placed = PlaceRect(area, direction, x, y, width, height);
    if (placed.y >= 0) {
        placed.y += static_cast<int64_t>(bar_height) - 1;
        if (text_position & 1) placed.y += text_height;
    }
    return PL_Utils_Position(ToInt(placed.x), ToInt(placed.y));
}

PL_Utils_Position PlaceQRCode(PL_Utils_Size area, int direction, int x, int y, int modules,
                              int unit_width) {
    const int64_t side = static_cast<int64_t>(modules) * unit_width;
    const Placed placed = PlaceRect(area, direction, x, y, side, side);
    return PL_Utils_Position(ToInt(placed.x), ToInt(placed.y));
}

using NarrowText = std::unique_ptr<char, decltype(&std::free)>;

NarrowText ToLocale(const wchar_t* text) {
    return NarrowText(NZStringUtils::nzutils_wcstombs_local(text), &std::free);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

PL_Utils_Position Utils_Page_ComputeRectPosition(PL_Utils_Size area, int direction, int x, int y,
                                                 int width, int height) {
    const Placed placed = PlaceRect(area, direction, x, y, width, height);
    return PL_Utils_Position(ToInt(placed.x), ToInt(placed.y));
}

PL_Utils_Position Utils_Page_ComputeImagePosition(PL_Utils_Size area, int direction, int x, int y,
                                                  int width, int height) {
    Placed placed = PlaceRect(area, direction, x, y, width, height);
    if (placed.y >= 0) placed.y += static_cast<int64_t>(height) - 1;
    return PL_Utils_Position(ToInt(placed.x), ToInt(placed.y));
}

PL_Utils_Size Utils_ComputeStringSizeW(const wchar_t* text, int single_width, int single_height,
                                       int multi_width, int multi_height) {
    return MeasureText(text, single_width, single_height, multi_width, multi_height);
}

PL_Utils_Position Utils_Page_ComputeStringPositionW(PL_Utils_Size area, int direction,
                                                    int baseline_offset, int x, int y,
                                                    const wchar_t* text, int single_width,
                                                    int single_height, int multi_width,
                                                    int multi_height, int width_scale,
                                                    int height_scale) {
    return PlaceText(area, direction, baseline_offset, x, y, text, single_width, single_height,
                     multi_width, multi_height, width_scale, height_scale);
}

PL_Utils_Position Utils_Page_ComputeStringPositionA(PL_Utils_Size area, int direction,
                                                    int baseline_offset, int x, int y,
                                                    const char* text, int single_width,
                                                    int single_height, int multi_width,
                                                    int multi_height, int width_scale,
                                                    int height_scale) {
    std::unique_ptr<wchar_t, decltype(&std::free)> wide(
        NZStringUtils::nzutils_mbstowcs_local(text), &std::free);
    if (wide != nullptr) {
        return PlaceText(area, direction, baseline_offset, x, y, wide.get(), single_width,
                         single_height, multi_width, multi_height, width_scale, height_scale);
    }
    // Text in another encoding than the locale's (GBK bytes in a UTF-8 locale, say) is still
    // placed: a double-byte character then takes two single-byte cells, its usual width.
    return PlaceText(area, direction, baseline_offset, x, y, text, single_width, single_height,
                     multi_width, multi_height, width_scale, height_scale);
}

int Utils_ComputeBarcodeWidthA(const char* text, int barcode_type) {
    int index = -1;
    if (barcode_type >= 0 && barcode_type <= 8) index = barcode_type;
    if (barcode_type >= 65 && barcode_type <= 73) index = barcode_type - 65;
    // The renderer types 0 to 8 are the same symbologies in the same order.
    if (index < 0 || text == nullptr) return 0;
    return Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(index, 1, 1, text);
}

PL_Utils_Position Utils_Page_ComputeBarcodePositionA(PL_Utils_Size area, int direction, int x,
                                                     int y, const char* text, int barcode_type,
                                                     int unit_width, int bar_height,
                                                     int text_height, int text_position) {
    return PlaceBarcode(area, direction, x, y, Utils_ComputeBarcodeWidthA(text, barcode_type),
                        unit_width, bar_height, text_height, text_position);
}

PL_Utils_Position Utils_Page_ComputeBarcodePositionW(PL_Utils_Size area, int direction, int x,
                                                     int y, const wchar_t* text,
                                                     int barcode_type, int unit_width,
                                                     int bar_height, int text_height,
                                                     int text_position) {
    const NarrowText narrow = ToLocale(text);
    const int modules = narrow ? Utils_ComputeBarcodeWidthA(narrow.get(), barcode_type) : 0;
    return PlaceBarcode(area, direction, x, y, modules, unit_width, bar_height, text_height,
                        text_position);
}

int Utils_ComputeQRCodeWidthA(const char* text, int version, int ecc_level) {
    // In unsigned, as INT_MIN has no level below it; the encoder refuses levels out of range.
    const int level = static_cast<int>(static_cast<unsigned>(ecc_level) - 1u);
    const QRcodePtr code = NZQRCodeUtils::EncodeString(text, version, level, QR_MODE_8, true);
    return code ? code->width : 0;
}

PL_Utils_Position Utils_Page_ComputeQRCodePositionA(PL_Utils_Size area, int direction, int x,
                                                    int y, const char* text, int version,
                                                    int ecc_level, int unit_width) {
    return PlaceQRCode(area, direction, x, y, Utils_ComputeQRCodeWidthA(text, version, ecc_level),
                       unit_width);
}

PL_Utils_Position Utils_Page_ComputeQRCodePositionW(PL_Utils_Size area, int direction, int x,
                                                    int y, const wchar_t* text, int version,
                                                    int ecc_level, int unit_width) {
    const NarrowText narrow = ToLocale(text);
    const int modules = narrow ? Utils_ComputeQRCodeWidthA(narrow.get(), version, ecc_level) : 0;
    return PlaceQRCode(area, direction, x, y, modules, unit_width);
}

size_t Utils_GetSerialDigitLength(const char* text) {
    size_t count = 0;
    while (text != nullptr && IsDigit(text[count])) ++count;
    return count;
}

size_t Utils_CODE128_GetCodeBDataLength(const char* text) {
    if (text == nullptr) return 0;
    size_t taken = 0;
    while (text[taken] != '\0') {
        const size_t run = Utils_GetSerialDigitLength(text + taken);
        if (run >= 4) {
            if (run % 2 != 0) ++taken;
            break;
        }
        taken += run == 0 ? 1 : run;
    }
    return taken;
}

bool Utils_CODE128_EncodeDataOnce(const char* text, unsigned char* out, size_t out_capacity,
                                  size_t* consumed, size_t* produced) {
    if (text == nullptr || text[0] == '\0' || out == nullptr) return false;
    size_t digits = Utils_GetSerialDigitLength(text);
    size_t used = 0;
    size_t written = 0;
    if (digits < 4) {
        used = Utils_CODE128_GetCodeBDataLength(text);
        // The printer reads "{" as the start of a code-set or function code; "{{" is the
        // character itself.
        const size_t braces = static_cast<size_t>(std::count(text, text + used, '{'));
        if (out_capacity < used + braces + 2) return false;
        out[written++] = '{';
        out[written++] = 'B';
        for (size_t i = 0; i < used; ++i) {
            out[written++] = static_cast<unsigned char>(text[i]);
            if (text[i] == '{') out[written++] = '{';
        }
    } else {
        used = digits & ~static_cast<size_t>(1);
        if (out_capacity < used / 2 + 2) return false;
        out[written++] = '{';
        out[written++] = 'C';
        for (size_t i = 0; i < used; i += 2) {
            out[written++] = static_cast<unsigned char>((text[i] - '0') * 10 + (text[i + 1] - '0'));
        }
    }
    if (consumed != nullptr) *consumed = used;
    if (produced != nullptr) *produced = written;
    return true;
}

unsigned char* Utils_CODE128_EncodeDataAuto(const char* text, size_t* length) {
    if (length != nullptr) *length = 0;
    if (text == nullptr) return nullptr;
    const size_t count = std::strlen(text);
    if (count > SIZE_MAX / 4) return nullptr;
    const size_t capacity = 4 * count;
    auto* data = static_cast<unsigned char*>(std::malloc(std::max<size_t>(capacity, 1)));
    if (data == nullptr) return nullptr;
    size_t in = 0;
    size_t out = 0;
    while (in < count) {
        size_t used = 0;
        size_t written = 0;
        if (!Utils_CODE128_EncodeDataOnce(text + in, data + out, capacity - out, &used,
                                          &written)) {
            std::free(data);
            return nullptr;
        }
        in += used;
        out += written;
    }
    if (length != nullptr) *length = out;
    return data;
}
