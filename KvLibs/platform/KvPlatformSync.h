// Interlocked counts, critical sections and the calling thread's last error, on the C++ standard
// library and POSIX. The stack calls these in place of the kernel services it was designed around.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Atomic increment and decrement of a plain 32-bit count; both return the new value.
inline int32_t kvInterlockedIncrement(int32_t* value) {
    return std::atomic_ref<int32_t>(*value).fetch_add(1, std::memory_order_relaxed) + 1;
}
inline int32_t kvInterlockedDecrement(int32_t* value) {
    // acq_rel so the thread that reaches zero sees every write made before the other releases.
    return std::atomic_ref<int32_t>(*value).fetch_sub(1, std::memory_order_acq_rel) - 1;
}

// A recursive lock owned by the thread that entered it.
class KvCriticalSection {
public:
    bool tryEnter() { return m_mutex.try_lock(); }
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// The calling thread's last system error (errno), and its text from the C library.
uint32_t kvGetLastError();
void kvSetLastError(uint32_t code);
std::string kvSystemErrorText(uint32_t code);

// The last socket error of the calling thread, as the Winsock-style code (10000 + n) that the
// stack's socket error table knows; errno values without such a code come back unchanged.
uint32_t kvGetLastSocketError();
uint32_t kvSocketErrorFromErrno(int error);
