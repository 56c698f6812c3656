// stb_image compiled into the library, with its buffers from our own allocator.
#pragma once

namespace nzimg {

// stbi_load_from_memory's contract; the pixels are freed by StbImageFree alone.
unsigned char *StbLoadFromMemory(const unsigned char *data, int length, int *w, int *h, int *channels,
                                 int wanted_channels);
void StbImageFree(void *pixels);

} // namespace nzimg
