#pragma once
// A port on a scripted printer for the query and framed-protocol suites: a threaded fake
// transport whose every write may be answered at once through the real reader thread and
// received hook, as a printer would answer.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ProtoTestBytes.h"
#include "VelnorTestFrames.h"
#include "ports/IOHandle.h"
#include "ports/PortHooks.h"
#include "quorvantelmise.h"
#include "support/FakeTransport.h"
#include "support/ScopedPortTiming.h"
#include "support/ScopedPrinterTiming.h"

namespace qvtest {

// Each write is handed to the responder, whose chunks are then received in order.
class RespondingTransport : public FakeTransport {
public:
    using Responder = std::function<std::vector<Bytes>(const Bytes& written)>;

    void SetResponder(Responder responder) {
        std::lock_guard<std::mutex> lock(responder_mutex_);
        responder_ = std::move(responder);
    }

    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override {
        const int result = FakeTransport::BaseWrite(data, length, timeout_ms);
        Responder responder;
        {
            std::lock_guard<std::mutex> lock(responder_mutex_);
            responder = responder_;
        }
        if (responder && result > 0)
            for (Bytes& chunk : responder(Bytes(data, data + result))) PushRead(std::move(chunk));
        return result;
    }

private:
    std::mutex responder_mutex_;
    Responder responder_;
};

// An open handle on a RespondingTransport (TCP port type), closed when the test ends.
class ScriptedPort {
public:
    explicit ScriptedPort(uint32_t velnor_mode = 0)
        : transport_(std::make_shared<RespondingTransport>()) {
        handle_ = OpenFakeHandle(transport_, 2, "scripted", velnor_mode);
    }
    ~ScriptedPort() {
        if (handle_ != nullptr) CP_Port_Close(handle_);
    }
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;

    void* handle() const { return handle_; }
    IOHandle& io() const { return *ptrs().Peek(handle_); }
    RespondingTransport& transport() const { return *transport_; }

    // Through the received hook on this thread, so its effects are there on return.
    void Receive(const Bytes& chunk) const {
        Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), handle_);
    }
    void SetResponder(RespondingTransport::Responder responder) const {
        transport_->SetResponder(std::move(responder));
    }
    std::vector<Bytes> Writes() const { return transport_->Writes(); }

private:
    std::shared_ptr<RespondingTransport> transport_;
    void* handle_ = nullptr;
};

inline std::string HexList(const std::vector<Bytes>& list) {
    std::string s;
    for (const Bytes& b : list) s += "[" + Hex(b) + "] ";
    return s;
}

}  // namespace qvtest
