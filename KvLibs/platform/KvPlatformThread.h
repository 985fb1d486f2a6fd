// Threads, auto-reset events with time-outs, counting semaphores and the clocks, on POSIX threads
// and the C++ standard library. The stack calls these in place of the kernel services it was
// designed around.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A wait of this many milliseconds has no time limit.
constexpr uint32_t KV_INFINITE = 0xFFFFFFFFu;

// Starts a detached operating-system thread with the default stack size that calls entry(argument).
// Returns false, with the reason as the last error, when the system cannot start it.
bool kvStartThread(void (*entry)(void*), void* argument);

// The operating-system id of the calling thread; unique among the threads alive in the process.
uint32_t kvCurrentThreadId();

// Gives the processor to another ready thread.
void kvYield();

// An event that stays signalled until one wait takes the signal.
class KvPlatformEvent {
public:
    enum WaitResult { SIGNALLED, TIMED_OUT };

    KvPlatformEvent() = default;
    KvPlatformEvent(const KvPlatformEvent&) = delete;
    KvPlatformEvent& operator=(const KvPlatformEvent&) = delete;

    void set();
    // Waits at most timeoutMs milliseconds (KV_INFINITE: no limit) and takes the signal.
    WaitResult wait(uint32_t timeoutMs);

private:
    bool takeSignal();

    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::atomic<bool> m_signalled{false};
};

// A counting semaphore with an upper bound on its count.
class KvPlatformSemaphore {
public:
    KvPlatformSemaphore(int32_t initialCount, int32_t maximumCount);
    KvPlatformSemaphore(const KvPlatformSemaphore&) = delete;
    KvPlatformSemaphore& operator=(const KvPlatformSemaphore&) = delete;

    bool tryAcquire();
    void acquire();
    // Adds count; refuses (returns false, changing nothing) when that would pass the maximum.
    bool release(int32_t count = 1);
    int32_t getCount();

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    int32_t m_count;
    int32_t m_maximum;
    int32_t m_waiters = 0;
};

// Microseconds on a clock that only moves forward at a steady rate, from an arbitrary origin.
uint64_t kvSteadyMicroseconds();
// The wall-clock time in microseconds since 1601-01-01 00:00 UTC.
uint64_t kvSystemTimeMicroseconds();
