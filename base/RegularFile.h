#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// The whole of a regular file, for every call of the library that reads a file by path.
struct RegularFile {
    std::unique_ptr<unsigned char, decltype(&std::free)> bytes{nullptr, &std::free};  // malloc
    size_t size = 0;
    // The size the file had when it was opened; -1 when path is no regular file that opens.
    int64_t found_size = -1;

    // Reads the file at path whole, when it is a regular file of 1 to max_size bytes.
    // Anything else is refused before a byte is read: a FIFO would block the call, a device
    // may never end, and a file over max_size is not read at all.
    static bool Read(const char* path, size_t max_size, RegularFile* out);

    // The same, but the first bytes (up to head_size) are read first and the rest only when
    // accept_head takes them: a large file that is plainly not what the caller reads is
    // refused after a few bytes.
    static bool Read(const char* path, size_t max_size, RegularFile* out, size_t head_size,
                     bool (*accept_head)(const unsigned char* head, size_t n));
};
