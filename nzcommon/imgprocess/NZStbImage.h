// stb_image compiled into the library, with its buffers from our own allocator.
#pragma once

#include <cstddef>

namespace nzimg {

// stbi_load_from_memory's contract; the pixels are freed by StbImageFree alone.
unsigned char *StbLoadFromMemory(const unsigned char *data, int length, int *w, int *h, int *channels,
                                 int wanted_channels);
// stbi_load_16_from_memory's: samples of 16 bits (a PNM's lie as in the file).
unsigned short *StbLoad16FromMemory(const unsigned char *data, int length, int *w, int *h, int *channels,
                                    int wanted_channels);
void StbImageFree(void *pixels);

// The allocator stb_image decodes with (exposed for its tests): malloc, realloc and free,
// except that blocks of kStbLargeBlock bytes and more are mapped on huge-page boundaries
// where StbMapsLargeBlocks (not under AddressSanitizer, which tracks malloc's blocks only).
// A mapped block shrinks in place and grows in place within its mapping. Every byte handed
// out, grown tails included, reads zero until written.
constexpr size_t kStbLargeBlock = size_t{4} << 20;
void *StbMalloc(size_t size);
void *StbRealloc(void *p, size_t size);
void StbFree(void *p);
bool StbMapsLargeBlocks();
bool StbBlockIsMapped(const void *p);

} // namespace nzimg
