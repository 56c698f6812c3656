#pragma once

#include <atomic>
#include <cstddef>
#include <cwchar>
#include <mutex>
#include <vector>

class NZFilter;

// Hooks a transport calls: received (each chunk ReadDirectly got, on the reading thread),
// written (after each Write with a result > 0, with the caller's data, on the writer's
// thread) and closed (once per close of an opened transport, on the closing thread).
// The closing hook runs on the closing thread too, once per such close, before the
// transport is released: the owner can stop handing the port out from the moment its close
// begins, whoever closes it.
using RAZIDataHook = void (*)(const unsigned char* data, unsigned int length, void* context);
using RAZIClosedHook = void (*)(void* context);
// Called on the reading thread when a read comes back empty after bytes were received: the
// link has gone quiet, so whoever holds back bytes for what may follow can let them go.
using RAZIQuietHook = void (*)(void* context);

// Root of the transport tree. Write, ReadDirectly and Close are the template operations:
// they check the flags, call the transport's primitive (BaseWrite, BaseReadDirectly,
// BaseClose) and then the hook. Concrete transports supply only the primitives and opens.
class RAZIBase {
public:
    RAZIBase() = default;
    virtual ~RAZIBase() = default;
    RAZIBase(const RAZIBase&) = delete;
    RAZIBase& operator=(const RAZIBase&) = delete;

    virtual void SetReadedEvent(RAZIDataHook hook, void* context);
    virtual void SetWritedEvent(RAZIDataHook hook, void* context);
    virtual void SetClosedEvent(RAZIClosedHook hook, void* context);
    virtual void SetReadQuietEvent(RAZIQuietHook hook, void* context);
    // Installs the closing and closed hooks together, unless a close has begun or the
    // transport is not opened (false, nothing installed): then no close of this opening
    // will ever call them, and the owner must not count on them.
    bool SetCloseEventsUnlessClosing(RAZIClosedHook closing, RAZIClosedHook closed, void* context);

    // The filter is not owned and must outlive its use by the transport.
    virtual void SetWriteFilter(NZFilter* filter);
    virtual NZFilter* GetWriteFilter();

    // The base open clears the flags and opens nothing.
    virtual bool Open(const char* name);

    virtual bool IsOpened();
    virtual void SetOpened(bool value);
    virtual bool IsUnreadable();
    virtual void SetUnreadable(bool value);
    virtual bool IsUnwritable();
    virtual void SetUnwritable(bool value);
    virtual bool IsInvalid();
    virtual void SetInvalid(bool value);
    virtual bool IsCancelRead();
    virtual void SetCancelRead(bool value);
    virtual bool IsCancelWrite();
    virtual void SetCancelWrite(bool value);

    virtual void BaseClose();
    // Closes once: a close that runs while another is in progress (nested from a hook or on
    // another thread) returns at once; closing a transport that is not opened does nothing.
    virtual void Close();
    virtual void SkipAvailable();
    virtual void FlushBuffer();

    virtual int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms);
    // -1 when not opened, invalid, unwritable or write-cancelled, or for a null buffer or a
    // length beyond INT_MAX; else the count written.
    virtual int Write(const unsigned char* data, size_t length, unsigned int timeout_ms);
    virtual int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms);
    // Chunks read while no received hook is installed (a printer may speak before the open
    // call has wired its hooks) are kept, up to kEarlyBytesKept, and handed to the hook as
    // one chunk, ahead of newer bytes, by the first read after it is installed.
    virtual int ReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms);
    virtual int BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms);
    virtual int Read(unsigned char* buffer, size_t length, unsigned int timeout_ms);

    static constexpr size_t kEarlyBytesKept = 16384;

protected:
    // Clears the six flags, in the order opened, invalid, unreadable, unwritable,
    // cancelRead, cancelWrite, and forgets bytes kept from an earlier connection. Every open
    // starts with it.
    void ClearFlags();
    // After a sink opens: writable, never readable.
    void SetSinkFlags();

private:
    struct DataHook {
        RAZIDataHook hook = nullptr;
        void* context = nullptr;
    };
    DataHook receivedHook();
    DataHook writtenHook();
    // With a received hook: hands it the kept early bytes, if any; true when it did.
    bool handOverEarlyBytes(const DataHook& hook);
    void keepEarlyBytes(const unsigned char* data, size_t length);
    void reportQuietIfDue();

    std::mutex hook_mutex_;
    DataHook received_;
    DataHook written_;
    RAZIClosedHook closed_hook_ = nullptr;
    void* closed_context_ = nullptr;
    RAZIClosedHook closing_hook_ = nullptr;
    void* closing_context_ = nullptr;
    RAZIQuietHook quiet_hook_ = nullptr;
    void* quiet_context_ = nullptr;

    std::mutex early_mutex_;
    std::vector<unsigned char> early_bytes_;
    // Bytes went to the received hook since the last quiet report.
    std::atomic<bool> quiet_report_due_{false};

    std::recursive_mutex close_mutex_;
    unsigned int close_nesting_ = 0;

    std::atomic<bool> opened_{false};
    std::atomic<bool> invalid_{false};
    std::atomic<bool> unreadable_{false};
    std::atomic<bool> unwritable_{false};
    std::atomic<bool> cancel_read_{false};
    std::atomic<bool> cancel_write_{false};

    std::atomic<NZFilter*> filter_{nullptr};
};

// Adds the narrow and wide opens and the blocking helpers built on Read and Write. The
// helpers' timeouts count in whole seconds, rounded up (PortTiming::helperSecondMs).
class RAZI : public virtual RAZIBase {
public:
    using RAZIBase::Open;

    virtual bool OpenA(const char* name);
    // Converts with the environment locale; an unconvertible name does not open.
    virtual bool OpenW(const wchar_t* name);

    // Reads single bytes until the stop byte (included), length bytes, or the time limit.
    // The count so far, or a negative read result.
    virtual int ReadUntilByte(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                              unsigned char stop);
    // Reads single bytes until pattern has just been read; *found (may be null) tells
    // whether it was. -1 for a null buffer or an empty pattern.
    virtual int ReadUntilBytes(unsigned char* buffer, size_t length, unsigned int timeout_ms,
                               const unsigned char* pattern, size_t pattern_length, bool* found);
    virtual int ReadUntilLength(unsigned char* buffer, size_t length, unsigned int timeout_ms);
    virtual int WriteUntilLength(const unsigned char* data, size_t length, unsigned int timeout_ms);
    // Sends the command until one reply byte comes (0 to 255), resending after each
    // unanswered reply wait; -1 when the time is up.
    virtual int QueryOneByteStatus(const unsigned char* command, size_t length,
                                   unsigned int timeout_ms);
    virtual int QueryResponse(const unsigned char* command, size_t length,
                              unsigned char* response, size_t response_length,
                              unsigned int timeout_ms);
};
