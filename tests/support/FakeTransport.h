#pragma once
// A scripted, recording transport for tests.
//
// FakeTransport is an NZThreadIO (threaded: a real reader thread, ring, close thread) or,
// unthreaded, a plain transport whose Read goes straight to the script. It
//  - records every BaseWrite separately (the bytes after any write filter, the result and
//    the timeout), so tests can tell three writes from one;
//  - answers writes from a script (all, short, -1, -1 and invalid); unscripted writes take
//    every byte;
//  - plays scripted reads in order, one item per BaseReadDirectly (a chunk of bytes, -1
//    without a flag, -1 and invalid, end of input), waiting up to the read timeout for the
//    next item (no sleeping: it wakes when a test pushes one).
//
// Make a handle on it through the exported calls' open machinery with OpenFakeHandle, then
// use CP_Port_* / command objects on that handle as on a real port.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "ports/NZThreadIO.h"
#include "support/Gate.h"

namespace qvtest {

using Bytes = std::vector<uint8_t>;

struct WriteRecord {
    Bytes bytes;              // what BaseWrite was given
    int result = 0;           // what it returned
    unsigned int timeout_ms = 0;
};

class FakeTransport : public NZThreadIO {
public:
    enum class Mode { Threaded, Unthreaded };

    explicit FakeTransport(Mode mode = Mode::Threaded);
    ~FakeTransport() override;

    // Opens (unless SetOpenResult(false)): clears the flags, sets opened and, threaded,
    // starts the reader.
    using RAZIBase::Open;
    bool Open(const char* name) override;
    bool Open() { return Open("fake"); }
    void SetOpenResult(bool opens);

    // Write script, consumed one entry per BaseWrite.
    void ScriptWriteAll();
    void ScriptWriteShort(size_t count);  // accepts only count bytes
    void ScriptWriteFail();               // -1, no flag
    void ScriptWriteInvalid();            // -1 and the port turns invalid

    // Replies: each BaseWrite takes the next queued reply (if any) and, after recording the
    // write, queues it as a read chunk, as a printer answering a query would.
    void AnswerNextWrite(Bytes reply);

    // Read script, consumed one entry per BaseReadDirectly.
    void PushRead(Bytes chunk);           // delivered as one chunk (cut to the read length)
    // Several chunks queued at once, so no read between them comes back empty (an empty
    // read tells the port that the link went quiet).
    void PushReads(std::vector<Bytes> chunks);
    void PushReadFailure();               // -1, no flag
    void PushReadInvalid();               // -1 and invalid: the reader starts the close thread
    void PushReadEnd();                   // 0 and unreadable: an orderly end of input
    size_t PendingReads() const;

    std::vector<WriteRecord> WriteLog() const;
    std::vector<Bytes> Writes() const;    // the accepted bytes of each write
    Bytes WrittenBytes() const;           // all accepted bytes, joined
    size_t WriteCount() const;
    void ClearWrites();

    // Waits (until the deadline) for the condition; true when it holds.
    bool WaitForWriteCount(size_t count, std::chrono::milliseconds deadline);
    bool WaitForReadsConsumed(std::chrono::milliseconds deadline);
    bool WaitForBaseClose(std::chrono::milliseconds deadline);

    int BaseCloseCount() const;
    int BaseReadCalls() const;

    void BaseClose() override;
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;
    int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;
    int BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;

private:
    struct WriteStep {
        enum Kind { All, Short, Fail, Invalid } kind;
        size_t count;
    };
    struct ReadStep {
        enum Kind { Chunk, Failure, Invalid, End } kind;
        Bytes bytes;
    };

    void pushRead(ReadStep step);

    const Mode mode_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_result_ = true;
    std::deque<WriteStep> write_script_;
    std::deque<ReadStep> read_script_;
    std::deque<Bytes> answers_;
    std::vector<WriteRecord> writes_;
    int base_close_count_ = 0;
    int base_read_calls_ = 0;
};

// A FakeTransport whose BaseClose waits at a gate until the test opens it, so that a test
// can hold a close half-way, on whichever thread runs it.
class GatedCloseTransport : public FakeTransport {
public:
    void BaseClose() override;
    void WaitCloseEntered() { gate_.WaitEntered(); }
    void OpenGate() { gate_.Open(); }

private:
    Gate gate_;
};

// An open handle whose active transport is the given transport, made by the same steps and
// events as CP_Port_Open* (opened event, closed hook). Opens the transport first when it is
// not yet open. Null when it does not open. port_type defaults to TCP so that calls which
// check the kind treat it as a network port.
void* OpenFakeHandle(const std::shared_ptr<FakeTransport>& transport, uint32_t port_type = 2,
                     const char* name = "fake", uint32_t velnor_mode = 0);

}  // namespace qvtest
