#pragma once
// A framed-protocol printer for tests: parses what it is sent with the library's packet
// reader and answers each request as the test's handler says: right, with a wrong
// parameter, not at all, with a corrupted header or body check, or late. Replies may also
// be held back until a number of requests came, to show that requests were pipelined.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ProtoTestBytes.h"
#include "printer/NZProtoHandler.h"
#include "printer/NZProtoHandlerPro.h"

namespace qvtest {

struct ProtoRequest {
    uint8_t type = 0;
    uint16_t command = 0;
    uint32_t parameter = 0;
    Bytes body;
};

enum class Answer { Right, WrongParameter, Drop, BadHeaderCheck, BadBodyCheck, BadChecks, Late };

struct ProtoReply {
    Answer answer = Answer::Right;
    Bytes body;
};

inline Bytes EncodeProtoPacket(uint8_t type, uint16_t command, uint32_t parameter,
                               const Bytes& body) {
    Bytes out(body.size() + NZProtoHandler::kHeaderSize);
    uint32_t length = 0;
    NZProtoHandler::GenerateSendPackage(type, command, parameter,
                                        static_cast<uint16_t>(body.size()), body.data(),
                                        out.data(), &length);
    return out;
}

// The flash the printer holds: byte at address a.
inline unsigned char FlashByte(uint32_t a) { return static_cast<unsigned char>((a * 7) ^ (a >> 8)); }

class ProtoResponder {
public:
    using Handler = std::function<ProtoReply(const ProtoRequest&, size_t index)>;
    using Deliver = std::function<void(Bytes)>;

    static constexpr int kLateMs = 150;  // how late a late reply comes

    ProtoResponder() : handler_(&ProtoResponder::RightAnswer) {}
    ~ProtoResponder() {
        for (std::thread& t : late_) t.join();
    }
    ProtoResponder(const ProtoResponder&) = delete;
    ProtoResponder& operator=(const ProtoResponder&) = delete;

    void SetHandler(Handler handler) {
        std::lock_guard<std::mutex> lock(mutex_);
        handler_ = std::move(handler);
    }
    // Replies wait until this many requests came, then go out together (reversed when asked).
    void HoldRepliesUntil(size_t requests, bool reversed = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_until_ = requests;
        reversed_ = reversed;
    }

    // What a well-behaved printer answers.
    static ProtoReply RightAnswer(const ProtoRequest& r, size_t) {
        ProtoReply reply;
        if (r.command == 32) reply.body = Text("V1.0.3");
        if (r.command == 63 && r.parameter == 86) reply.body = Cat({Bytes(4, 0), Text("87")});
        if (r.command == 63 && r.parameter == 78) reply.body = Text("SN123456");
        if (r.command == 44)
            for (uint32_t i = 0; i < 256; ++i) reply.body.push_back(FlashByte(r.parameter + i));
        return reply;
    }

    // The bytes of one write; returns the reply chunks to receive now.
    std::vector<Bytes> Feed(const Bytes& written, const Deliver& later) {
        std::vector<Bytes> now;
        std::unique_lock<std::mutex> lock(mutex_);
        for (unsigned char b : written) {
            if (!reader_.HandleByte(b)) continue;
            ProtoRequest request;
            request.type = written.size() > 1 ? written[1] : 0;
            request.command = reader_.GetResultCmd();
            request.parameter = reader_.GetResultPara();
            request.body.assign(reader_.GetResultRecvbuf(),
                                reader_.GetResultRecvbuf() + reader_.GetResultRecvlen());
            reader_.ResetHandler();
            const size_t index = requests_.size();
            requests_.push_back(request);
            const ProtoReply reply = handler_(request, index);
            Bytes packet = Encode(request, reply);
            if (reply.answer == Answer::Drop) continue;
            if (reply.answer == Answer::Late) {
                late_.emplace_back([later, packet] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(kLateMs));
                    later(packet);
                });
                continue;
            }
            held_.push_back(std::move(packet));
        }
        if (requests_.size() >= hold_until_) {
            if (reversed_) now.assign(held_.rbegin(), held_.rend());
            else now = std::move(held_);
            held_.clear();
        }
        changed_.notify_all();
        return now;
    }

    std::vector<ProtoRequest> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    bool WaitForRequests(size_t count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, deadline, [&] { return requests_.size() >= count; });
    }

private:
    static Bytes Encode(const ProtoRequest& request, const ProtoReply& reply) {
        const uint32_t parameter =
            reply.answer == Answer::WrongParameter ? request.parameter + 1 : request.parameter;
        Bytes packet = EncodeProtoPacket(request.type, request.command, parameter, reply.body);
        if (reply.answer == Answer::BadHeaderCheck || reply.answer == Answer::BadChecks)
            packet[10] ^= 0x5A;
        if (reply.answer == Answer::BadBodyCheck || reply.answer == Answer::BadChecks)
            packet[11] ^= 0x5A;
        return packet;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Handler handler_;
    NZProtoHandlerPro reader_;
    std::vector<ProtoRequest> requests_;
    std::vector<Bytes> held_;
    size_t hold_until_ = 0;
    bool reversed_ = false;
    std::vector<std::thread> late_;
};

}  // namespace qvtest
