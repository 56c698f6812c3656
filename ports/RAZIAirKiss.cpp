#include "ports/RAZIAirKiss.h"

#include <cstdlib>
#include <vector>

#include "ports/NZAirKissEncoder.h"
#include "ports/NZNetSettings.h"
#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"
#include "quorvantelmise.h"

void RAZIAirKiss::RAZIAirKiss_EnableConfig() { cancel_.store(false); }
void RAZIAirKiss::RAZIAirKiss_CancelConfig() { cancel_.store(true); }

unsigned int RAZIAirKiss::RAZIAirKiss_ConfigWireless(const char* ssid, const char* password,
                                                     unsigned int timeout_ms) {
    done_.store(0);
    // Never 0: the run's own all-zero datagrams loop back to its socket and would count.
    randomByte_.store(static_cast<uint8_t>(1 + static_cast<unsigned>(randomSource_.load()()) % 255));
    echoCount_.store(0);
    datagramsHeard_.store(0);

    const std::vector<uint64_t> lengths = NZAirKissEncoder_EncodeDataToLengthArray(
        ssid, password, randomByte_.load(), leadingReps_, magicReps_, contentReps_);
    if (lengths.empty()) return 0;

    const NZNetDestinations to = NZNetSettings::Get().destinations;
    const PortTiming timing = GetPortTiming();
    if (!socket_.OpenNonThreadA(to.airkissLocalAddress.c_str(), to.airkissLocalPort,
                                to.airkissAddress.c_str(), to.airkissPort))
        return 0;
    socket_.setsockopt_reuseaddr(true);
    socket_.setsockopt_broadcast(true);
    socket_.setsockopt_rcvtimeo(timing.airkissReceiveTimeoutMs);
    socket_.setsockopt_sndtimeo(timing.airkissSendTimeoutMs);

    readStart_.fetch_add(1);
    stopRead_.store(false);
    const int poll_ms = static_cast<int>(timing.pollSleepMs);
    if (RAZIThread::StartThread(&RAZIAirKiss::readThreadFunc, this)) {
        while (readStarted_.load() != readStart_.load()) RAZISleep::SleepMs(poll_ms);
    } else {
        readStarted_.fetch_add(1);
        readFinished_.fetch_add(1);
        socket_.Close();
        return 0;
    }

    static const unsigned char kZeros[512] = {};
    const WholeSecondDeadline deadline(timeout_ms);
    auto running = [&] { return socket_.IsOpened() && !cancel_.load() && !done_.load() && !deadline.Passed(); };
    while (running()) {
        for (size_t i = 0; i < lengths.size() && running();) {
            const int sent = socket_.Write(kZeros, lengths[i], timing.airkissSendTimeoutMs);
            if (sent >= 0 && static_cast<uint64_t>(sent) == lengths[i]) ++i;
            RAZISleep::SleepMs(static_cast<int>(timing.airkissDatagramGapMs));
        }
    }

    // Wake the echo reader out of its receive and let it finish before the socket closes.
    stopRead_.store(true);
    socket_.socket_shutdown();
    while (readFinished_.load() != readStart_.load()) RAZISleep::SleepMs(poll_ms);
    socket_.Close();
    return done_.load();
}

void RAZIAirKiss::readThreadFunc(void* raw) {
    auto* self = static_cast<RAZIAirKiss*>(raw);
    self->readStarted_.fetch_add(1);
    unsigned char buffer[256];
    const uint8_t random = self->randomByte_.load();
    const int poll_ms = static_cast<int>(GetPortTiming().pollSleepMs);
    while (self->socket_.IsOpened() && !self->stopped()) {
        const int n = self->socket_.socket_recvfrom(buffer, sizeof buffer, nullptr, nullptr);
        if (n <= 0) {
            RAZISleep::SleepMs(poll_ms);
            continue;
        }
        self->datagramsHeard_.fetch_add(1);
        uint32_t count = self->echoCount_.load();
        for (int i = 0; i < n; ++i)
            if (buffer[i] == random) ++count;
        self->echoCount_.store(count);
        if (count >= self->echoesNeeded_) {
            self->done_.store(1);
            break;
        }
    }
    self->readFinished_.fetch_add(1);
}

// Both live for the whole process: a run still going on another thread at exit must not
// find them destroyed under it.
RAZIAirKiss& m_raziAirKiss() {
    static auto* instance = new RAZIAirKiss;
    return *instance;
}

std::mutex& m_raziAirKissConfigMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

extern "C" CP_API int CP_Airkiss_ConfigWireless(const char* ssid, const char* password,
                                                unsigned int timeout_ms) {
    if (ssid == nullptr || password == nullptr) return 0;
    std::lock_guard<std::mutex> lock(m_raziAirKissConfigMutex());
    m_raziAirKiss().RAZIAirKiss_EnableConfig();
    return static_cast<int>(m_raziAirKiss().RAZIAirKiss_ConfigWireless(ssid, password, timeout_ms));
}

extern "C" CP_API void CP_Airkiss_CancelConfig(void) { m_raziAirKiss().RAZIAirKiss_CancelConfig(); }
