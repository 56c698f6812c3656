#include "printer/NZProtoHandlerPro.h"

#include <cstring>

NZProtoHandlerPro::NZProtoHandlerPro() : m_body(new unsigned char[kBodyCapacity]()) {}

void NZProtoHandlerPro::ResetHandler()
{
    m_headerCount = 0;
    m_bodyCount = 0;
    m_complete = false;
}

uint16_t NZProtoHandlerPro::GetResultCmd() const
{
    return static_cast<uint16_t>(m_header[2] | (m_header[3] << 8));
}

uint32_t NZProtoHandlerPro::GetResultPara() const
{
    return static_cast<uint32_t>(m_header[4]) | (static_cast<uint32_t>(m_header[5]) << 8) |
           (static_cast<uint32_t>(m_header[6]) << 16) | (static_cast<uint32_t>(m_header[7]) << 24);
}

uint16_t NZProtoHandlerPro::BodyLength() const
{
    return static_cast<uint16_t>(m_header[8] | (m_header[9] << 8));
}

uint32_t NZProtoHandlerPro::GetResultRecvlen() const { return m_bodyCount; }

bool NZProtoHandlerPro::CheckHead(const unsigned char* bytes, uint32_t count)
{
    if (count == 0) return true;
    if (bytes[0] != NZProtoHandler::kStartByte) return false;
    if (count < 11) return true;
    return NZProtoHandler::Xor(bytes, 11) == 0;
}

void NZProtoHandlerPro::ResetHead(const unsigned char* held, uint32_t count, unsigned char* dest,
                                  uint32_t* destCount)
{
    uint32_t p = 1;
    while (p < count && !CheckHead(held + p, count - p)) ++p;
    const uint32_t kept = p < count ? count - p : 0;
    if (kept > 0) std::memmove(dest, held + p, kept);
    *destCount = kept;
}

bool NZProtoHandlerPro::HandleByte(unsigned char byte)
{
    bool complete = false;
    Feed(&byte, 1, &complete);
    return complete;
}

void NZProtoHandlerPro::DropHeaderBegunWithin(uint32_t frame_size)
{
    if (m_complete || m_headerCount == 0 || m_headerCount >= NZProtoHandler::kHeaderSize) return;
    if (m_headerCount <= frame_size) ResetHandler();
}

size_t NZProtoHandlerPro::Feed(const unsigned char* data, size_t length, bool* complete)
{
    *complete = false;
    size_t at = 0;
    while (at < length) {
        if (m_complete) ResetHandler();

        if (m_headerCount == 0) {
            const void* start = std::memchr(data + at, NZProtoHandler::kStartByte, length - at);
            if (start == nullptr) return length;
            at = static_cast<size_t>(static_cast<const unsigned char*>(start) - data);
            m_header[m_headerCount++] = data[at++];
            continue;
        }

        if (m_headerCount < NZProtoHandler::kHeaderSize) {
            m_header[m_headerCount++] = data[at++];
            if (m_headerCount < NZProtoHandler::kHeaderSize) continue;
            m_bodyCount = 0;
            if (m_checkHeader && NZProtoHandler::Xor(m_header, 10) != m_header[10]) {
                ResetHead(m_header, m_headerCount, m_header, &m_headerCount);
                continue;
            }
            if (BodyLength() > 0) continue;
            m_complete = true;
            *complete = true;
            return at;
        }

        // Body. The capacity exceeds the largest 16-bit length, so this cannot overrun.
        const size_t wanted = BodyLength() - m_bodyCount;
        const size_t taken = wanted < length - at ? wanted : length - at;
        std::memcpy(m_body.get() + m_bodyCount, data + at, taken);
        m_bodyCount += static_cast<uint32_t>(taken);
        at += taken;
        if (m_bodyCount < BodyLength()) continue;
        if (m_checkBody && NZProtoHandler::Xor(m_body.get(), m_bodyCount) != m_header[11]) {
            ResetHandler();
            continue;
        }
        m_complete = true;
        *complete = true;
        return at;
    }
    return at;
}
