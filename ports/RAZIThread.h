#pragma once

#include <cstdint>

// Detached helper threads. Every thread of the ports and printer code starts here.
class RAZIThread {
public:
    using ThreadFunction = void (*)(void*);

    // Runs function(argument) on a new detached thread. False when no thread could be
    // created; function is then never called.
    static bool StartThread(ThreadFunction function, void* argument);

    // Test-only: the next count starts fail as if no thread could be created.
    static void FailNextStartsForTesting(int count);

private:
    static void* ThreadRoutine(void* record);
};

// Clocks. Reported times are wall-clock; deadlines use the monotonic clock.
class RAZITimeStamp {
public:
    // Wall clock: microseconds and milliseconds since the epoch.
    static int64_t GetSysTimeMicros();
    static int64_t GetSysTimeMs();
    // Monotonic clock in milliseconds, for measuring waits.
    static int64_t GetMonotonicMs();
};

class RAZISleep {
public:
    // Sleeps ms milliseconds; a negative value sleeps nothing.
    static void SleepMs(int ms);
};

// A caller's cancel flag (may be null: never set). Callers set it from other threads without
// synchronisation of their own; it is read atomically so that is at least well defined.
bool RAZICancelFlagSet(const int* cancel);

// Timeout in milliseconds rounded up to whole helper seconds, in 64 bits so the largest
// timeouts do not wrap.
uint64_t RoundUpToWholeSeconds(uint32_t timeout_ms, uint32_t second_ms);

// A wait limited to whole seconds of the helper clock: over once the elapsed whole seconds
// exceed the limit, so a limit of 0 still lasts one second.
class WholeSecondDeadline {
public:
    explicit WholeSecondDeadline(uint32_t timeout_ms);
    bool Passed() const;
    // Milliseconds until Passed() turns true, at least 1 while it is false.
    int64_t RemainingMs() const;

private:
    int64_t start_ms_;
    uint64_t limit_seconds_;
    uint32_t second_ms_;
};
