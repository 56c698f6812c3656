#pragma once

// A handle on a recording transport, for the command tests: each write is kept separately
// with its timeout, and write results can be scripted.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortOpen.h"
#include "quorvantelmise.h"

using Bytes = std::vector<uint8_t>;

struct RecordedWrite {
    Bytes data;
    unsigned int timeout_ms;
};

// Stand-in until the shared recording transport lands.
class RecordingTransport : public RAZI {
public:
    RecordingTransport() {
        ClearFlags();
        SetOpened(true);
    }
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.push_back({Bytes(data, data + length), timeout_ms});
        if (!scripted_.empty()) {
            int r = scripted_.front();
            scripted_.pop_front();
            return r;
        }
        return fixed_ ? result_ : static_cast<int>(length);
    }
    void SkipAvailable() override { ++skips_; }
    void FlushBuffer() override { ++flushes_; }

    std::vector<RecordedWrite> Writes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_;
    }
    void ClearWrites() {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.clear();
    }
    void SetWriteResult(int result) { fixed_ = true, result_ = result; }
    void ScriptWriteResults(std::vector<int> results) {
        scripted_.assign(results.begin(), results.end());
    }
    int SkipAvailableCalls() const { return skips_; }
    int FlushBufferCalls() const { return flushes_; }

private:
    std::mutex mutex_;
    std::vector<RecordedWrite> writes_;
    std::deque<int> scripted_;
    bool fixed_ = false;
    int result_ = 0;
    int skips_ = 0;
    int flushes_ = 0;
};

inline std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return "[" + out + "]";
}

inline void ExpectWrites(const std::vector<RecordedWrite>& actual, const std::vector<Bytes>& expected) {
    std::vector<std::string> got, want;
    for (const RecordedWrite& w : actual) got.push_back(Hex(w.data));
    for (const Bytes& b : expected) want.push_back(Hex(b));
    EXPECT_EQ(got, want);
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = OpenRecordingHandle(&transport_);
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override {
        for (void* h : opened_) CP_Port_Close(h);
    }

    // Opens one more handle on a recording transport (without events); closed at teardown.
    void* OpenRecordingHandle(std::shared_ptr<RecordingTransport>* out = nullptr) {
        auto transport = std::make_shared<RecordingTransport>();
        void* h = OpenHandleOnTransport(transport, 256, "recording", 0, false);
        if (h != nullptr) opened_.push_back(h);
        if (out != nullptr) *out = transport;
        return h;
    }

    void* handle() const { return handle_; }
    IOHandle& ioHandle() const { return *static_cast<IOHandle*>(handle_); }
    RecordingTransport& transport() const { return *transport_; }

private:
    std::shared_ptr<RecordingTransport> transport_;
    void* handle_ = nullptr;
    std::vector<void*> opened_;
};
