// The process-wide lock of the utility library. It guards the creation and the walks of the
// registries that outlive any one object: the socket registry and the open-file registry.
#pragma once

class KvMutex;

class KvLibraryLock {
public:
    // Usable from static initialisation to process exit: the mutex is made on first use and never
    // destroyed.
    static KvMutex* getMutex();
    // Tries briefly before blocking: the lock is held only for short walks.
    static void lock();
    static void unlock();
};

class KvLibraryLockGuard {
public:
    KvLibraryLockGuard() { KvLibraryLock::lock(); }
    ~KvLibraryLockGuard() { KvLibraryLock::unlock(); }
    KvLibraryLockGuard(const KvLibraryLockGuard&) = delete;
    KvLibraryLockGuard& operator=(const KvLibraryLockGuard&) = delete;
};
