#include "ports/NZThreadIO.h"

#include <chrono>

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
    std::unique_lock<std::mutex> lock(threads_mutex_);
    threads_changed_.wait(lock, [&] { return counter.load() == target.load(); });
}

void NZThreadIO::advance(std::atomic<uint64_t>& counter) {
    // Notified under the lock: the waiter cannot return, and destroy us, before we are done.
    std::lock_guard<std::mutex> lock(threads_mutex_);
    counter.fetch_add(1);
    threads_changed_.notify_all();
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
        advance(read_started_);
        advance(read_finished_);
        return false;
    }
    waitUntil(read_started_, read_start_);
    return true;
}

void NZThreadIO::StopReadThread() {
    stop_read_.store(true);
    if (OnReaderThread()) return;
    waitUntil(read_finished_, read_start_);
}

bool NZThreadIO::OnReaderThread() const { return tl_reader_of == this; }

bool NZThreadIO::WaitReadThreadFinished(uint32_t timeout_ms) {
    if (OnReaderThread()) return false;
    WholeSecondDeadline deadline(timeout_ms);
    std::unique_lock<std::mutex> lock(threads_mutex_);
    while (IsReaderRunning() && !deadline.Passed())
        threads_changed_.wait_for(lock, std::chrono::milliseconds(deadline.RemainingMs()));
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
    self->advance(self->read_started_);
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
            // An end of input ends the reader at once: a close may be waiting for it.
            if (!self->stopRequested()) RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
        } else if (!self->stopRequested() && !self->IsInvalid()) {
            // A failed read that set no flag must not make the reader spin.
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
        }
    }
    if (failed) self->StartCloseThread();
    tl_reader_of = nullptr;
    self->advance(self->read_finished_);
}

void NZThreadIO::closeThreadFunc(void* raw) {
    auto* self = static_cast<NZThreadIO*>(raw);
    self->advance(self->close_started_);
    self->Close();
    self->advance(self->close_finished_);
}
