#pragma once

#include "ProtoTestBytes.h"

// An 8-byte status frame with a correct check byte.
inline Bytes VelnorFrame(unsigned char type, unsigned char d1, unsigned char d2 = 0,
                         unsigned char d3 = 0, unsigned char d4 = 0, unsigned char d5 = 0)
{
    Bytes f = {0x53, d1, d2, d3, d4, d5, type, 0};
    unsigned char x = 0;
    for (int i = 0; i < 7; ++i) x ^= f[i];
    f[7] = x;
    return f;
}
