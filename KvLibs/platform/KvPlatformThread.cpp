#include "KvPlatformThread.h"

#include <cerrno>
#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace {

struct StartBlock {
    void (*entry)(void*);
    void* argument;
};

void* threadMain(void* raw) {
    StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    block.entry(block.argument);
    return nullptr;
}

} // namespace

bool kvStartThread(void (*entry)(void*), void* argument) {
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error == 0)
        error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (error != 0) {
        errno = error;
        return false;
    }
    auto* block = new StartBlock{entry, argument};
    pthread_t thread;
    error = pthread_create(&thread, &attributes, threadMain, block);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete block;
        errno = error;
        return false;
    }
    return true;
}

uint32_t kvCurrentThreadId() {
    // Cached: the id of a thread never changes and the system call is not free.
    thread_local const uint32_t id = static_cast<uint32_t>(gettid());
    return id;
}

void kvYield() {
    sched_yield();
}

namespace {
constexpr int kSpinCount = 500;
inline void kvPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}
} // namespace

void KvPlatformEvent::set() {
    {
        // Under the lock, so that a waiter between its check and its sleep cannot miss it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled.store(true, std::memory_order_release);
    }
    m_condition.notify_one();
}

bool KvPlatformEvent::takeSignal() {
    return m_signalled.load(std::memory_order_relaxed) &&
           m_signalled.exchange(false, std::memory_order_acquire);
}

KvPlatformEvent::WaitResult KvPlatformEvent::wait(uint32_t timeoutMs) {
    // Work handed over in quick succession usually comes within a few microseconds: looking a
    // little while is much cheaper than going to sleep and being woken.
    for (int spin = 0; spin < kSpinCount; ++spin) {
        if (takeSignal())
            return SIGNALLED;
        kvPause();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    auto signalled = [this] { return takeSignal(); };
    if (timeoutMs == KV_INFINITE)
        m_condition.wait(lock, signalled);
    else if (!m_condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled))
        return TIMED_OUT;
    return SIGNALLED;
}

KvPlatformSemaphore::KvPlatformSemaphore(int32_t initialCount, int32_t maximumCount)
    : m_count(initialCount), m_maximum(maximumCount) {}

bool KvPlatformSemaphore::tryAcquire() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count <= 0)
        return false;
    --m_count;
    return true;
}

void KvPlatformSemaphore::acquire() {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiters;
    m_condition.wait(lock, [this] { return m_count > 0; });
    --m_waiters;
    --m_count;
}

bool KvPlatformSemaphore::release(int32_t count) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (count <= 0 || count > m_maximum - m_count)
            return false;
        m_count += count;
        wake = m_waiters > 0;
    }
    if (wake) {
        if (count == 1)
            m_condition.notify_one();
        else
            m_condition.notify_all();
    }
    return true;
}

int32_t KvPlatformSemaphore::getCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

uint64_t kvSteadyMicroseconds() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

uint64_t kvSystemTimeMicroseconds() {
    // Microseconds from 1601-01-01 to the Unix epoch 1970-01-01.
    constexpr uint64_t kEpochOffset = 11644473600ull * 1000000ull;
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    return kEpochOffset + static_cast<uint64_t>(micros);
}
