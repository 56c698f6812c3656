#include "ports/RAZIBase.h"

#include <climits>
#include <cstdlib>

#include "ports/NZFilter.h"
#include "base/NZStringUtils.h"
#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"

void RAZIBase::SetReadedEvent(RAZIDataHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    received_ = {hook, context};
}

void RAZIBase::SetWritedEvent(RAZIDataHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    written_ = {hook, context};
}

void RAZIBase::SetClosedEvent(RAZIClosedHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    closed_hook_ = hook;
    closed_context_ = context;
}

void RAZIBase::SetReadQuietEvent(RAZIQuietHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    quiet_hook_ = hook;
    quiet_context_ = context;
}

RAZIBase::DataHook RAZIBase::receivedHook() {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    return received_;
}

RAZIBase::DataHook RAZIBase::writtenHook() {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    return written_;
}

void RAZIBase::SetWriteFilter(NZFilter* filter) { filter_.store(filter); }
NZFilter* RAZIBase::GetWriteFilter() { return filter_.load(); }

void RAZIBase::ClearFlags() {
    SetOpened(false);
    SetInvalid(false);
    SetUnreadable(false);
    SetUnwritable(false);
    SetCancelRead(false);
    SetCancelWrite(false);
    std::lock_guard<std::mutex> lock(early_mutex_);
    early_bytes_.clear();
    quiet_report_due_.store(false);
}

void RAZIBase::SetSinkFlags() {
    SetOpened(true);
    SetInvalid(false);
    SetUnreadable(true);
    SetUnwritable(false);
    SetCancelRead(true);
    SetCancelWrite(false);
}

bool RAZIBase::Open(const char*) {
    ClearFlags();
    return IsOpened();
}

bool RAZIBase::IsOpened() { return opened_.load(); }
void RAZIBase::SetOpened(bool value) { opened_.store(value); }
bool RAZIBase::IsUnreadable() { return unreadable_.load(); }
void RAZIBase::SetUnreadable(bool value) { unreadable_.store(value); }
bool RAZIBase::IsUnwritable() { return unwritable_.load(); }
void RAZIBase::SetUnwritable(bool value) { unwritable_.store(value); }
bool RAZIBase::IsInvalid() { return invalid_.load(); }
void RAZIBase::SetInvalid(bool value) { invalid_.store(value); }
bool RAZIBase::IsCancelRead() { return cancel_read_.load(); }
void RAZIBase::SetCancelRead(bool value) { cancel_read_.store(value); }
bool RAZIBase::IsCancelWrite() { return cancel_write_.load(); }
void RAZIBase::SetCancelWrite(bool value) { cancel_write_.store(value); }

void RAZIBase::BaseClose() {}
void RAZIBase::SkipAvailable() {}
void RAZIBase::FlushBuffer() {}

bool RAZIBase::SetCloseEventsUnlessClosing(RAZIClosedHook closing, RAZIClosedHook closed,
                                           void* context) {
    // Under the lock that a close takes to begin: a close either began before (and runs
    // with no hooks) or sees both.
    std::lock_guard<std::recursive_mutex> close_lock(close_mutex_);
    if (close_nesting_ != 0 || !IsOpened()) return false;
    std::lock_guard<std::mutex> lock(hook_mutex_);
    closing_hook_ = closing;
    closing_context_ = context;
    closed_hook_ = closed;
    closed_context_ = context;
    return true;
}

void RAZIBase::Close() {
    bool first = false;
    RAZIClosedHook closing = nullptr, closed = nullptr;
    void *closing_context = nullptr, *closed_context = nullptr;
    {
        std::lock_guard<std::recursive_mutex> close_lock(close_mutex_);
        first = close_nesting_++ == 0 && IsOpened();
        if (first) {
            std::lock_guard<std::mutex> lock(hook_mutex_);
            closing = closing_hook_;
            closing_context = closing_context_;
            closed = closed_hook_;
            closed_context = closed_context_;
        }
    }
    if (first) {
        if (closing != nullptr) closing(closing_context);
        BaseClose();
        SetOpened(false);
        if (closed != nullptr) closed(closed_context);
    }
    std::lock_guard<std::recursive_mutex> lock(close_mutex_);
    --close_nesting_;
}

int RAZIBase::BaseWrite(const unsigned char*, size_t, unsigned int) { return -1; }
int RAZIBase::BaseReadDirectly(unsigned char*, size_t, unsigned int) { return -1; }

int RAZIBase::Write(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    if (!IsOpened() || IsInvalid() || IsUnwritable() || IsCancelWrite()) return -1;
    if (data == nullptr || length > static_cast<size_t>(INT_MAX)) return -1;
    int result;
    NZFilter* filter = GetWriteFilter();
    if (filter == nullptr) {
        result = BaseWrite(data, length, timeout_ms);
    } else {
        size_t filtered_length = 0;
        unsigned char* filtered = filter->FilterData(data, length, &filtered_length);
        if (filtered == nullptr || filtered_length == 0) {
            result = 0;
        } else {
            int written = BaseWrite(filtered, filtered_length, timeout_ms);
            if (written < 0) {
                // A failed send stays a failure, whatever the filter made of the data.
                result = written;
            } else if (static_cast<size_t>(written) != filtered_length &&
                       static_cast<size_t>(written) <= length) {
                result = written;
            } else {
                result = static_cast<int>(length);
            }
        }
        std::free(filtered);
    }
    if (result > 0) {
        DataHook hook = writtenHook();
        if (hook.hook != nullptr) hook.hook(data, static_cast<unsigned int>(result), hook.context);
    }
    return result;
}

bool RAZIBase::handOverEarlyBytes(const DataHook& hook) {
    std::vector<unsigned char> early;
    {
        std::lock_guard<std::mutex> lock(early_mutex_);
        if (early_bytes_.empty()) return false;
        early.swap(early_bytes_);
    }
    hook.hook(early.data(), static_cast<unsigned int>(early.size()), hook.context);
    return true;
}

void RAZIBase::keepEarlyBytes(const unsigned char* data, size_t length) {
    std::lock_guard<std::mutex> lock(early_mutex_);
    const size_t room = kEarlyBytesKept - early_bytes_.size();
    early_bytes_.insert(early_bytes_.end(), data, data + (length < room ? length : room));
}

void RAZIBase::reportQuietIfDue() {
    RAZIQuietHook hook;
    void* context;
    {
        std::lock_guard<std::mutex> lock(hook_mutex_);
        hook = quiet_hook_;
        context = quiet_context_;
    }
    if (hook != nullptr && quiet_report_due_.exchange(false)) hook(context);
}

int RAZIBase::ReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    if (!IsOpened() || IsInvalid() || IsUnreadable() || IsCancelRead()) return -1;
    if (buffer == nullptr || length > static_cast<size_t>(INT_MAX)) return -1;
    int result = BaseReadDirectly(buffer, length, timeout_ms);
    const DataHook hook = receivedHook();
    bool delivered = hook.hook != nullptr && handOverEarlyBytes(hook);
    if (result > 0) {
        if (hook.hook != nullptr) {
            hook.hook(buffer, static_cast<unsigned int>(result), hook.context);
            delivered = true;
        } else {
            keepEarlyBytes(buffer, static_cast<size_t>(result));
        }
    }
    if (delivered) {
        quiet_report_due_.store(true);
    } else if (result == 0) {
        reportQuietIfDue();
    }
    return result;
}

int RAZIBase::BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    return ReadDirectly(buffer, length, timeout_ms);
}

int RAZIBase::Read(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    return BaseRead(buffer, length, timeout_ms);
}

bool RAZI::OpenA(const char* name) { return Open(name); }

bool RAZI::OpenW(const wchar_t* name) {
    char* narrow = NZStringUtils::nzutils_wcstombs_local(name);
    if (narrow == nullptr) {
        ClearFlags();
        return false;
    }
    bool opened = Open(narrow);
    std::free(narrow);
    return opened;
}

namespace {

// A transport that answers 0 at once must not make a helper loop spin.
void pauseAfterNothing() { RAZISleep::SleepMs(static_cast<int>(GetPortTiming().pollSleepMs)); }

}  // namespace

int RAZI::ReadUntilByte(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                        unsigned char stop) {
    if (buffer == nullptr) return -1;
    WholeSecondDeadline deadline(timeout_ms);
    size_t count = 0;
    for (;;) {
        if (!IsOpened() || count == length) return static_cast<int>(count);
        if (deadline.Passed()) return static_cast<int>(count);
        int r = Read(buffer + count, 1, timeout_ms);
        if (r < 0) return r;
        if (r == 1) {
            ++count;
            if (buffer[count - 1] == stop) return static_cast<int>(count);
        } else {
            pauseAfterNothing();
        }
    }
}

int RAZI::ReadUntilBytes(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                         const unsigned char* pattern, size_t pattern_length, bool* found) {
    if (found != nullptr) *found = false;
    if (buffer == nullptr || pattern == nullptr || pattern_length == 0) return -1;
    WholeSecondDeadline deadline(timeout_ms);
    size_t count = 0;
    size_t matched = 0;
    while (IsOpened() && count != length && !deadline.Passed()) {
        unsigned char byte = 0;
        if (Read(&byte, 1, timeout_ms) != 1) break;
        buffer[count++] = byte;
        if (byte == pattern[matched]) {
            ++matched;
        } else {
            matched = byte == pattern[0] ? 1 : 0;
        }
        if (matched == pattern_length) break;
    }
    if (found != nullptr) *found = matched == pattern_length;
    return static_cast<int>(count);
}

int RAZI::ReadUntilLength(unsigned char* buffer, size_t length, unsigned int timeout_ms) {
    if (buffer == nullptr) return -1;
    WholeSecondDeadline deadline(timeout_ms);
    size_t count = 0;
    for (;;) {
        if (!IsOpened() || count == length) return static_cast<int>(count);
        if (deadline.Passed()) return static_cast<int>(count);
        int r = Read(buffer + count, length - count, timeout_ms);
        if (r < 0) return r;
        if (r == 0) pauseAfterNothing();
        count += static_cast<size_t>(r);
    }
}

int RAZI::WriteUntilLength(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    if (data == nullptr) return -1;
    WholeSecondDeadline deadline(timeout_ms);
    size_t count = 0;
    for (;;) {
        if (!IsOpened() || count == length) return static_cast<int>(count);
        if (deadline.Passed()) return static_cast<int>(count);
        int w = Write(data + count, length - count, timeout_ms);
        if (w < 0) return w;
        if (w == 0) pauseAfterNothing();
        count += static_cast<size_t>(w);
    }
}

int RAZI::QueryOneByteStatus(const unsigned char* command, size_t length,
                             unsigned int timeout_ms) {
    if (command == nullptr) return -1;
    SkipAvailable();
    WholeSecondDeadline deadline(timeout_ms);
    const unsigned int reply_timeout = GetPortTiming().queryReplyTimeoutMs;
    while (IsOpened() && !deadline.Passed()) {
        int w = Write(command, length, timeout_ms);
        if (w < 0) return w;
        if (static_cast<size_t>(w) != length) break;
        unsigned char byte = 0;
        int r = Read(&byte, 1, reply_timeout);
        if (r < 0) return r;
        if (r == 1) return byte;
    }
    return -1;
}

int RAZI::QueryResponse(const unsigned char* command, size_t length, unsigned char* response,
                        size_t response_length, unsigned int timeout_ms) {
    if (command == nullptr || response == nullptr) return -1;
    SkipAvailable();
    int w = Write(command, length, timeout_ms);
    if (w < 0) return w;
    if (static_cast<size_t>(w) != length) return -1;
    return ReadUntilLength(response, response_length, timeout_ms);
}
