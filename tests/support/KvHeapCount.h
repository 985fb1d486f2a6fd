// Counts what the program's operator new hands out and operator delete has not taken back yet:
// its live objects and their bytes. It replaces the global operator new and delete, so include it
// in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace kvheap {

inline std::atomic<long> g_liveBlocks{0};
inline std::atomic<long> g_liveBytes{0};

inline long liveBlocks() {
    return g_liveBlocks.load(std::memory_order_relaxed);
}
inline long liveBytes() {
    return g_liveBytes.load(std::memory_order_relaxed);
}

inline void* allocate(std::size_t size) noexcept {
    void* block = std::malloc(size ? size : 1);
    if (block) {
        g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
        g_liveBytes.fetch_add(static_cast<long>(malloc_usable_size(block)),
                              std::memory_order_relaxed);
    }
    return block;
}

inline void release(void* block) noexcept {
    if (!block)
        return;
    g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    g_liveBytes.fetch_sub(static_cast<long>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

inline void* allocateOrThrow(std::size_t size) {
    if (void* block = allocate(size))
        return block;
    throw std::bad_alloc();
}

} // namespace kvheap

// Every unaligned form, so that no pair mixes this allocator with another one. Never inlined: a
// tool that replaces the operators itself (valgrind) then replaces every call, not only some.
[[gnu::noinline]] void* operator new(std::size_t size) {
    return kvheap::allocateOrThrow(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
    return kvheap::allocateOrThrow(size);
}
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return kvheap::allocate(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return kvheap::allocate(size);
}
[[gnu::noinline]] void operator delete(void* block) noexcept {
    kvheap::release(block);
}
[[gnu::noinline]] void operator delete[](void* block) noexcept {
    kvheap::release(block);
}
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    kvheap::release(block);
}
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept {
    kvheap::release(block);
}
[[gnu::noinline]] void operator delete(void* block, const std::nothrow_t&) noexcept {
    kvheap::release(block);
}
[[gnu::noinline]] void operator delete[](void* block, const std::nothrow_t&) noexcept {
    kvheap::release(block);
}
