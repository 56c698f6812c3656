// Fixtures for the imaging tests: owned copies of library buffers, hex dumps, a small BMP
// writer, PNG/JPEG encoding through stb_image_write and temporary files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <stb_image_write.h>

#include "nzcommon/imgprocess/NZImageScale.h"
#include "nzcommon/imgprocess/NZKernelPath.h"

namespace imgtest {

using Bytes = std::vector<unsigned char>;

// Takes ownership of a library buffer (freed here) and returns its first n bytes.
inline Bytes Take(unsigned char *p, size_t n) {
    Bytes out;
    if (p) out.assign(p, p + n);
    std::free(p);
    return out;
}

inline std::string Hex(const Bytes &b) {
    std::string s;
    char buf[4];
    for (unsigned char c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

#define EXPECT_BYTES_EQ(expected, actual) EXPECT_EQ(imgtest::Hex(expected), imgtest::Hex(actual))

inline void Put16(Bytes &b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
inline void Put32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

struct Bmp {
    int32_t width = 0;
    int32_t height = 0; // negative: rows stored top-down
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t info_size = 40;
    std::vector<uint32_t> palette; // 0x00RRGGBB, written as B, G, R, 0
    std::vector<Bytes> rows;       // in stored order, unpadded; padded to 4 bytes here

    Bytes Encode() const {
        const size_t row_bytes = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
        const size_t offset = 14 + info_size + palette.size() * 4;
        Bytes b(offset, 0);
        b[0] = 'B';
        b[1] = 'M';
        Put32(b, 2, static_cast<uint32_t>(offset + rows.size() * row_bytes));
        Put32(b, 10, static_cast<uint32_t>(offset));
        Put32(b, 14, info_size);
        if (b.size() >= 34) {
            Put32(b, 18, static_cast<uint32_t>(width));
            Put32(b, 22, static_cast<uint32_t>(height));
            Put16(b, 26, 1);
            Put16(b, 28, bpp);
            Put32(b, 30, compression);
        }
        for (size_t i = 0; i < palette.size(); ++i) {
            const size_t at = 14 + info_size + 4 * i;
            b[at] = palette[i] & 0xFF;
            b[at + 1] = (palette[i] >> 8) & 0xFF;
            b[at + 2] = (palette[i] >> 16) & 0xFF;
        }
        for (const Bytes &row : rows) {
            Bytes padded = row;
            padded.resize(row_bytes, 0);
            b.insert(b.end(), padded.begin(), padded.end());
        }
        return b;
    }
};

inline void AppendTo(void *ctx, void *data, int size) {
    auto *out = static_cast<Bytes *>(ctx);
    auto *p = static_cast<unsigned char *>(data);
    out->insert(out->end(), p, p + size);
}

inline Bytes Png(int w, int h, int comp, const Bytes &pixels) {
    Bytes out;
    stbi_write_png_to_func(AppendTo, &out, w, h, comp, pixels.data(), w * comp);
    return out;
}

inline Bytes Jpeg(int w, int h, int comp, const Bytes &pixels, int quality = 95) {
    Bytes out;
    stbi_write_jpg_to_func(AppendTo, &out, w, h, comp, pixels.data(), quality);
    return out;
}

// A private directory, removed with its files at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/qv_image_test_XXXXXX";
        const char *made = mkdtemp(tmpl);
        path_ = made ? made : "";
    }
    ~TempDir() {
        for (const std::string &f : files_) ::unlink(f.c_str());
        ::rmdir(path_.c_str());
    }
    const std::string &path() const { return path_; }
    std::string Write(const std::string &name, const Bytes &data) {
        const std::string file = path_ + "/" + name;
        FILE *f = std::fopen(file.c_str(), "wb");
        if (f) {
            if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
            std::fclose(f);
        }
        files_.push_back(file);
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// Deterministic pseudo-random bytes for whole-image comparisons.
inline Bytes Noise(size_t n, uint32_t seed) {
    Bytes out(n);
    for (auto &b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    return out;
}

// Runs body once on the scaler's baseline path and once on its AVX2 path (where the
// processor has one), restoring the default.
template <typename Body> void OnEveryScalingPath(Body &&body) {
    for (nzimg::KernelPath path : {nzimg::KernelPath::Scalar, nzimg::KernelPath::Avx2}) {
        SCOPED_TRACE(path == nzimg::KernelPath::Avx2 ? "AVX2 scaling" : "baseline scaling");
        nzimg::RequestKernelPath(path);
        body();
    }
    nzimg::RequestKernelPath(nzimg::KernelPath::Avx2);
}

} // namespace imgtest
