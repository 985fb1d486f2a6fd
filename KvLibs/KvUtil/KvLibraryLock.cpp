#include "KvLibraryLock.h"

#include "KvMutex.h"

namespace {
// Made during static initialisation so that it exists before any thread can race for it.
[[maybe_unused]] KvMutex* const gLibraryMutex = KvLibraryLock::getMutex();
} // namespace

KvMutex* KvLibraryLock::getMutex() {
    static KvMutex* const mutex = new KvMutex;
    return mutex;
}

void KvLibraryLock::lock() {
    KvMutex* mutex = getMutex();
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (mutex->tryLock())
            return;
    }
    mutex->lock();
}

void KvLibraryLock::unlock() {
    getMutex()->unlock();
}
