#include "KvObjectPool.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KV_OBJECT_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KV_OBJECT_POOL 0
#endif
#endif
#ifndef KV_OBJECT_POOL
#define KV_OBJECT_POOL 1
#endif

namespace {

constexpr size_t kClasses = KvObjectPool::kLargest / KvObjectPool::kGranule;

struct FreeBlock {
    FreeBlock* next;
};

enum class CacheState : uint8_t { Fresh, Active, Gone };

// Trivial, so that a thread reaches it without an initialisation check; the reaper below empties
// it when the thread ends.
struct Cache {
    FreeBlock* heads[kClasses];
    uint16_t counts[kClasses];
    CacheState state;
    uint64_t takenBlocks;
    uint64_t takenBytes;
};

constinit thread_local Cache tCache{};

void drain(Cache& cache) noexcept {
    for (size_t i = 0; i < kClasses; ++i) {
        while (FreeBlock* block = cache.heads[i]) {
            cache.heads[i] = block->next;
            ::operator delete(block);
        }
        cache.counts[i] = 0;
    }
}

struct CacheReaper {
    void arm() noexcept { tCache.state = CacheState::Active; }
    ~CacheReaper() {
        // Objects released later in the thread's exit go straight to the allocator.
        tCache.state = CacheState::Gone;
        drain(tCache);
    }
};

thread_local CacheReaper tReaper;

// False while the thread is ending: the cache is gone then.
bool cacheReady() noexcept {
    if (tCache.state == CacheState::Active)
        return true;
    if (tCache.state == CacheState::Gone)
        return false;
    tReaper.arm();
    return true;
}

size_t classOf(size_t size) {
    return (size + KvObjectPool::kGranule - 1) / KvObjectPool::kGranule - 1;
}

} // namespace

void* KvObjectPool::allocate(size_t size) {
    ++tCache.takenBlocks;
    tCache.takenBytes += size;
    if (!KV_OBJECT_POOL || size == 0 || size > kLargest || !cacheReady())
        return ::operator new(size ? size : 1);
    const size_t index = classOf(size);
    if (FreeBlock* block = tCache.heads[index]) {
        tCache.heads[index] = block->next;
        --tCache.counts[index];
        return block;
    }
    // Every block of a class has the class's full size, so any object of the class fits it.
    return ::operator new((index + 1) * kGranule);
}

void KvObjectPool::release(void* block, size_t size) noexcept {
    if (!block)
        return;
    if (!KV_OBJECT_POOL || size == 0 || size > kLargest || tCache.state != CacheState::Active) {
        ::operator delete(block);
        return;
    }
    const size_t index = classOf(size);
    if (tCache.counts[index] >= kKeptPerClass) {
        ::operator delete(block);
        return;
    }
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = tCache.heads[index];
    tCache.heads[index] = freed;
    ++tCache.counts[index];
}

uint64_t KvObjectPool::takenBlocks() {
    return tCache.takenBlocks;
}

uint64_t KvObjectPool::takenBytes() {
    return tCache.takenBytes;
}
