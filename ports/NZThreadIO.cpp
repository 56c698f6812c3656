#include "ports/NZThreadIO.h"

#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"

namespace {

// The transport whose reader runs on this thread, so a stop requested from inside the
// reader (a hook that closes) does not wait for itself.
thread_local const NZThreadIO* tl_reader_of = nullptr;

constexpr size_t kPacketBufferSize = 1024;

void pollSleep() { RAZISleep::SleepMs(static_cast<int>(GetPortTiming().pollSleepMs)); }

}  // namespace

NZThreadIO::NZThreadIO() : ring_(std::make_unique<RAZIRxBuffer>(RAZIRxBuffer::kDefaultSize)) {}

NZThreadIO::~NZThreadIO() {
    StopReadThread();
    StopCloseThread();
}

bool NZThreadIO::IsReaderRunning() const { return read_start_.load() != read_finished_.load(); }

void NZThreadIO::waitUntil(const std::atomic<uint64_t>& counter,
                           const std::atomic<uint64_t>& target) {
    while (counter.load() != target.load()) pollSleep();
}

int NZThreadIO::BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    if (buffer == nullptr) return -1;
    WholeSecondDeadline deadline(timeout_ms);
    size_t count = 0;
    for (;;) {
        if (!IsReaderRunning() || !IsOpened() || IsInvalid() || IsUnreadable() || IsCancelRead())
            return -1;
        if (stop_read_.load() || deadline.Passed() || count == length) break;
        if (ring_->TryPopFront(&buffer[count])) {
            ++count;
        } else {
            pollSleep();
        }
    }
    return static_cast<int>(count);
}

void NZThreadIO::SkipAvailable() {
    unsigned char byte;
    while (ring_->TryPopFront(&byte)) {
    }
}

void NZThreadIO::SkipAvailable(size_t count) {
    unsigned char byte;
    for (size_t i = 0; i < count && ring_->TryPopFront(&byte); ++i) {
    }
}

void NZThreadIO::SetReadPacketSize(size_t size) {
    if (size == 0) size = 1;
    if (size > kPacketBufferSize) size = kPacketBufferSize;
    read_packet_size_.store(static_cast<uint32_t>(size));
}

bool NZThreadIO::StartReadThread() {
    read_start_.fetch_add(1);
    stop_read_.store(false);
    if (!RAZIThread::StartThread(&NZThreadIO::readThreadFunc, this)) {
        // Balance the counters: no reader runs.
        read_started_.fetch_add(1);
        read_finished_.fetch_add(1);
        return false;
    }
    waitUntil(read_started_, read_start_);
    return true;
}

void NZThreadIO::StopReadThread() {
    stop_read_.store(true);
    if (tl_reader_of == this) return;
    waitUntil(read_finished_, read_start_);
}

bool NZThreadIO::WaitReadThreadFinished(uint32_t timeout_ms) {
    WholeSecondDeadline deadline(timeout_ms);
    while (IsReaderRunning() && !deadline.Passed()) pollSleep();
    return !IsReaderRunning();
}

void NZThreadIO::StartCloseThread() {
    close_start_.fetch_add(1);
    if (!RAZIThread::StartThread(&NZThreadIO::closeThreadFunc, this)) {
        closeThreadFunc(this);
        return;
    }
    waitUntil(close_started_, close_start_);
}

void NZThreadIO::StopCloseThread() { waitUntil(close_finished_, close_start_); }

bool NZThreadIO::stopRequested() {
    return stop_read_.load() || !IsOpened() || IsUnreadable() || IsCancelRead();
}

namespace {

// Puts a chunk the reader got into the ring, as much as fits, while the port stays readable.
void keepChunk(NZThreadIO& io, const unsigned char* data, size_t length, bool blockWhenFull,
               uint32_t pollSleepMs) {
    RAZIRxBuffer& ring = io.ReceiveRing();
    size_t kept = 0;
    while (kept < length) {
        if (!io.IsOpened() || io.IsInvalid() || io.IsUnreadable() || io.IsCancelRead()) return;
        kept += ring.TryPushBulk(data + kept, length - kept);
        if (kept == length || !blockWhenFull) return;  // ring full: the rest is dropped
        RAZISleep::SleepMs(static_cast<int>(pollSleepMs));
    }
}

}  // namespace

void NZThreadIO::readThreadFunc(void* raw) {
    auto* self = static_cast<NZThreadIO*>(raw);
    tl_reader_of = self;
    self->read_started_.fetch_add(1);
    unsigned char packet[kPacketBufferSize];
    bool failed = false;
    for (;;) {
        if (self->stopRequested()) break;
        if (self->IsInvalid()) {
            failed = true;
            break;
        }
        const PortTiming timing = GetPortTiming();
        int r = self->ReadDirectly(packet, self->read_packet_size_.load(), timing.readerReadTimeoutMs);
        if (r > 0) {
            keepChunk(*self, packet, static_cast<size_t>(r), self->block_when_full_.load(),
                      timing.pollSleepMs);
        } else if (r == 0) {
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
        } else if (!self->stopRequested() && !self->IsInvalid()) {
            // A failed read that set no flag must not make the reader spin.
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
        }
    }
    if (failed) self->StartCloseThread();
    tl_reader_of = nullptr;
    self->read_finished_.fetch_add(1);
}

void NZThreadIO::closeThreadFunc(void* raw) {
    auto* self = static_cast<NZThreadIO*>(raw);
    self->close_started_.fetch_add(1);
    self->Close();
    self->close_finished_.fetch_add(1);
}
