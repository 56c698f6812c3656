// Status frames of any kind and content, then one well-formed framed-packet reply, through
// the received hook in chunks of arbitrary sizes: the reply must be found, and be the only
// packet, whatever 0x03 bytes the frames hold and with the checks on or off.
//
// Input: byte 0 bit 0 turns the checks off, bits 1-7 seed the chunk sizes; byte 1 counts the
// frames, each given by six bytes (d1..d5, type modulo 10, the check byte is made); then the
// reply's type, command (2 bytes), parameter (4 bytes) and body (the rest).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortHooks.h"
#include "printer/NZProtoHandler.h"

namespace {

constexpr size_t kMaxInput = 2048;
constexpr size_t kFrameSpec = 6;
constexpr size_t kReplyFields = 7;

uint32_t Little(const uint8_t* p, size_t n)
{
    uint32_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > kMaxInput) return 0;
    const bool checks = (data[0] & 1) == 0;
    uint32_t seed = data[0] >> 1;
    const size_t frames = data[1];
    size_t at = 2;
    if (size < at + frames * kFrameSpec + kReplyFields) return 0;

    std::vector<uint8_t> stream;
    for (size_t f = 0; f < frames; ++f, at += kFrameSpec) {
        uint8_t frame[VelnorHandlerPro::kFrameSize] = {VelnorHandlerPro::kHeadByte};
        std::memcpy(frame + 1, data + at, 5);
        frame[VelnorHandlerPro::kTypeOffset] = data[at + 5] % (VelnorHandlerPro::kMaxType + 1);
        for (size_t i = 0; i + 1 < sizeof frame; ++i) frame[7] ^= frame[i];
        stream.insert(stream.end(), frame, frame + sizeof frame);
    }
    const uint8_t type = data[at];
    const uint16_t command = static_cast<uint16_t>(Little(data + at + 1, 2));
    const uint32_t parameter = Little(data + at + 3, 4);
    at += kReplyFields;
    const std::vector<uint8_t> body(data + at, data + size);
    const size_t replyStart = stream.size();
    stream.resize(replyStart + NZProtoHandler::kHeaderSize + body.size());
    uint32_t replyLength = 0;
    if (!NZProtoHandler::GenerateSendPackage(type, command, parameter,
                                             static_cast<uint16_t>(body.size()), body.data(),
                                             stream.data() + replyStart, &replyLength))
        __builtin_trap();

    auto owned = std::make_unique<IOHandle>();
    IOHandle* h = owned.get();
    void* value = ptrs().InitPtr(h);
    if (value == nullptr) __builtin_trap();
    owned.release();
    h->protoHandler.SetCheckHeader(checks);
    h->protoHandler.SetCheckBody(checks);
    for (size_t pos = 0; pos < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(stream.size() - pos, 1 + (seed >> 16) % 40);
        Port_ReadedEvent(stream.data() + pos, static_cast<unsigned>(n), value);
        pos += n;
    }
    {
        std::lock_guard<std::mutex> lock(h->protoMutex);
        if (h->protoPackages.size() != 1) __builtin_trap();
        const NZReceivedProtoPackage& p = h->protoPackages.front();
        if (p.command != command || p.parameter != parameter || p.length != body.size() ||
            (!body.empty() && std::memcmp(p.data, body.data(), body.size()) != 0))
            __builtin_trap();
    }
    ptrs().Release(value);
    return 0;
}
