// Helpers for the raster, JBIG and base64 suites: byte buffers, hex dumps, test rasters,
// PBM files and running the command-line oracles in a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace rastertest {

using Bytes = std::vector<unsigned char>;

inline std::string Hex(const Bytes &b) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < b.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", b[i]);
    if (i) s += (i % 32 == 0) ? "\n" : " ";
    s += buf;
  }
  return s;
}

// Compares and, on a mismatch, names the case and dumps both sides.
inline void ExpectBytes(const std::string &name, const Bytes &expected, const Bytes &actual) {
  EXPECT_TRUE(expected == actual) << name << "\nexpected (" << expected.size() << " bytes):\n"
                                  << Hex(expected) << "\nactual (" << actual.size()
                                  << " bytes):\n"
                                  << Hex(actual);
}

struct FreeDeleter {
  void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;

// Takes a library buffer of the reported size (by reference: read after the call ran).
inline Bytes Take(unsigned char *p, const uint64_t &size) {
  Owned<unsigned char> owned(p);
  return p ? Bytes(p, p + size) : Bytes{};
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Repeat(unsigned char v, size_t n) { return Bytes(n, v); }

// A one-bit raster, rows of bytes_per_line bytes.
struct Raster {
  uint64_t width = 0;
  uint64_t height = 0;
  uint64_t bytes_per_line = 0;
  Bytes bits;

  Raster(uint64_t w, uint64_t h, uint64_t bpl = 0)
      : width(w), height(h), bytes_per_line(bpl ? bpl : (w + 7) / 8), bits(bytes_per_line * h) {}
  void Set(uint64_t x, uint64_t y) { bits[y * bytes_per_line + x / 8] |= 0x80 >> (x % 8); }
  bool Get(uint64_t x, uint64_t y) const {
    return bits[y * bytes_per_line + x / 8] & (0x80 >> (x % 8));
  }
  // The same image with tight rows and padding bits cleared.
  Raster Tight() const {
    Raster r(width, height);
    for (uint64_t y = 0; y < height; ++y)
      for (uint64_t x = 0; x < width; ++x)
        if (Get(x, y)) r.Set(x, y);
    return r;
  }
};

inline Raster NoiseRaster(uint64_t w, uint64_t h, unsigned seed, int black_percent = 50) {
  Raster r(w, h);
  std::mt19937 rng(seed);
  for (uint64_t y = 0; y < h; ++y)
    for (uint64_t x = 0; x < w; ++x)
      if (static_cast<int>(rng() % 100) < black_percent) r.Set(x, y);
  return r;
}

// Something like a receipt: bars of text-like strokes, a frame, white margins.
inline Raster DocumentRaster(uint64_t w, uint64_t h, unsigned seed) {
  Raster r(w, h);
  std::mt19937 rng(seed);
  for (uint64_t y = 0; y < h; ++y) {
    const bool text_row = (y / 12) % 3 != 2 && y % 12 < 9;
    for (uint64_t x = 0; x < w; ++x) {
      const bool frame = x < 4 || x + 4 >= w || y < 4 || y + 4 >= h;
      const bool glyph = text_row && x > 16 && x + 16 < w && ((x / 7 + y / 12) * 2654435761u >> 7) % 3 != 0 &&
                         (rng() % 4 == 0 || (x % 7) < 2);
      if (frame || glyph) r.Set(x, y);
    }
  }
  return r;
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvrasterXXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  std::string File(const std::string &name) const { return (path_ / name).string(); }
  bool ok() const { return !path_.empty(); }

 private:
  std::filesystem::path path_;
};

inline bool HaveTool(const char *name) {
  const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

inline int RunTool(const std::string &cmd) { return std::system((cmd + " 2>/dev/null").c_str()); }

inline Bytes ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string &path, const Bytes &b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void WritePbm(const std::string &path, const Raster &r) {
  const Raster t = r.Tight();
  const std::string head = "P4\n" + std::to_string(t.width) + " " + std::to_string(t.height) + "\n";
  Bytes file(head.begin(), head.end());
  file.insert(file.end(), t.bits.begin(), t.bits.end());
  WriteFile(path, file);
}

// Reads a binary PBM as written by the JBIG tools (single spaces or newlines, no comments).
inline bool ReadPbm(const std::string &path, Raster &out) {
  const Bytes f = ReadFile(path);
  const std::string s(f.begin(), f.end());
  unsigned long w = 0, h = 0;
  int consumed = 0;
  if (std::sscanf(s.c_str(), "P4 %lu %lu%n", &w, &h, &consumed) != 2) return false;
  const size_t data = static_cast<size_t>(consumed) + 1;  // one whitespace byte
  Raster r(w, h);
  if (f.size() != data + r.bits.size()) return false;
  std::copy(f.begin() + static_cast<long>(data), f.end(), r.bits.begin());
  out = r;
  return true;
}

}  // namespace rastertest
