#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

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

// Packets nobody takes (no framed protocol client running) must not pile up for the life
// of the port. The limit still lets one block transfer wait for 4096 replies (1 MiB of
// 256-byte flash slices) at once.
constexpr std::size_t kMaxReceivedProtoPackages = 4096;

// Appends at the back and drops the oldest beyond the limit. The caller holds the list's
// mutex.
template <class List>
void AppendReceivedProtoPackage(List& list, NZReceivedProtoPackage&& package,
                                std::size_t limit = kMaxReceivedProtoPackages)
{
    list.push_back(std::move(package));
    while (list.size() > limit && !list.empty()) list.pop_front();
}
