#include "support/FakeTransport.h"

#include <algorithm>

#include "ports/PortOpen.h"

namespace qvtest {

FakeTransport::FakeTransport(Mode mode) : mode_(mode) {}

FakeTransport::~FakeTransport() {
    SetCancelRead(true);
    StopReadThread();
    StopCloseThread();
}

bool FakeTransport::Open(const char*) {
    ClearFlags();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_result_) return false;
    }
    SetOpened(true);
    if (mode_ == Mode::Threaded && !StartReadThread()) {
        SetOpened(false);
        return false;
    }
    return IsOpened();
}

void FakeTransport::SetOpenResult(bool opens) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_result_ = opens;
}

void FakeTransport::ScriptWriteAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    write_script_.push_back({WriteStep::All, 0});
}

void FakeTransport::ScriptWriteShort(size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    write_script_.push_back({WriteStep::Short, count});
}

void FakeTransport::ScriptWriteFail() {
    std::lock_guard<std::mutex> lock(mutex_);
    write_script_.push_back({WriteStep::Fail, 0});
}

void FakeTransport::ScriptWriteInvalid() {
    std::lock_guard<std::mutex> lock(mutex_);
    write_script_.push_back({WriteStep::Invalid, 0});
}

void FakeTransport::AnswerNextWrite(Bytes reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(std::move(reply));
}

void FakeTransport::pushRead(ReadStep step) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        read_script_.push_back(std::move(step));
    }
    changed_.notify_all();
}

void FakeTransport::PushRead(Bytes chunk) { pushRead({ReadStep::Chunk, std::move(chunk)}); }
void FakeTransport::PushReads(std::vector<Bytes> chunks) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Bytes& chunk : chunks) read_script_.push_back({ReadStep::Chunk, std::move(chunk)});
    }
    changed_.notify_all();
}
void FakeTransport::PushReadFailure() { pushRead({ReadStep::Failure, {}}); }
void FakeTransport::PushReadInvalid() { pushRead({ReadStep::Invalid, {}}); }
void FakeTransport::PushReadEnd() { pushRead({ReadStep::End, {}}); }

size_t FakeTransport::PendingReads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return read_script_.size();
}

std::vector<WriteRecord> FakeTransport::WriteLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

std::vector<Bytes> FakeTransport::Writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Bytes> accepted;
    for (const auto& record : writes_) {
        size_t n = record.result > 0 ? static_cast<size_t>(record.result) : 0;
        accepted.emplace_back(record.bytes.begin(), record.bytes.begin() + std::min(n, record.bytes.size()));
    }
    return accepted;
}

Bytes FakeTransport::WrittenBytes() const {
    Bytes all;
    for (const auto& chunk : Writes()) all.insert(all.end(), chunk.begin(), chunk.end());
    return all;
}

size_t FakeTransport::WriteCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_.size();
}

void FakeTransport::ClearWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
}

bool FakeTransport::WaitForWriteCount(size_t count, std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return writes_.size() >= count; });
}

bool FakeTransport::WaitForReadsConsumed(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return read_script_.empty(); });
}

bool FakeTransport::WaitForBaseClose(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return base_close_count_ > 0; });
}

int FakeTransport::BaseCloseCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return base_close_count_;
}

int FakeTransport::BaseReadCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return base_read_calls_;
}

void FakeTransport::BaseClose() {
    SetCancelRead(true);
    { std::lock_guard<std::mutex> lock(mutex_); }  // a reader between its check and its wait
    changed_.notify_all();
    StopReadThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++base_close_count_;
    }
    changed_.notify_all();
}

int FakeTransport::BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    int result = 0;
    bool invalid = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        WriteStep step{WriteStep::All, 0};
        if (!write_script_.empty()) {
            step = write_script_.front();
            write_script_.pop_front();
        }
        switch (step.kind) {
            case WriteStep::All: result = static_cast<int>(length); break;
            case WriteStep::Short: result = static_cast<int>(std::min(step.count, length)); break;
            case WriteStep::Fail: result = -1; break;
            case WriteStep::Invalid: result = -1; invalid = true; break;
        }
        writes_.push_back({Bytes(data, data + length), result, timeout_ms});
        if (!answers_.empty()) {
            if (!answers_.front().empty()) read_script_.push_back({ReadStep::Chunk, answers_.front()});
            answers_.pop_front();
        }
    }
    if (invalid) SetInvalid(true);
    changed_.notify_all();
    return result;
}

int FakeTransport::BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++base_read_calls_;
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return !read_script_.empty() || IsCancelRead(); });
    if (read_script_.empty() || IsCancelRead()) return 0;
    ReadStep& step = read_script_.front();
    int result = 0;
    switch (step.kind) {
        case ReadStep::Chunk: {
            size_t n = std::min(length, step.bytes.size());
            std::copy(step.bytes.begin(), step.bytes.begin() + n, buffer);
            step.bytes.erase(step.bytes.begin(), step.bytes.begin() + n);
            result = static_cast<int>(n);
            if (step.bytes.empty()) read_script_.pop_front();
            break;
        }
        case ReadStep::Failure:
            result = -1;
            read_script_.pop_front();
            break;
        case ReadStep::Invalid:
            SetInvalid(true);
            result = -1;
            read_script_.pop_front();
            break;
        case ReadStep::End:
            SetUnreadable(true);
            result = 0;
            read_script_.pop_front();
            break;
    }
    lock.unlock();
    changed_.notify_all();
    return result;
}

int FakeTransport::BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    if (mode_ == Mode::Threaded) return NZThreadIO::BaseRead(buffer, length, timeout_ms);
    return ReadDirectly(buffer, length, timeout_ms);
}

void GatedCloseTransport::BaseClose() {
    gate_.Hold();
    FakeTransport::BaseClose();
}

void* OpenFakeHandle(const std::shared_ptr<FakeTransport>& transport, uint32_t port_type,
                     const char* name, uint32_t velnor_mode) {
    if (transport == nullptr) return nullptr;
    if (!transport->IsOpened()) transport->Open(name);
    return OpenHandleOnTransport(transport, port_type, name, velnor_mode);
}

}  // namespace qvtest
