#pragma once

#include <cstddef>
#include <cstdint>

// Assembles the printer's 8-byte status frames out of the received byte stream:
// 0x53, d1..d5, type 0-9, check byte (XOR of all eight bytes is 0).
class VelnorHandlerPro {
public:
    static constexpr unsigned kFrameSize = 8;
    static constexpr unsigned char kHeadByte = 0x53;
    static constexpr unsigned char kMaxType = 9;
    static constexpr unsigned kTypeOffset = 6;

    // Feeds one byte. frame_length becomes 8 when it completed a valid frame (copied to
    // frame); passed_length (0 to 8) counts the bytes to hand on as plain data. Output that
    // does not fit a capacity is cut; null outputs are skipped.
    void HandleReceivedData(unsigned char byte, unsigned char* frame, unsigned frame_capacity,
                            unsigned* frame_length, unsigned char* passed,
                            unsigned passed_capacity, unsigned* passed_length);
    // Feeds bytes in order until one completes a valid frame (copied to frame, *framed true)
    // or all are taken; returns how many it took. The bytes handed on as plain data are
    // appended to plain at *plain_length, which must have room for length + kFrameSize more.
    // Outside a frame it skips ahead to the next head byte.
    size_t Split(const unsigned char* data, size_t length, unsigned char* plain,
                 size_t* plain_length, unsigned char* frame, bool* framed);
    // Hands the bytes of a partial frame on as plain data (at most 7, cut to capacity)
    // and starts afresh: used when the link goes quiet, since the rest is not coming.
    void ReleasePartialFrame(unsigned char* passed, unsigned passed_capacity,
                             unsigned* passed_length);
    void ResetReceived() { m_count = 0; }
    unsigned BufferedCount() const { return m_count; }

    // Finds the first position after 0 that CheckHead accepts, moves the bytes from there
    // into dest (may alias held), stores their count and returns the position (the number
    // of bytes before it).
    static unsigned ResetHead(const unsigned char* held, unsigned count, unsigned char* dest,
                              unsigned* destCount);
    static bool CheckHead(const unsigned char* p, unsigned n);

private:
    // The buffered run can no longer become a frame: its type byte is above 9, or all eight
    // bytes are in and fail the check.
    bool heldRunRuledOut() const;
    // Drops a ruled-out run up to its next 0x53 (or whole), repeatedly while the rest is
    // ruled out too; returns the number of bytes dropped, copied to plain.
    unsigned rejectHeldRuns(unsigned char* plain);

    unsigned char m_buffer[kFrameSize] = {};
    uint32_t m_count = 0;
};
