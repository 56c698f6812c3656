#pragma once

#include <cstdint>

// A received framed packet kept for the framed protocol client: command, parameter and an
// owned heap copy of the body. Copies are deep.
class NZReceivedProtoPackage {
public:
    NZReceivedProtoPackage();
    NZReceivedProtoPackage(uint16_t command, uint32_t parameter, const unsigned char* data,
                           uint64_t length);
    NZReceivedProtoPackage(const NZReceivedProtoPackage& other);
    NZReceivedProtoPackage(NZReceivedProtoPackage&& other) noexcept;
    NZReceivedProtoPackage& operator=(const NZReceivedProtoPackage& other);
    NZReceivedProtoPackage& operator=(NZReceivedProtoPackage&& other) noexcept;
    ~NZReceivedProtoPackage();

    // All fields 0, data null; does not free (for raw, uninitialised storage).
    void InitProtoPackage();
    // Replaces the contents with a copy of data. A null source or length 0 gives no data;
    // a copy that cannot be allocated gives length 0. data may point into this package.
    void FillProtoPackage(uint16_t command, uint32_t parameter, const unsigned char* data,
                          uint64_t length);
    void FreeProtoPackage();

    uint16_t command = 0;
    uint32_t parameter = 0;
    unsigned char* data = nullptr;
    uint64_t length = 0;
};
