#pragma once

// A handle on a recording fake transport, for the command tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ports/IOHandle.h"
#include "quorvantelmise.h"
#include "support/FakeTransport.h"

using qvtest::Bytes;
using qvtest::FakeTransport;
using qvtest::WriteRecord;

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

// Compares the bytes each write was given, one write at a time, printed in hex.
inline void ExpectWrites(const std::vector<WriteRecord>& log, const std::vector<Bytes>& expected) {
    std::vector<std::string> got, want;
    for (const WriteRecord& w : log) got.push_back(Hex(w.bytes));
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

    // One more handle on a fake transport; closed at teardown.
    void* OpenRecordingHandle(std::shared_ptr<FakeTransport>* out = nullptr) {
        auto transport = std::make_shared<FakeTransport>(FakeTransport::Mode::Unthreaded);
        void* h = qvtest::OpenFakeHandle(transport);
        if (h != nullptr) opened_.push_back(h);
        if (out != nullptr) *out = transport;
        return h;
    }

    // The next count writes return result (-1: failure), whatever their length.
    void ScriptWriteResults(int result, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (result < 0) {
                transport_->ScriptWriteFail();
            } else {
                transport_->ScriptWriteShort(static_cast<size_t>(result));
            }
        }
    }

    void* handle() const { return handle_; }
    IOHandle& ioHandle() const { return *static_cast<IOHandle*>(handle_); }
    FakeTransport& transport() const { return *transport_; }
    std::vector<WriteRecord> writes() const { return transport_->WriteLog(); }

private:
    std::shared_ptr<FakeTransport> transport_;
    void* handle_ = nullptr;
    std::vector<void*> opened_;
};
