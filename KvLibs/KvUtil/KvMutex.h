// The stack's lock: recursive, tried briefly before the thread blocks.
#pragma once

#include "KvPlatformSync.h"

class KvMutex {
public:
    KvMutex() = default;
    KvMutex(const KvMutex&) = delete;
    KvMutex& operator=(const KvMutex&) = delete;

    void lock();
    void unlock() { m_section.leave(); }
    bool tryLock() { return m_section.tryEnter(); }
    static void destroy(KvMutex* mutex) { delete mutex; }

private:
    KvCriticalSection m_section;
};

class KvLockGuard {
public:
    explicit KvLockGuard(KvMutex* mutex) : m_mutex(mutex) { m_mutex->lock(); }
    ~KvLockGuard() { m_mutex->unlock(); }
    KvLockGuard(const KvLockGuard&) = delete;
    KvLockGuard& operator=(const KvLockGuard&) = delete;

private:
    KvMutex* m_mutex;
};
