// Small helpers shared by the imaging code: checked size arithmetic and malloc ownership.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace nzimg {

struct FreeDeleter {
    void operator()(void *p) const noexcept { std::free(p); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, FreeDeleter>;

// Products of caller sizes must never wrap: a wrapped size allocates too little.
inline bool MulSize(size_t a, size_t b, size_t *out) { return !__builtin_mul_overflow(a, b, out); }
inline bool MulSize(size_t a, size_t b, size_t c, size_t *out) {
    size_t ab;
    return MulSize(a, b, &ab) && MulSize(ab, c, out);
}

// The allocator's own limit; anything above cannot be a real image buffer.
constexpr size_t kMaxBufferBytes = size_t{1} << 40;

// Whether rows of row_bytes, stride bytes apart, can lie in one buffer: no buffer reaches
// past kMaxBufferBytes, so a larger extent means the sizes are not the data's.
inline bool RowsAddressable(size_t rows, size_t stride, size_t row_bytes) {
    if (rows == 0 || row_bytes == 0) return true;
    size_t end;
    return MulSize(rows - 1, stride, &end) && !__builtin_add_overflow(end, row_bytes, &end) && end <= kMaxBufferBytes;
}

inline unsigned char *AllocBytes(size_t n) {
    if (n == 0 || n >= kMaxBufferBytes) return nullptr;
    return static_cast<unsigned char *>(std::malloc(n));
}
inline unsigned char *AllocZeroedBytes(size_t n) {
    if (n == 0 || n >= kMaxBufferBytes) return nullptr;
    return static_cast<unsigned char *>(std::calloc(n, 1));
}

inline void SetOut(size_t *p, size_t v) {
    if (p) *p = v;
}

// A command stream or other bytes made whole, owned as one malloc buffer.
struct ByteBuffer {
    MallocPtr<unsigned char> bytes;
    size_t size = 0;
};

// The exported form: the buffer handed to the caller, its size reported (0 for none).
inline unsigned char *HandOver(ByteBuffer &&buffer, size_t *out_size) {
    SetOut(out_size, buffer.bytes ? buffer.size : 0);
    return buffer.bytes.release();
}

} // namespace nzimg
