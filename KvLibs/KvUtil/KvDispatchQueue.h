// The bounded ring between the producers of a dispatcher's events and its one consumer, the
// dispatcher thread. Two counting semaphores bound it: free slots (a full ring blocks put) and
// filled slots (an empty ring blocks get).
#pragma once

#include "KvPlatformThread.h"

#include <atomic>
#include <cstdint>

class KvBaseEvent;
class KvMutex;

class KvDispatchQueue {
public:
    static constexpr uint32_t kSlotCount = 4096;

    // A locked queue serialises its puts, for several producers.
    explicit KvDispatchQueue(bool locked);
    // Closes the queue, waits until every thread inside put has left, and deletes the events
    // still queued.
    ~KvDispatchQueue();
    KvDispatchQueue(const KvDispatchQueue&) = delete;
    KvDispatchQueue& operator=(const KvDispatchQueue&) = delete;

    // Queues the event, waiting while the ring is full; the queue owns it from here on. When the
    // queue is closed, or the calling stack thread is EXITING, the event is deleted instead and
    // false returned.
    bool put(KvBaseEvent* event);
    // The oldest event, waiting while the ring is empty; the caller owns it. Null when the calling
    // stack thread is EXITING (the queued events stay queued).
    KvBaseEvent* get();
    // Releases one blocked put and one blocked get, so that threads told to stop can see it.
    void wake();
    // Refuses every put from now on, those waiting for a slot included; what is queued stays.
    void close();
    // Closes the queue and waits until every thread inside put has left it.
    void shut();

    uint32_t getCount() const { return m_count.load(std::memory_order_acquire); }
    bool isLocked() const { return m_locked; }

private:
    bool putCounted(KvBaseEvent* event);
    static void sTake(KvPlatformSemaphore& semaphore);
    static bool sCallerIsExiting();

    KvPlatformSemaphore m_freeSlots;
    KvPlatformSemaphore m_filledSlots;
    std::atomic<uint32_t> m_count;
    std::atomic<bool> m_closed;
    uint32_t m_getIndex;
    uint32_t m_putIndex;
    KvBaseEvent* m_slots[kSlotCount];
    bool m_locked;
    KvMutex* m_mutex;
    // The threads inside put: behind the ring, away from the counts that the consumer changes.
    std::atomic<uint32_t> m_putting{0};
};
