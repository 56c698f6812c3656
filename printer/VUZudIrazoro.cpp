#include "printer/VUZudIrazoro.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <tuple>

#include "nzcommon/imgprocess/NZJbigCodec.h"
#include "nzcommon/imgprocess/NZRasterCommand.h"
#include "nzcommon/imgprocess/TextEncodingConversion.h"
#include "printer/MonoRaster.h"
#include "quorvantelmise.h"

bool VUZudIrazoro::WriteCommandByte(unsigned char first, unsigned char second, int parameter) {
    const unsigned char command[] = {first, second, Low8(parameter)};
    return WriteCommand(command);
}

bool VUZudIrazoro::WriteCommandShort(unsigned char first, unsigned char second, int parameter) {
    const unsigned char command[] = {first, second, Low8(parameter), High8(parameter)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_PrintString(const char* str) {
    if (str == nullptr) return false;
    return WriteCommand(reinterpret_cast<const unsigned char*>(str), std::strlen(str));
}

bool VUZudIrazoro::POS_PrintBytes(const char* data, int length) {
    if (data == nullptr || length < 0) return false;
    return WriteCommand(reinterpret_cast<const unsigned char*>(data),
                        static_cast<size_t>(length));
}

bool VUZudIrazoro::POS_PrintWideString(const wchar_t* str, const char* encoding) {
    if (str == nullptr) return false;
    std::unique_ptr<char, decltype(&std::free)> converted(iconv_wcstombs(str, encoding),
                                                          &std::free);
    return converted != nullptr && POS_PrintString(converted.get());
}

bool VUZudIrazoro::POS_PrintWideStringInUTF8(const wchar_t* str) {
    return POS_PrintWideString(str, "UTF-8");
}

bool VUZudIrazoro::POS_PrintWideStringInGBK(const wchar_t* str) {
    return POS_PrintWideString(str, "GBK");
}

bool VUZudIrazoro::POS_PrintWideStringInBIG5(const wchar_t* str) {
    return POS_PrintWideString(str, "BIG5");
}

bool VUZudIrazoro::POS_PrintWideStringInShiftJIS(const wchar_t* str) {
    return POS_PrintWideString(str, "SHIFT-JIS");
}

bool VUZudIrazoro::POS_PrintWideStringInEUCKR(const wchar_t* str) {
    return POS_PrintWideString(str, "EUC-KR");
}

bool VUZudIrazoro::POS_FeedLines(int lines) { return WriteCommandByte(0x1B, 0x64, lines); }

bool VUZudIrazoro::POS_FeedDots(int dots) {
    // A negative feed has no meaning; its low byte would feed up to 254 dots.
    if (dots < 0) return false;
    // One ESC J moves at most 255 dots. Later steps still go out after a failed one; the
    // call then reports the failure.
    bool all_written = true;
    static constexpr unsigned char full_step[] = {0x1B, 0x4A, 0xFF};
    for (int i = 0; i < dots / 255; ++i) all_written = WriteCommand(full_step) && all_written;
    return WriteCommandByte(0x1B, 0x4A, dots % 255) && all_written;
}

bool VUZudIrazoro::POS_SetMovementUnit(int horizontal, int vertical) {
    const unsigned char command[] = {0x1D, 0x50, Low8(horizontal), Low8(vertical)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetPrintAreaLeftMargin(int margin) {
    return WriteCommandShort(0x1D, 0x4C, margin);
}

bool VUZudIrazoro::POS_SetPrintAreaWidth(int width) {
    return WriteCommandShort(0x1D, 0x57, width);
}

bool VUZudIrazoro::POS_SetAlignment(int alignment) {
    return WriteCommandByte(0x1B, 0x61, alignment);
}

bool VUZudIrazoro::POS_SetTextScale(int width_scale, int height_scale) {
    return WriteCommandByte(0x1D, 0x21, ((width_scale & 7) << 4) | (height_scale & 7));
}

bool VUZudIrazoro::POS_SetAsciiTextFontType(int font_type) {
    return WriteCommandByte(0x1B, 0x4D, font_type);
}

bool VUZudIrazoro::POS_SetTextBold(int bold) { return WriteCommandByte(0x1B, 0x45, bold); }

bool VUZudIrazoro::POS_SetAsciiTextUnderline(int underline) {
    return WriteCommandByte(0x1B, 0x2D, underline);
}

bool VUZudIrazoro::POS_SetKanjiTextUnderline(int underline) {
    return WriteCommandByte(0x1C, 0x2D, underline);
}

bool VUZudIrazoro::POS_SetTextUpsideDown(int upside_down) {
    return WriteCommandByte(0x1B, 0x7B, upside_down);
}

bool VUZudIrazoro::POS_SetTextWhiteOnBlack(int white_on_black) {
    return WriteCommandByte(0x1D, 0x42, white_on_black);
}

bool VUZudIrazoro::POS_SetTextRotate(int rotate) { return WriteCommandByte(0x1B, 0x56, rotate); }

bool VUZudIrazoro::POS_SetTextLineHeight(int line_height) {
    return WriteCommandByte(0x1B, 0x33, line_height);
}

bool VUZudIrazoro::POS_SetAsciiTextCharRightSpacing(int spacing) {
    return WriteCommandByte(0x1B, 0x20, spacing);
}

bool VUZudIrazoro::POS_SetKanjiTextCharSpacing(int left_spacing, int right_spacing) {
    const unsigned char command[] = {0x1C, 0x53, Low8(left_spacing), Low8(right_spacing)};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetBarcodeUnitWidth(int unit_width) {
    return WriteCommandByte(0x1D, 0x77, unit_width);
}

bool VUZudIrazoro::POS_SetBarcodeHeight(int height) {
    return WriteCommandByte(0x1D, 0x68, height);
}

bool VUZudIrazoro::POS_SetBarcodeReadableTextFontType(int font_type) {
    return WriteCommandByte(0x1D, 0x66, font_type);
}

bool VUZudIrazoro::POS_SetBarcodeReadableTextPosition(int position) {
    return WriteCommandByte(0x1D, 0x48, position);
}

namespace {

using Command = std::vector<unsigned char>;

constexpr size_t kMax16 = 0xFFFF;

void Put8(Command& c, int value) { c.push_back(static_cast<unsigned char>(value & 0xFF)); }

void PutLe16(Command& c, int value) {
    Put8(c, value);
    Put8(c, value >> 8);
}

void PutBe16(Command& c, int value) {
    Put8(c, value >> 8);
    Put8(c, value);
}

// value + offset as the printer takes it: the low byte, computed without overflow.
int PlusInLowByte(int value, int offset) {
    return static_cast<int>((static_cast<unsigned>(value) + static_cast<unsigned>(offset)) & 0xFFu);
}

void PutBytes(Command& c, const void* data, size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    c.insert(c.end(), bytes, bytes + length);
}

// GS ( k with a two-byte parameter count, function fn of symbol type cn (0x30 PDF417,
// 0x31 QR code).
void PutSymbolFunction(Command& c, unsigned char cn, unsigned char fn,
                       std::initializer_list<int> parameters) {
    PutBytes(c, "\x1D\x28\x6B", 3);
    PutLe16(c, static_cast<int>(parameters.size()) + 2);
    Put8(c, cn);
    Put8(c, fn);
    for (int p : parameters) Put8(c, p);
}

// GS ( k function 80 of symbol type cn: store the data.
void PutSymbolData(Command& c, unsigned char cn, const char* str, size_t length) {
    PutBytes(c, "\x1D\x28\x6B", 3);
    PutLe16(c, static_cast<int>(length + 3));
    Put8(c, cn);
    PutBytes(c, "\x50\x30", 2);
    PutBytes(c, str, length);
}

}  // namespace

std::optional<std::vector<unsigned char>> VUZudIrazoro::BarcodeCommand(unsigned char type,
                                                                       const unsigned char* data,
                                                                       size_t length) {
    // The count is one byte: a longer text would leave its rest to be read as commands.
    if (data == nullptr || length > 0xFF) return std::nullopt;
    Command c = {0x1D, 0x6B, type, static_cast<unsigned char>(length)};
    PutBytes(c, data, length);
    return c;
}

bool VUZudIrazoro::POS_PrintBarcode(unsigned char type, const unsigned char* data,
                                    unsigned long length) {
    const auto command = BarcodeCommand(type, data, length);
    return command && WriteCommand(command->data(), command->size());
}

bool VUZudIrazoro::POS_PrintBarcode(unsigned char type, const char* str) {
    if (str == nullptr) return false;
    return POS_PrintBarcode(type, reinterpret_cast<const unsigned char*>(str), std::strlen(str));
}

std::optional<std::vector<unsigned char>> VUZudIrazoro::QRCodeCommand(int version, int ecc_level,
                                                                      const char* str) {
    if (str == nullptr) return std::nullopt;
    const size_t length = std::strlen(str);
    if (length > kMax16) return std::nullopt;
    Command c = {0x1D, 0x6B, 0x61};
    Put8(c, version);
    Put8(c, ecc_level);
    PutLe16(c, static_cast<int>(length));
    PutBytes(c, str, length);
    return c;
}

bool VUZudIrazoro::POS_PrintQRCode(int version, int ecc_level, const char* str) {
    const auto command = QRCodeCommand(version, ecc_level, str);
    return command && WriteCommand(command->data(), command->size());
}

bool VUZudIrazoro::POS_EPSON_PrintQRCode(int unit_width, int ecc_level, const char* str) {
    if (str == nullptr) return false;
    const size_t length = std::strlen(str);
    if (length + 3 > kMax16) return false;
    Command c;
    c.reserve(length + 32);
    PutSymbolFunction(c, 0x31, 0x43, {unit_width});
    PutSymbolFunction(c, 0x31, 0x45, {PlusInLowByte(ecc_level, 47)});  // levels 1 to 4 as 30 to 33
    PutSymbolData(c, 0x31, str, length);
    PutSymbolFunction(c, 0x31, 0x51, {0x30});
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_PrintDoubleQRcode(int unit_width, int position1, int version1,
                                         int ecc_level1, const char* str1, int position2,
                                         int version2, int ecc_level2, const char* str2) {
    if (str1 == nullptr || str2 == nullptr) return false;
    const size_t length1 = std::strlen(str1);
    const size_t length2 = std::strlen(str2);
    if (length1 > kMax16 || length2 > kMax16) return false;
    Command c = {0x1F, 0x51, 0x02};
    Put8(c, unit_width);
    for (auto [position, version, ecc, str, length] :
         {std::tuple{position1, version1, ecc_level1, str1, length1},
          std::tuple{position2, version2, ecc_level2, str2, length2}}) {
        PutBe16(c, position);
        PutBe16(c, static_cast<int>(length));
        Put8(c, ecc);
        Put8(c, version);
        PutBytes(c, str, length);
    }
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_EPSON_PrintPDF417(int column_count, int row_count, int unit_width,
                                         int row_height, int ecc_level, int data_processing_mode,
                                         const char* str) {
    if (str == nullptr) return false;
    const size_t length = std::strlen(str);
    if (length + 3 > kMax16) return false;
    Command c;
    c.reserve(length + 65);
    PutSymbolFunction(c, 0x30, 0x41, {column_count});
    PutSymbolFunction(c, 0x30, 0x42, {row_count});
    PutSymbolFunction(c, 0x30, 0x43, {unit_width});
    PutSymbolFunction(c, 0x30, 0x44, {row_height});
    PutSymbolFunction(c, 0x30, 0x45, {0x30, PlusInLowByte(ecc_level, 48)});
    PutSymbolFunction(c, 0x30, 0x46, {data_processing_mode});
    PutSymbolData(c, 0x30, str, length);
    PutSymbolFunction(c, 0x30, 0x51, {0x30});
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_PrintHorizontalLineSpecifyThickness(int start, int end, int thickness) {
    constexpr size_t kLineBytes = 7;
    if (thickness < 1 || static_cast<size_t>(thickness) > kMaxCommandBytes / kLineBytes) {
        return false;
    }
    Command line = {0x1D, 0x27, 0x01};
    PutLe16(line, start);
    PutLe16(line, end);
    Command c;
    c.reserve(kLineBytes * static_cast<size_t>(thickness));
    for (int i = 0; i < thickness; ++i) c.insert(c.end(), line.begin(), line.end());
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_PrintMultipleHorizontalLines(int count, const int* starts,
                                                    const int* ends) {
    // The count is one byte.
    if (count < 0 || count > 0xFF || starts == nullptr || ends == nullptr) return false;
    Command c = {0x1D, 0x27};
    Put8(c, count);
    for (int i = 0; i < count; ++i) {
        PutLe16(c, starts[i]);
        PutLe16(c, ends[i]);
    }
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_SetHorizontalAbsolutePrintPosition(int position) {
    return WriteCommandShort(0x1B, 0x24, position);
}

bool VUZudIrazoro::POS_SetHorizontalRelativePrintPosition(unsigned short position) {
    return WriteCommandShort(0x1B, 0x5C, position);
}

bool VUZudIrazoro::POS_SetHorizontalRelativePrintPositionAcceptNegative(int position) {
    return POS_SetHorizontalRelativePrintPosition(static_cast<unsigned short>(position));
}

bool VUZudIrazoro::POS_SetVerticalAbsolutePrintPosition(int position) {
    return WriteCommandShort(0x1D, 0x24, position);
}

bool VUZudIrazoro::POS_SetVerticalRelativePrintPosition(int position) {
    return WriteCommandShort(0x1D, 0x5C, static_cast<unsigned short>(position));
}

bool VUZudIrazoro::POS_PrintRasterImageSpecifyCompressMethod(const MonoRaster& raster,
                                                             int compression) {
    constexpr size_t kPlainBankRows = 24;
    constexpr size_t kJbigBankRows = 255;
    nzimg::ByteBuffer stream;
    switch (compression) {
    case CP_ImageCompressionMethod_None:
        stream = nzimg::GsV0Banks(raster.rows(), kPlainBankRows);
        break;
    case CP_ImageCompressionMethod_RunLength:
        stream = nzimg::RunLengthCommands(raster.rows());
        break;
    case CP_ImageCompressionMethod_Jbig:
        stream = nzimg::JbigBanks(raster.rows(), kJbigBankRows);
        break;
    default:
        return false;
    }
    return stream.bytes != nullptr && WriteCommand(stream.bytes.get(), stream.size);
}

namespace {

// The widest raster each receipt command can carry: GS v 0 and US ( P count a row's bytes in
// 16 bits (a run-length row may take one byte more than the row), US ( J its dots. An unknown
// method has no limits at all.
std::optional<MonoRasterLimits> ReceiptRasterLimits(int compression) {
    switch (compression) {
    case CP_ImageCompressionMethod_None: return MonoRasterLimits{0xFFFF * 8, 0};
    case CP_ImageCompressionMethod_RunLength: return MonoRasterLimits{0xFFFE * 8, 0};
    case CP_ImageCompressionMethod_Jbig: return MonoRasterLimits{0xFFFF / 8 * 8, 0};
    default: return std::nullopt;
    }
}

// convert(limits, &raster) makes the raster; it is sent by the compression method.
template <typename Convert>
bool PrintRaster(VUZudIrazoro& pos, int compression, Convert&& convert) {
    const std::optional<MonoRasterLimits> limits = ReceiptRasterLimits(compression);
    MonoRaster raster;
    return limits && convert(*limits, &raster) &&
           pos.POS_PrintRasterImageSpecifyCompressMethod(raster, compression);
}

}  // namespace

bool VUZudIrazoro::POS_PrintRasterImageSpecifyCompressMethodFromFile(
    int dstw, int dsth, const char* path, CP_ImageBinarizationMethod method, int compression) {
    return PrintRaster(*this, compression, [&](const MonoRasterLimits& limits, MonoRaster* out) {
        return MonoRasterFromFile(path, dstw, dsth, method, limits, out);
    });
}

bool VUZudIrazoro::POS_PrintRasterImageSpecifyCompressMethodFromData(
    int dstw, int dsth, const unsigned char* data, size_t size, CP_ImageBinarizationMethod method,
    int compression) {
    return PrintRaster(*this, compression, [&](const MonoRasterLimits& limits, MonoRaster* out) {
        return MonoRasterFromData(data, size, dstw, dsth, method, limits, out);
    });
}

bool VUZudIrazoro::POS_PrintRasterImageSpecifyCompressMethodFromPixels(
    const unsigned char* pixels, size_t pixels_length, int width, int height, int stride,
    CP_ImagePixelsFormat format, CP_ImageBinarizationMethod method, int compression) {
    return PrintRaster(*this, compression, [&](const MonoRasterLimits& limits, MonoRaster* out) {
        return MonoRasterFromPixels(pixels, pixels_length, width, height, stride, format, method,
                                    limits, out);
    });
}

bool VUZudIrazoro::POS_SelectPageMode() {
    static constexpr unsigned char command[] = {0x1B, 0x4C};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_ExitPageMode() {
    static constexpr unsigned char command[] = {0x1B, 0x53};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_PrintPage() {
    static constexpr unsigned char command[] = {0x1B, 0x0C};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_ClearPage() {
    static constexpr unsigned char command[] = {0x18};
    return WriteCommand(command);
}

bool VUZudIrazoro::POS_SetPageArea(int x, int y, int width, int height) {
    Command c = {0x1B, 0x57};
    for (int value : {x, y, width, height}) PutLe16(c, value);
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_SetPageDrawDirection(int direction) {
    return WriteCommandByte(0x1B, 0x54, direction);
}

bool VUZudIrazoro::POS_DrawRect(int x0, int y0, int x1, int y1, int color) {
    Command c = {0x1F, 0x28, 0x52, 0x0A, 0x00};
    for (int value : {x0, y0, x1, y1}) PutBe16(c, value);
    Put8(c, color);
    Put8(c, 0x01);
    return WriteCommand(c.data(), c.size());
}

bool VUZudIrazoro::POS_DrawBox(int x0, int y0, int x1, int y1, int border_width, int color) {
    const bool outer = POS_DrawRect(x0, y0, x1, y1, color);
    const int b = border_width & 0xFF;
    // An inside turned inside out would be drawn across the border.
    if (static_cast<int64_t>(x0) + b > static_cast<int64_t>(x1) - b ||
        static_cast<int64_t>(y0) + b > static_cast<int64_t>(y1) - b) {
        return outer;
    }
    const bool inner = POS_DrawRect(x0 + b, y0 + b, x1 - b, y1 - b, color == 0 ? 1 : 0);
    return outer && inner;
}
