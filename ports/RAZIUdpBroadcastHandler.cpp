#include "ports/RAZIUdpBroadcastHandler.h"

#include <vector>

#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"

RAZIUdpBroadcastHandler::~RAZIUdpBroadcastHandler() {
    StopReadThread();
    WaitReadThreadFinished();
    socket.Close();
}

bool RAZIUdpBroadcastHandler::StartReadThread() {
    readStart_.fetch_add(1);
    stopRead_.store(false);
    if (!RAZIThread::StartThread(&RAZIUdpBroadcastHandler::readThreadFunc, this)) {
        readStarted_.fetch_add(1);
        readFinished_.fetch_add(1);
        return false;
    }
    return true;
}

void RAZIUdpBroadcastHandler::waitFor(const std::atomic<uint64_t>& counter) {
    while (counter.load() != readStart_.load())
        RAZISleep::SleepMs(static_cast<int>(GetPortTiming().pollSleepMs));
}

void RAZIUdpBroadcastHandler::WaitReadThreadStarted() { waitFor(readStarted_); }

void RAZIUdpBroadcastHandler::StopReadThread() {
    stopRead_.store(true);
    socket.socket_shutdown();
}

void RAZIUdpBroadcastHandler::WaitReadThreadFinished() { waitFor(readFinished_); }

void RAZIUdpBroadcastHandler::readThreadFunc(void* raw) {
    auto* self = static_cast<RAZIUdpBroadcastHandler*>(raw);
    self->readStarted_.fetch_add(1);
    std::vector<unsigned char> buffer(4096);
    while (self->socket.IsOpened() && !self->stopRead_.load()) {
        uint32_t ip = 0;
        unsigned short port = 0;
        const int n = self->socket.socket_recvfrom(buffer.data(), buffer.size(), &ip, &port);
        if (n >= 1 && self->callback != nullptr) {
            self->callback(buffer.data(), static_cast<unsigned int>(n), ip, port, self->context);
        } else {
            RAZISleep::SleepMs(static_cast<int>(GetPortTiming().pollSleepMs));
        }
    }
    // The last touch of the handler: its owner may destroy it from here on.
    self->readFinished_.fetch_add(1);
}
