#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline std::string Hex(const Bytes& b)
{
    std::string s;
    char buf[4];
    for (unsigned char c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    if (!s.empty()) s.pop_back();
    return s.empty() ? "(empty)" : s;
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
