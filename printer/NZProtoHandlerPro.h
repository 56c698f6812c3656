#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "printer/NZProtoHandler.h"

// Byte-wise reader of framed maintenance packets. Fed by one thread only (the port's
// reader); not copyable, it owns a 64 KiB body buffer.
class NZProtoHandlerPro {
public:
    static constexpr unsigned kBodyCapacity = 65536;

    NZProtoHandlerPro();
    NZProtoHandlerPro(const NZProtoHandlerPro&) = delete;
    NZProtoHandlerPro& operator=(const NZProtoHandlerPro&) = delete;

    // True when this byte completed a packet; its fields stay readable until the next
    // byte or ResetHandler. A byte fed after completion starts over as if reset.
    bool HandleByte(unsigned char byte);
    // Feeds bytes in order until one completes a packet (*complete true; its fields are then
    // readable as after HandleByte) or all are taken; returns how many it took.
    size_t Feed(const unsigned char* data, size_t length, bool* complete);
    void ResetHandler();
    // A status frame ended with the last byte fed. A header whose start byte is one of the
    // frame's `frame_size` bytes was made of frame bytes, not of a packet: it is dropped, so
    // its length field cannot make the reader swallow what follows.
    void DropHeaderBegunWithin(uint32_t frame_size);

    uint16_t GetResultCmd() const;
    uint32_t GetResultPara() const;
    const unsigned char* GetResultRecvbuf() const { return m_body.get(); }
    uint32_t GetResultRecvlen() const;

    void SetCheckHeader(bool on) { m_checkHeader = on; }
    void SetCheckBody(bool on) { m_checkBody = on; }
    bool IsCheckHeader() const { return m_checkHeader; }
    bool IsCheckBody() const { return m_checkBody; }
    uint32_t HeaderCount() const { return m_headerCount; }

    // Resynchronisation after a bad header: moves the held bytes from the first later
    // position that CheckHead accepts into dest (may alias held) and stores how many.
    static void ResetHead(const unsigned char* held, uint32_t count, unsigned char* dest,
                          uint32_t* destCount);
    // A 0x03 followed, when 11 bytes are there, by a valid header check.
    static bool CheckHead(const unsigned char* bytes, uint32_t count);

private:
    uint16_t BodyLength() const;

    unsigned char m_header[NZProtoHandler::kHeaderSize] = {};
    uint32_t m_headerCount = 0;
    std::unique_ptr<unsigned char[]> m_body;
    uint32_t m_bodyCount = 0;
    bool m_checkHeader = true;
    bool m_checkBody = true;
    bool m_complete = false;
};
