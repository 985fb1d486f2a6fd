// Memory for counted objects. Parsing a message makes and drops dozens of small objects; a
// per-thread cache of size classes serves them without the allocator's locks and bin handling.
// A block may be released on another thread than the one that took it: it then joins that
// thread's cache. Under AddressSanitizer every block goes straight to the allocator, so that
// use after release is still caught.
#pragma once

#include <cstddef>
#include <cstdint>

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

class KvObjectPool {
public:
    // Objects up to this size are cached, in classes of kGranule bytes; every block of a class
    // has the class's full size, so any object of the class fits any of its blocks.
    static constexpr size_t kLargest = 320;
    static constexpr size_t kGranule = 16;
    // Blocks a thread keeps per class; more go back to the allocator.
    static constexpr uint16_t kKeptPerClass = 128;

    static void* allocate(size_t size) {
        Cache& cache = tCache;
        ++cache.takenBlocks;
        cache.takenBytes += size;
        if (KV_OBJECT_POOL && size - 1 < kLargest && cache.state == State::Active) {
            const size_t index = (size - 1) / kGranule;
            if (FreeBlock* block = cache.heads[index]) {
                cache.heads[index] = block->next;
                --cache.counts[index];
                return block;
            }
        }
        return allocateBlock(size);
    }

    static void release(void* block, size_t size) noexcept {
        Cache& cache = tCache;
        if (KV_OBJECT_POOL && block && size - 1 < kLargest && cache.state == State::Active) {
            const size_t index = (size - 1) / kGranule;
            if (cache.counts[index] < kKeptPerClass) {
                FreeBlock* freed = static_cast<FreeBlock*>(block);
                freed->next = cache.heads[index];
                cache.heads[index] = freed;
                ++cache.counts[index];
                return;
            }
        }
        releaseBlock(block);
    }

    // What this thread has asked for so far, served from the cache or not: for the benchmarks'
    // allocation counts.
    static uint64_t takenBlocks() { return tCache.takenBlocks; }
    static uint64_t takenBytes() { return tCache.takenBytes; }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    enum class State : uint8_t { Fresh, Active, Gone };
    static constexpr size_t kClasses = kLargest / kGranule;
    // Trivial, so that a thread reaches it without an initialisation check; a thread's cache is
    // emptied when the thread ends.
    struct Cache {
        FreeBlock* heads[kClasses];
        uint16_t counts[kClasses];
        State state;
        uint64_t takenBlocks;
        uint64_t takenBytes;
    };

    static void* allocateBlock(size_t size);
    static void releaseBlock(void* block) noexcept;
    static void drain() noexcept;

    // Defined here, so that every user sees its constant initialisation and reaches it
    // directly, not through an initialisation wrapper.
    static inline constinit thread_local Cache tCache{};
    friend struct KvObjectPoolReaper;
};
