// Memory for counted objects. Parsing a message makes and drops dozens of small objects; a
// per-thread cache of size classes serves them without the allocator's locks and bin handling.
// A block may be released on another thread than the one that took it: it then joins that
// thread's cache. Under AddressSanitizer every block goes straight to the allocator, so that
// use after release is still caught.
#pragma once

#include <cstddef>
#include <cstdint>

class KvObjectPool {
public:
    static void* allocate(size_t size);
    static void release(void* block, size_t size) noexcept;
    // What this thread has asked for so far, served from the cache or not: for the benchmarks'
    // allocation counts.
    static uint64_t takenBlocks();
    static uint64_t takenBytes();

    // Objects up to this size are cached, in classes of kGranule bytes.
    static constexpr size_t kLargest = 256;
    static constexpr size_t kGranule = 16;
    // Blocks a thread keeps per class; more go back to the allocator.
    static constexpr unsigned kKeptPerClass = 128;
};
