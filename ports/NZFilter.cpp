#include "ports/NZFilter.h"

#include <cstdlib>
#include <cstring>

namespace {

unsigned char* nothing(size_t* out_len) {
    if (out_len != nullptr) *out_len = 0;
    return nullptr;
}

}  // namespace

unsigned char* NZFilter::FilterData(const unsigned char* data, size_t len, size_t* out_len) {
    if (data == nullptr || len == 0) return nothing(out_len);
    auto* copy = static_cast<unsigned char*>(std::malloc(len));
    if (copy == nullptr) return nothing(out_len);
    std::memcpy(copy, data, len);
    if (out_len != nullptr) *out_len = len;
    return copy;
}

unsigned char* NZFilter_ByteAlignment::FilterData(const unsigned char* data, size_t len,
                                                  size_t* out_len) {
    if (data == nullptr || len == 0 || alignment == 0) return nothing(out_len);
    size_t blocks = len / alignment + (len % alignment != 0 ? 1 : 0);
    if (blocks > static_cast<size_t>(-1) / alignment) return nothing(out_len);
    size_t size = blocks * alignment;
    auto* padded = static_cast<unsigned char*>(std::malloc(size));
    if (padded == nullptr) return nothing(out_len);
    std::memset(padded, fill, size);
    std::memcpy(padded, data, len);
    if (out_len != nullptr) *out_len = size;
    return padded;
}
