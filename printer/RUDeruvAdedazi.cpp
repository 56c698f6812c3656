#include "printer/RUDeruvAdedazi.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "nzcommon/imgprocess/NZJbigCodec.h"
#include "nzcommon/imgprocess/TextEncodingConversion.h"
#include "printer/MonoRaster.h"

namespace {

using Command = std::vector<unsigned char>;

void PutLe16(Command& command, int64_t value) {
    command.push_back(static_cast<unsigned char>(value & 0xFF));
    command.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void PutLe16s(Command& command, std::initializer_list<int64_t> values) {
    for (int64_t value : values) PutLe16(command, value);
}

void PutLe32(Command& command, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        command.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
}

unsigned char Byte(int value) { return static_cast<unsigned char>(value & 0xFF); }

// Both the width field (bytes per line x 8 dots) and the height field are 16 bits; a wrapped
// field would make the printer read the raster bytes as commands.
constexpr size_t kMaxRasterWidthDots = 0xFFFF / 8 * 8;
constexpr size_t kMaxRasterHeight = 0xFFFF;
constexpr MonoRasterLimits kRasterLimits{kMaxRasterWidthDots, kMaxRasterHeight};

constexpr int kCompressNone = 0;
constexpr int kCompressJbig = 2;

bool SupportedImage(CP_ImageBinarizationMethod method, int compression) {
    const int m = static_cast<int>(method);
    return m >= 0 && m <= 2 && (compression == kCompressNone || compression == kCompressJbig);
}

}  // namespace

bool RUDeruvAdedazi::WriteTextCommand(const unsigned char* header, size_t header_length,
                                      const char* text, size_t length) {
    if (text == nullptr || std::memchr(text, 0, length) != nullptr) return false;
    Command command(header, header + header_length);
    command.insert(command.end(), text, text + length);
    command.push_back(0x00);
    return WriteCommand(command.data(), command.size());
}

bool RUDeruvAdedazi::EnableLabelMode() {
    static constexpr unsigned char command[] = {0x1F, 0x28, 0x4C, 0x01, 0x00, 0x31};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::DisableLabelMode() {
    static constexpr unsigned char command[] = {0x1F, 0x28, 0x4C, 0x01, 0x00, 0x00};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::CalibrateLabel() {
    static constexpr unsigned char command[] = {0x1F, 0x63};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::FeedLabel() {
    static constexpr unsigned char command[] = {0x1A, 0x0C, 0x30};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::BackPaperToPrintPosition() {
    static constexpr unsigned char command[] = {0x1A, 0x0C, 0xFF};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::FeedPaperToTearPosition() {
    static constexpr unsigned char command[] = {0x1A, 0x0C, 0x00};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::PageBegin(int x, int y, int width, int height, int rotation) {
    Command command = {0x1A, 0x5B, 0x01};
    PutLe16s(command, {x, y, width, height});
    command.push_back(Byte(rotation));
    return WriteCommand(command.data(), command.size());
}

bool RUDeruvAdedazi::PagePrint(int copies) {
    const unsigned char command[] = {0x1A, 0x4F, 0x01, Byte(copies)};
    return WriteCommand(command);
}

bool RUDeruvAdedazi::DrawString(int x, int y, int font, int style, const char* str) {
    if (str == nullptr) return false;
    return DrawString(x, y, font, style, str, std::strlen(str));
}

bool RUDeruvAdedazi::DrawString(int x, int y, int font, int style, const char* data,
                                size_t length) {
    Command header = {0x1A, 0x54, 0x01};
    PutLe16s(header, {x, y, font, style});
    return WriteTextCommand(header.data(), header.size(), data, length);
}

bool RUDeruvAdedazi::DrawWideString(int x, int y, int font, int style, const wchar_t* str,
                                    const char* encoding) {
    const std::optional<std::string> text = TextEncoding::WideTextToEncoding(str, encoding);
    return text && DrawString(x, y, font, style, text->data(), text->size());
}

bool RUDeruvAdedazi::DrawWideStringInUTF8(int x, int y, int font, int style,
                                          const wchar_t* str) {
    return DrawWideString(x, y, font, style, str, TextEncoding::kUTF8);
}

bool RUDeruvAdedazi::DrawWideStringInGBK(int x, int y, int font, int style, const wchar_t* str) {
    return DrawWideString(x, y, font, style, str, TextEncoding::kGBK);
}

bool RUDeruvAdedazi::DrawWideStringInBIG5(int x, int y, int font, int style,
                                          const wchar_t* str) {
    return DrawWideString(x, y, font, style, str, TextEncoding::kBIG5);
}

bool RUDeruvAdedazi::DrawWideStringInShiftJIS(int x, int y, int font, int style,
                                              const wchar_t* str) {
    return DrawWideString(x, y, font, style, str, TextEncoding::kShiftJIS);
}

bool RUDeruvAdedazi::DrawWideStringInEUCKR(int x, int y, int font, int style,
                                           const wchar_t* str) {
    return DrawWideString(x, y, font, style, str, TextEncoding::kEUCKR);
}

bool RUDeruvAdedazi::DrawBarcode(int x, int y, int type, int height, int unit_width,
                                 int rotation, const char* str) {
    if (str == nullptr) return false;
    Command header = {0x1A, 0x30, 0x00};
    PutLe16s(header, {x, y});
    header.insert(header.end(), {Byte(type), Byte(height), Byte(unit_width), Byte(rotation)});
    return WriteTextCommand(header.data(), header.size(), str, std::strlen(str));
}

bool RUDeruvAdedazi::DrawQRCode(int x, int y, int version, int ecc, int unit_width,
                                int rotation, const char* str) {
    if (str == nullptr) return false;
    return DrawQRCode(x, y, version, ecc, unit_width, rotation, str, std::strlen(str));
}

bool RUDeruvAdedazi::DrawQRCode(int x, int y, int version, int ecc, int unit_width,
                                int rotation, const char* data, size_t length) {
    Command header = {0x1A, 0x31, 0x00, Byte(version), Byte(ecc)};
    PutLe16s(header, {x, y});
    header.insert(header.end(), {Byte(unit_width), Byte(rotation)});
    return WriteTextCommand(header.data(), header.size(), data, length);
}

bool RUDeruvAdedazi::DrawWQRCode(int x, int y, int version, int ecc, int unit_width,
                                 int rotation, const wchar_t* str, const char* encoding) {
    const std::optional<std::string> text = TextEncoding::WideTextToEncoding(str, encoding);
    return text && DrawQRCode(x, y, version, ecc, unit_width, rotation, text->data(),
                              text->size());
}

bool RUDeruvAdedazi::DrawWQRCodeInUTF8(int x, int y, int version, int ecc, int unit_width,
                                       int rotation, const wchar_t* str) {
    return DrawWQRCode(x, y, version, ecc, unit_width, rotation, str, TextEncoding::kUTF8);
}

bool RUDeruvAdedazi::DrawPDF417(int x, int y, int column, int aspect_ratio, int ecc,
                                int unit_width, int rotation, const char* str) {
    if (str == nullptr) return false;
    // The printer takes column, ECC level, aspect ratio in this order.
    Command header = {0x1A, 0x31, 0x01, Byte(column), Byte(ecc), Byte(aspect_ratio)};
    PutLe16s(header, {x, y});
    header.insert(header.end(), {Byte(unit_width), Byte(rotation)});
    return WriteTextCommand(header.data(), header.size(), str, std::strlen(str));
}

bool RUDeruvAdedazi::DrawLine(int start_x, int start_y, int end_x, int end_y, int line_width,
                              int color) {
    Command command = {0x1A, 0x5C, 0x01};
    PutLe16s(command, {start_x, start_y, end_x, end_y, line_width});
    command.push_back(Byte(color));
    return WriteCommand(command.data(), command.size());
}

// Corners are summed in 64 bits (no overflow) and then cut to 16 bits like every field.
bool RUDeruvAdedazi::DrawRectangel(int x, int y, int width, int height, int color) {
    Command command = {0x1A, 0x2A, 0x00};
    PutLe16s(command, {x, y, int64_t{x} + width, int64_t{y} + height});
    command.push_back(Byte(color));
    return WriteCommand(command.data(), command.size());
}

bool RUDeruvAdedazi::DrawBox(int x, int y, int width, int height, int border_width, int color) {
    Command command = {0x1A, 0x26, 0x01};
    PutLe16s(command, {x, y, int64_t{x} + width, int64_t{y} + height, border_width});
    command.push_back(Byte(color));
    return WriteCommand(command.data(), command.size());
}

bool RUDeruvAdedazi::DrawRasterImageFromFileA(int x, int y, int dstw, int dsth, const char* path,
                                              CP_ImageBinarizationMethod method,
                                              int compression) {
    MonoRaster raster;
    return SupportedImage(method, compression) &&
           MonoRasterFromFile(path, dstw, dsth, method, kRasterLimits, &raster) &&
           DrawRasterImageSpecifyCompressMethod(x, y, raster, compression);
}

bool RUDeruvAdedazi::DrawRasterImageFromData(int x, int y, int dstw, int dsth,
                                             const unsigned char* data, size_t size,
                                             CP_ImageBinarizationMethod method,
                                             int compression) {
    MonoRaster raster;
    return SupportedImage(method, compression) &&
           MonoRasterFromData(data, size, dstw, dsth, method, kRasterLimits, &raster) &&
           DrawRasterImageSpecifyCompressMethod(x, y, raster, compression);
}

bool RUDeruvAdedazi::DrawRasterImageFromPixels(int x, int y, const unsigned char* pixels,
                                               size_t pixels_length, int width, int height,
                                               int stride, CP_ImagePixelsFormat format,
                                               CP_ImageBinarizationMethod method,
                                               int compression) {
    MonoRaster raster;
    return SupportedImage(method, compression) &&
           MonoRasterFromPixels(pixels, pixels_length, width, height, stride, format, method,
                                kRasterLimits, &raster) &&
           DrawRasterImageSpecifyCompressMethod(x, y, raster, compression);
}

bool RUDeruvAdedazi::DrawRasterImageSpecifyCompressMethod(int x, int y, const MonoRaster& raster,
                                                          int compression) {
    // Mono pixels keep the caller's stride, which the width field must still hold.
    if (raster.bytes_per_line == 0 || raster.bytes_per_line > kMaxRasterWidthDots / 8 ||
        raster.height == 0 || raster.height > kMaxRasterHeight)
        return false;
    switch (compression) {
    case kCompressNone: return DrawRasterImageWithStyle(x, y, raster, 0);
    case kCompressJbig: return DrawRasterImageWithJBIG5Compress(x, y, raster);
    default: return false;
    }
}

bool RUDeruvAdedazi::DrawRasterImageWithStyle(int x, int y, const MonoRaster& raster, int style) {
    Command command = {0x1A, 0x21, 0x01};
    command.reserve(13 + raster.size());
    PutLe16s(command, {x, y, static_cast<int64_t>(raster.bytes_per_line * 8),
                       static_cast<int64_t>(raster.height), style});
    command.insert(command.end(), raster.bits.get(), raster.bits.get() + raster.size());
    return WriteCommand(command.data(), command.size());
}

bool RUDeruvAdedazi::DrawRasterImageWithJBIG5Compress(int x, int y, const MonoRaster& raster) {
    const nzimg::ByteBuffer jbig = nzimg::JbigData(raster.rows(), raster.bytes_per_line * 8);
    const size_t jbig_size = jbig.size;
    if (!jbig.bytes || jbig_size == 0 || jbig_size > UINT32_MAX) return false;
    Command command = {0x1A, 0x21, 0xFF};
    command.reserve(15 + jbig_size);
    PutLe16s(command, {x, y, static_cast<int64_t>(raster.bytes_per_line * 8),
                       static_cast<int64_t>(raster.height)});
    PutLe32(command, static_cast<uint32_t>(jbig_size));
    command.insert(command.end(), jbig.bytes.get(), jbig.bytes.get() + jbig_size);
    return WriteCommand(command.data(), command.size());
}
