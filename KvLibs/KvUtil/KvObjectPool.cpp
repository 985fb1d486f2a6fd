#include "KvObjectPool.h"

#include <new>

// Empties the thread's cache when the thread ends; objects released later in its exit go straight
// to the allocator.
struct KvObjectPoolReaper {
    void arm() noexcept { KvObjectPool::tCache.state = KvObjectPool::State::Active; }
    ~KvObjectPoolReaper() {
        KvObjectPool::tCache.state = KvObjectPool::State::Gone;
        KvObjectPool::drain();
    }
};

namespace {
thread_local KvObjectPoolReaper tReaper;
} // namespace

void KvObjectPool::drain() noexcept {
    for (size_t i = 0; i < kClasses; ++i) {
        while (FreeBlock* block = tCache.heads[i]) {
            tCache.heads[i] = block->next;
            ::operator delete(block);
        }
        tCache.counts[i] = 0;
    }
}

void* KvObjectPool::allocateBlock(size_t size) {
    if (!KV_OBJECT_POOL || size - 1 >= kLargest)
        return ::operator new(size ? size : 1);
    if (tCache.state == State::Fresh)
        tReaper.arm();
    // Whole class sizes even when the cache is gone: the block may be released into another
    // thread's cache.
    return ::operator new(((size - 1) / kGranule + 1) * kGranule);
}

void KvObjectPool::releaseBlock(void* block) noexcept {
    ::operator delete(block);
}
