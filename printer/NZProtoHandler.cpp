#include "printer/NZProtoHandler.h"

#include <cstring>

unsigned char NZProtoHandler::Xor(const unsigned char* data, std::size_t length)
{
    unsigned char x = 0;
    for (std::size_t i = 0; i < length; ++i) x ^= data[i];
    return x;
}

bool NZProtoHandler::GenerateSendPackage(uint8_t type, uint16_t command, uint32_t parameter,
                                         uint16_t bodyLength, const unsigned char* body,
                                         unsigned char* out, uint32_t* outLength)
{
    if (out == nullptr || (bodyLength > 0 && body == nullptr)) return false;
    out[0] = kStartByte;
    out[1] = type;
    out[2] = static_cast<unsigned char>(command);
    out[3] = static_cast<unsigned char>(command >> 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<unsigned char>(parameter >> (8 * i));
    out[8] = static_cast<unsigned char>(bodyLength);
    out[9] = static_cast<unsigned char>(bodyLength >> 8);
    out[10] = Xor(out, 10);
    out[11] = Xor(body, bodyLength);
    if (bodyLength > 0) std::memcpy(out + kHeaderSize, body, bodyLength);
    if (outLength != nullptr) *outLength = kHeaderSize + bodyLength;
    return true;
}
