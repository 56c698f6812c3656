#pragma once

#include <cstddef>

// Write filters: RAZIBase::Write sends what FilterData returns in place of the caller's
// bytes. The result is a malloc block that the caller frees with free, or null when there
// is nothing to send; out_len may be null.
class NZFilter {
public:
    virtual unsigned char* FilterData(const unsigned char* data, size_t len, size_t* out_len);

protected:
    ~NZFilter() = default;
};

// Pads each write with the fill byte up to a multiple of the alignment.
class NZFilter_ByteAlignment : public NZFilter {
public:
    unsigned char* FilterData(const unsigned char* data, size_t len, size_t* out_len) override;

    size_t alignment = 1;
    unsigned char fill = 0;
};
