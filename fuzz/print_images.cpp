// Encoded images of any format through the receipt, page and label image calls on a memory
// port, from data and from a file: whatever the bytes, a call sends one whole command or
// nothing, and the receipt call sends the same bytes again after memory was dirtied.
//
// Data: dstw and dsth (two bytes each, little-endian, signed), the binarisation and the
// compression method (one byte each, one value past the valid ones included), a byte whose
// low bit sends the image through a file, then the encoded image.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb_image.h>

#include "quorvantelmise.h"
#include "tests/support/DirtyMemory.h"

namespace {

constexpr size_t kHeader = 7;
// Keep each run short: every input is decoded five times and scaled, binarised and
// encoded four times, at a cost that follows the dots. Beyond these sizes nothing new is
// reached, only more of the same rows; a side of 4096 still gives rows wider than the
// run-length and bank limits.
constexpr int64_t kMaxImageDots = 1 << 14;
constexpr int64_t kMaxTargetDots = 1 << 15;
constexpr int64_t kMaxSide = 4096;

int16_t Le16(const uint8_t *p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

// The target side the calls derive when one is not positive, as they derive it.
bool AffordableTarget(int iw, int ih, int dstw, int dsth) {
    int64_t w = dstw, h = dsth;
    if (w <= 0 && h <= 0) return true;
    if (w <= 0) w = h * iw / ih;
    if (h <= 0) h = w * ih / iw;
    return w <= kMaxSide && h <= kMaxSide && w * h <= kMaxTargetDots;
}

// A file of the image's bytes, in memory: its /proc path opens as a regular file.
std::string MemoryFile(const uint8_t *data, size_t size, int *fd) {
    *fd = memfd_create("print_images", MFD_CLOEXEC);
    if (*fd < 0) return "";
    if (write(*fd, data, size) != static_cast<ssize_t>(size)) return "";
    return "/proc/self/fd/" + std::to_string(*fd);
}

// A call that failed sent nothing; one that succeeded starts with its command. Gives what
// was sent, cleared from the port.
std::vector<uint8_t> Check(void *port, int ok, const uint8_t *head, size_t head_length) {
    const unsigned char *sent = CP_Port_GetMemoryBufferDataPointer(port);
    const unsigned sent_length = CP_Port_GetMemoryBufferDataLength(port);
    if (!ok && sent_length != 0) std::abort();
    if (ok && (head == nullptr || sent_length < head_length || std::memcmp(sent, head, head_length) != 0)) std::abort();
    std::vector<uint8_t> bytes(sent, sent + sent_length);
    CP_Port_ClearMemoryBufferData(port);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static void *const port = CP_Port_OpenMemoryBuffer(16u << 20);
    if (size <= kHeader || port == nullptr) return 0;
    const int dstw = Le16(data) % kMaxSide, dsth = Le16(data + 2) % kMaxSide;
    const auto method = static_cast<CP_ImageBinarizationMethod>(data[4] % 4);
    const auto compression = static_cast<CP_ImageCompressionMethod>(data[5] % 4);
    const bool from_file = (data[6] & 1) != 0;
    const uint8_t *image = data + kHeader;
    const size_t length = size - kHeader;

    int iw = 0, ih = 0, ic = 0;
    if (length <= INT32_MAX && stbi_info_from_memory(image, static_cast<int>(length), &iw, &ih, &ic) &&
        std::llabs(static_cast<int64_t>(iw) * ih) > kMaxImageDots)  // top-down BMPs report a negative height
        return 0;
    int bpp = 0;
    if (!Quorvantelmise_ImgUtils_GetImageSizeFromData(image, length, &bpp, &iw, &ih)) iw = ih = 1;
    if (static_cast<int64_t>(iw) * ih > kMaxImageDots || !AffordableTarget(iw, ih, dstw, dsth)) return 0;

    const unsigned n = static_cast<unsigned>(length);
    int fd = -1;
    const std::string path = from_file ? MemoryFile(image, length, &fd) : "";
    const char *file = path.c_str();
    const bool use_file = from_file && !path.empty();
    static const uint8_t kReceiptHeads[][3] = {{0x1D, 0x76, 0x30}, {0x1F, 0x28, 0x50}, {0x1F, 0x28, 0x4A}};
    static const uint8_t kPageHead[3] = {0x1B, 0x24, 0x00}, kLabelHead[3] = {0x1A, 0x21, 0x00};
    const int c = static_cast<int>(compression);
    auto receipt = [&] {
        return use_file ? CP_Pos_PrintRasterImageFromFile(port, dstw, dsth, file, method, compression)
                        : CP_Pos_PrintRasterImageFromData(port, dstw, dsth, image, n, method, compression);
    };
    const std::vector<uint8_t> sent = Check(port, receipt(), c < 3 ? kReceiptHeads[c] : nullptr, 3);
    qvtest::DirtyMemory(0xA5);
    if (Check(port, receipt(), c < 3 ? kReceiptHeads[c] : nullptr, 3) != sent) std::abort();
    Check(port, use_file ? CP_Page_DrawRasterImageFromFile(port, -2, -2, dstw, dsth, file, method)
                         : CP_Page_DrawRasterImageFromData(port, -2, -2, dstw, dsth, image, n, method),
          kPageHead, 2);
    Check(port, use_file ? CP_Label_DrawImageFromFile(port, 8, 8, dstw, dsth, file, method, compression)
                         : CP_Label_DrawImageFromData(port, 8, 8, dstw, dsth, image, n, method, compression),
          kLabelHead, 2);
    if (fd >= 0) close(fd);
    return 0;
}
