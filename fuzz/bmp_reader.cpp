// The own BMP reader on arbitrary bytes: every read must stay inside the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nzcommon/imgprocess/NZBmpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    int bpp = 0, w = 0, h = 0;
    unsigned char *rgb = nzbmpreadrgb(data, size, &bpp, &w, &h);
    if (rgb) {
        // Touch the last pixel: the reported size must be what was allocated.
        volatile unsigned char last = rgb[static_cast<size_t>(w) * static_cast<size_t>(h) * 3 - 1];
        (void)last;
        if (w <= 0 || h <= 0 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) std::abort();
        std::free(rgb);
    }
    return 0;
}
