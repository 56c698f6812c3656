#include "ports/RAZIThread.h"

#include <pthread.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>

#include "ports/PortTiming.h"

namespace {

struct ThreadRecord {
    RAZIThread::ThreadFunction function;
    void* argument;
};

std::atomic<int> g_failing_starts{0};

bool consumeInjectedFailure() {
    int pending = g_failing_starts.load();
    while (pending > 0) {
        if (g_failing_starts.compare_exchange_weak(pending, pending - 1)) return true;
    }
    return false;
}

}  // namespace

void RAZIThread::FailNextStartsForTesting(int count) { g_failing_starts.store(count); }

bool RAZIThread::StartThread(ThreadFunction function, void* argument) {
    if (function == nullptr || consumeInjectedFailure()) return false;
    auto* record = new (std::nothrow) ThreadRecord{function, argument};
    if (record == nullptr) return false;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete record;
        return false;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int rc = pthread_create(&thread, &attributes, &RAZIThread::ThreadRoutine, record);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        delete record;
        return false;
    }
    return true;
}

void* RAZIThread::ThreadRoutine(void* raw) {
    auto* record = static_cast<ThreadRecord*>(raw);
    ThreadFunction function = record->function;
    void* argument = record->argument;
    delete record;
    function(argument);
    return nullptr;
}

int64_t RAZITimeStamp::GetSysTimeMicros() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}

int64_t RAZITimeStamp::GetSysTimeMs() { return GetSysTimeMicros() / 1000; }

int64_t RAZITimeStamp::GetMonotonicMs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void RAZISleep::SleepMs(int ms) {
    if (ms <= 0) return;
    struct timespec delay {};
    delay.tv_sec = ms / 1000;
    delay.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&delay, &delay) != 0) {
    }
}

bool RAZICancelFlagSet(const int* cancel) {
    return cancel != nullptr && __atomic_load_n(cancel, __ATOMIC_RELAXED) != 0;
}

uint64_t RoundUpToWholeSeconds(uint32_t timeout_ms, uint32_t second_ms) {
    if (second_ms == 0) second_ms = 1;
    return (static_cast<uint64_t>(timeout_ms) + second_ms - 1) / second_ms;
}

WholeSecondDeadline::WholeSecondDeadline(uint32_t timeout_ms)
    : start_ms_(RAZITimeStamp::GetMonotonicMs()) {
    second_ms_ = GetPortTiming().helperSecondMs;
    if (second_ms_ == 0) second_ms_ = 1;
    limit_seconds_ = RoundUpToWholeSeconds(timeout_ms, second_ms_);
}

bool WholeSecondDeadline::Passed() const { return RemainingMs() == 0; }

int64_t WholeSecondDeadline::RemainingMs() const {
    int64_t elapsed = RAZITimeStamp::GetMonotonicMs() - start_ms_;
    if (elapsed < 0) elapsed = 0;
    // Passed once elapsed / second_ms_ > limit, i.e. from (limit + 1) seconds on.
    const uint64_t end = (limit_seconds_ + 1) * second_ms_;
    if (static_cast<uint64_t>(elapsed) >= end) return 0;
    const uint64_t left = end - static_cast<uint64_t>(elapsed);
    return static_cast<int64_t>(std::min<uint64_t>(left, INT32_MAX));
}
