#pragma once

#include <cstddef>
#include <cstdint>

// Framed maintenance packet: a 12-byte little-endian header, then the body.
//   0 start 0x03 | 1 type | 2-3 command | 4-7 parameter | 8-9 body length N
//   10 XOR of bytes 0-9 | 11 XOR of the body (0 when N = 0) | 12.. body
class NZProtoHandler {
public:
    static constexpr unsigned char kStartByte = 0x03;
    static constexpr unsigned char kLibraryType = 0xFF;  // type of every packet we send
    static constexpr unsigned kHeaderSize = 12;
    static constexpr unsigned kMaxBodySize = 0xFFFF;

    static unsigned char Xor(const unsigned char* data, std::size_t length);

    // Writes the packet into out, which must hold bodyLength + 12 bytes, and stores that
    // count. False (nothing written) for a null out buffer or a missing body of length > 0.
    static bool GenerateSendPackage(uint8_t type, uint16_t command, uint32_t parameter,
                                    uint16_t bodyLength, const unsigned char* body,
                                    unsigned char* out, uint32_t* outLength);
};
