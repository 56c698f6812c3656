// AirKiss provisioning: broadcasts the encoded SSID and password as datagram lengths and
// counts the printer's echoes of the run's random byte. One process-wide instance; the
// exported calls serialise runs with its mutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "ports/NZUdpClientIO.h"

class RAZIAirKiss {
public:
    using RandomSource = int (*)();

    RAZIAirKiss() = default;
    RAZIAirKiss(const RAZIAirKiss&) = delete;
    RAZIAirKiss& operator=(const RAZIAirKiss&) = delete;

    // Clears the cancel flag; a run starts with it.
    void RAZIAirKiss_EnableConfig();
    void RAZIAirKiss_CancelConfig();
    // One run on the calling thread: 1 when the printer echoed, else 0.
    unsigned int RAZIAirKiss_ConfigWireless(const char* ssid, const char* password,
                                            unsigned int timeout_ms);

    // Test seams: where the random byte comes from (rand by default), and what the last run
    // drew and heard.
    void SetRandomSourceForTesting(RandomSource source) { randomSource_.store(source ? source : &rand); }
    struct RunStatistics {
        uint8_t randomByte;
        uint64_t datagramsHeard;
        uint32_t echoCount;
    };
    RunStatistics LastRun() const {
        return {randomByte_.load(), datagramsHeard_.load(), echoCount_.load()};
    }
    bool IsReaderRunning() const { return readStart_.load() != readFinished_.load(); }

private:
    static void readThreadFunc(void* self);
    bool stopped() const { return stopRead_.load() || cancel_.load(); }

    uint64_t leadingReps_ = 50;
    uint64_t magicReps_ = 20;
    uint64_t contentReps_ = 30;
    std::atomic<uint64_t> readStart_{0};
    std::atomic<uint64_t> readStarted_{0};
    std::atomic<uint64_t> readFinished_{0};
    std::atomic<bool> stopRead_{false};
    std::atomic<bool> cancel_{false};
    NZUdpClientIO_ios socket_;
    std::atomic<uint32_t> done_{0};
    std::atomic<uint8_t> randomByte_{0};
    std::atomic<uint32_t> echoCount_{0};
    uint32_t echoesNeeded_ = 20;
    std::atomic<uint64_t> datagramsHeard_{0};
    std::atomic<RandomSource> randomSource_{&rand};
};

// The process-wide configurator and the mutex that serialises its runs.
RAZIAirKiss& m_raziAirKiss();
std::mutex& m_raziAirKissConfigMutex();
