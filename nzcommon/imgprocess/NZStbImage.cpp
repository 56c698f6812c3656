#include "nzcommon/imgprocess/NZStbImage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define QV_STB_PLAIN_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_STB_PLAIN_MALLOC 1
#endif
#endif

namespace {

// AddressSanitizer bounds and tracks malloc's blocks only.
#ifdef QV_STB_PLAIN_MALLOC
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif

// A photograph's planes and pixels are tens of megabytes, each page touched once: from
// malloc they are fresh mmap pages, one fault and one cleared 4 KiB page at a time. Large
// blocks are mapped on a 2 MiB boundary and offered to transparent huge pages.
//
// Every byte handed out reads zero until stb_image writes it: it reads some buffers before
// it writes them (the coefficients of a progressive JPEG whose first scan refines them),
// and what a freed block held must not reach paper. A mapping comes zeroed; a mapped block
// keeps the bytes past its size zero, so that it can grow in place again.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeBlock = nzimg::kStbLargeBlock;

// Before every block; keeps the data 16-byte aligned as malloc's is.
struct alignas(16) BlockHead {
    size_t size;
    size_t mapped; // the mapping's length, 0 for a malloc block
};

size_t PageSize() {
    static const size_t page = [] {
        const long p = sysconf(_SC_PAGESIZE);
        return p > 0 ? static_cast<size_t>(p) : size_t{4096};
    }();
    return page;
}

void *MapLarge(size_t size) {
    const size_t page = PageSize();
    if (size > SIZE_MAX / 2 - sizeof(BlockHead) - kHugePage - page) return nullptr;
    // Only whole pages: a huge page is used only where the mapping covers all of it, so the
    // tail stays in small pages and no more is resident than was asked for.
    const size_t length = (sizeof(BlockHead) + size + page - 1) & ~(page - 1);
    void *raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
    if (aligned > start) munmap(raw, aligned - start);
    if (const size_t tail = start + length + kHugePage - (aligned + length))
        munmap(reinterpret_cast<void *>(aligned + length), tail);
    void *block = reinterpret_cast<void *>(aligned);
    madvise(block, length, MADV_HUGEPAGE); // a hint: refused, the pages are merely small
    auto *head = static_cast<BlockHead *>(block);
    head->size = size, head->mapped = length;
    return head + 1;
}

} // namespace

namespace nzimg {

bool StbMapsLargeBlocks() { return kMapLargeBlocks; }

bool StbBlockIsMapped(const void *p) { return p && (static_cast<const BlockHead *>(p) - 1)->mapped != 0; }

void *StbMalloc(size_t size) {
    if (kMapLargeBlocks && size >= kLargeBlock) return MapLarge(size);
    if (size > SIZE_MAX - sizeof(BlockHead)) return nullptr;
    auto *head = static_cast<BlockHead *>(std::calloc(1, sizeof(BlockHead) + size));
    if (!head) return nullptr;
    head->size = size, head->mapped = 0;
    return head + 1;
}

void StbFree(void *p) {
    if (!p) return;
    BlockHead *head = static_cast<BlockHead *>(p) - 1;
    if (head->mapped) {
        munmap(head, head->mapped);
    } else {
        std::free(head);
    }
}

void *StbRealloc(void *p, size_t size) {
    if (!p) return StbMalloc(size);
    BlockHead *head = static_cast<BlockHead *>(p) - 1;
    const size_t old = head->size;
    if (head->mapped && size <= head->mapped - sizeof(BlockHead)) {
        if (size < old) std::memset(static_cast<unsigned char *>(p) + size, 0, old - size);
        head->size = size;
        return p;
    }
    if (!head->mapped && (size < kLargeBlock || size <= old)) {
        if (size > SIZE_MAX - sizeof(BlockHead)) return nullptr;
        auto *grown = static_cast<BlockHead *>(std::realloc(head, sizeof(BlockHead) + size));
        if (!grown) return nullptr;
        if (size > old) std::memset(reinterpret_cast<unsigned char *>(grown + 1) + old, 0, size - old);
        grown->size = size;
        return grown + 1;
    }
    void *moved = StbMalloc(size);
    if (!moved) return nullptr; // p stays valid, as realloc leaves it
    std::memcpy(moved, p, old < size ? old : size);
    StbFree(p);
    return moved;
}

} // namespace nzimg

// Static: no stbi_ symbol leaves this file, so nothing clashes with a prebuilt stb that a
// program linking the library (or its tests, linking it statically) brings as well.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_MALLOC(sz) nzimg::StbMalloc(sz)
#define STBI_REALLOC_SIZED(p, oldsz, newsz) nzimg::StbRealloc(p, newsz)
#define STBI_FREE(p) nzimg::StbFree(p)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace nzimg {

unsigned char *StbLoadFromMemory(const unsigned char *data, int length, int *w, int *h, int *channels,
                                 int wanted_channels) {
    return stbi_load_from_memory(data, length, w, h, channels, wanted_channels);
}

unsigned short *StbLoad16FromMemory(const unsigned char *data, int length, int *w, int *h, int *channels,
                                    int wanted_channels) {
    return stbi_load_16_from_memory(data, length, w, h, channels, wanted_channels);
}

void StbImageFree(void *pixels) { stbi_image_free(pixels); }

} // namespace nzimg
