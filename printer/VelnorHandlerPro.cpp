#include "printer/VelnorHandlerPro.h"

#include <cstring>

namespace {

unsigned char Xor8(const unsigned char* p)
{
    unsigned char x = 0;
    for (unsigned i = 0; i < VelnorHandlerPro::kFrameSize; ++i) x ^= p[i];
    return x;
}

void Emit(const unsigned char* src, unsigned n, unsigned char* out, unsigned capacity,
          unsigned* length)
{
    if (out == nullptr) return;
    const unsigned copied = n < capacity ? n : capacity;
    if (copied > 0) std::memcpy(out, src, copied);
    if (length != nullptr) *length = copied;
}

}  // namespace

bool VelnorHandlerPro::CheckHead(const unsigned char* p, unsigned n)
{
    if (n == 0) return true;
    if (p[0] != kHeadByte) return false;
    return n < kFrameSize || Xor8(p) == 0;
}

unsigned VelnorHandlerPro::ResetHead(const unsigned char* held, unsigned count,
                                     unsigned char* dest, unsigned* destCount)
{
    unsigned p = 1;
    while (p < count && !CheckHead(held + p, count - p)) ++p;
    if (p > count) p = count;  // count 0
    const unsigned kept = count - p;
    if (kept > 0) std::memmove(dest, held + p, kept);
    *destCount = kept;
    return p;
}

bool VelnorHandlerPro::heldRunRuledOut() const
{
    if (m_count > kTypeOffset && m_buffer[kTypeOffset] > kMaxType) return true;
    return m_count == kFrameSize && Xor8(m_buffer) != 0;
}

unsigned VelnorHandlerPro::rejectHeldRuns(unsigned char* plain)
{
    unsigned dropped = 0;
    while (m_count > 0 && heldRunRuledOut()) {
        unsigned char run[kFrameSize];
        std::memcpy(run, m_buffer, m_count);
        unsigned kept = 0;
        const unsigned before = ResetHead(run, m_count, m_buffer, &kept);
        std::memcpy(plain + dropped, run, before);
        dropped += before;
        m_count = kept;
    }
    return dropped;
}

void VelnorHandlerPro::HandleReceivedData(unsigned char byte, unsigned char* frame,
                                          unsigned frame_capacity, unsigned* frame_length,
                                          unsigned char* passed, unsigned passed_capacity,
                                          unsigned* passed_length)
{
    if (frame_length != nullptr) *frame_length = 0;
    if (passed_length != nullptr) *passed_length = 0;

    if (m_count == 0) {
        if (byte == kHeadByte)
            m_buffer[m_count++] = byte;
        else
            Emit(&byte, 1, passed, passed_capacity, passed_length);
        return;
    }

    m_buffer[m_count++] = byte;
    // A run is let go as soon as it is ruled out (its type byte may already do that), so
    // replies that merely contain 0x53 are not held back waiting for more bytes.
    unsigned char plain[kFrameSize];
    const unsigned dropped = rejectHeldRuns(plain);
    if (dropped > 0) {
        Emit(plain, dropped, passed, passed_capacity, passed_length);
        return;
    }
    if (m_count < kFrameSize) return;
    Emit(m_buffer, kFrameSize, frame, frame_capacity, frame_length);
    m_count = 0;
}

size_t VelnorHandlerPro::Split(const unsigned char* data, size_t length, unsigned char* plain,
                               size_t* plain_length, unsigned char* frame, bool* framed)
{
    *framed = false;
    size_t at = 0;
    while (at < length) {
        if (m_count == 0) {
            const auto* head =
                static_cast<const unsigned char*>(std::memchr(data + at, kHeadByte, length - at));
            const size_t end = head == nullptr ? length : static_cast<size_t>(head - data);
            std::memcpy(plain + *plain_length, data + at, end - at);
            *plain_length += end - at;
            at = end;
            if (at == length) break;
        }
        unsigned frameLength = 0;
        unsigned passedLength = 0;
        HandleReceivedData(data[at++], frame, kFrameSize, &frameLength, plain + *plain_length,
                           kFrameSize, &passedLength);
        *plain_length += passedLength;
        if (frameLength == kFrameSize) {
            *framed = true;
            break;
        }
    }
    return at;
}

void VelnorHandlerPro::ReleasePartialFrame(unsigned char* passed, unsigned passed_capacity,
                                           unsigned* passed_length)
{
    if (passed_length != nullptr) *passed_length = 0;
    Emit(m_buffer, m_count, passed, passed_capacity, passed_length);
    m_count = 0;
}
