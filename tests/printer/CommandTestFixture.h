#pragma once

// A handle on a recording fake transport, for the command tests.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortOpen.h"
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

// One row of a command table: a call on a handle and the bytes of each write it must make.
struct WriteCase {
    const char* name;
    std::function<int(void*)> call;
    std::vector<Bytes> writes;
};

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

    // Every row succeeds and writes exactly its bytes, one write at a time.
    void ExpectEachCallWritesItsCommands(const std::vector<WriteCase>& cases) {
        for (const WriteCase& c : cases) {
            SCOPED_TRACE(c.name);
            transport_->ClearWrites();
            EXPECT_EQ(c.call(handle_), 1);
            ExpectWrites(writes(), c.writes);
        }
    }

    // Every row fails when all its writes fail, and when each falls one byte short.
    void ExpectEachCallFailsOnFailedOrShortWrites(const std::vector<WriteCase>& cases) {
        for (const WriteCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " with failed writes");
            ScriptWriteResults(-1, c.writes.size());
            EXPECT_EQ(c.call(handle_), 0);
        }
        for (const WriteCase& c : cases) {
            if (c.writes.front().empty()) continue;  // nothing to fall short of
            SCOPED_TRACE(std::string(c.name) + " with writes one byte short");
            for (const Bytes& w : c.writes) ScriptWriteResults(static_cast<int>(w.size()) - 1, 1);
            EXPECT_EQ(c.call(handle_), 0);
        }
    }

    // Every call gives 0 and writes nothing.
    void ExpectEachCallRefused(
        const std::vector<std::pair<std::string, std::function<int(void*)>>>& calls) {
        for (const auto& [name, call] : calls) {
            SCOPED_TRACE(name);
            transport_->ClearWrites();
            EXPECT_EQ(call(handle_), 0);
            EXPECT_TRUE(writes().empty());
        }
    }

    // Every row gives 0 on a null handle and on one that was closed and destroyed.
    static void ExpectEachCallRefusesNullAndClosedHandles(const std::vector<WriteCase>& cases) {
        // Without events no closed-event thread holds the handle: the close destroys it.
        auto transport = std::make_shared<FakeTransport>(FakeTransport::Mode::Unthreaded);
        ASSERT_TRUE(transport->Open());
        void* closed = OpenHandleOnTransport(transport, 2, "fake", 0, false);
        ASSERT_NE(closed, nullptr);
        ASSERT_EQ(CP_Port_Close(closed), 1);
        ASSERT_FALSE(ptrs().IsRegistered(closed));
        for (const WriteCase& c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(c.call(nullptr), 0);
            EXPECT_EQ(c.call(closed), 0);
        }
        EXPECT_TRUE(transport->WriteLog().empty());
    }

    void* handle() const { return handle_; }
    IOHandle& ioHandle() const { return *ptrs().Peek(handle_); }
    FakeTransport& transport() const { return *transport_; }
    std::vector<WriteRecord> writes() const { return transport_->WriteLog(); }

private:
    std::shared_ptr<FakeTransport> transport_;
    void* handle_ = nullptr;
    std::vector<void*> opened_;
};
