#include "KvDispatchQueue.h"

#include "KvBaseEvent.h"
#include "KvMutex.h"
#include "KvThread.h"

#include <thread>

KvDispatchQueue::KvDispatchQueue(bool locked)
    : m_freeSlots(kSlotCount, 2 * kSlotCount), m_filledSlots(0, kSlotCount), m_count(0),
      m_closed(false), m_getIndex(0), m_putIndex(0), m_slots(), m_locked(locked),
      m_mutex(locked ? new KvMutex : nullptr) {}

KvDispatchQueue::~KvDispatchQueue() {
    shut();
    uint32_t count = m_count.load(std::memory_order_acquire);
    for (uint32_t i = 0; i < count; ++i)
        delete m_slots[(m_getIndex + i) % kSlotCount];
    KvMutex::destroy(m_mutex);
}

void KvDispatchQueue::sTake(KvPlatformSemaphore& semaphore) {
    // Under load the slot is usually there: a few polls are cheaper than sleeping.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (semaphore.tryAcquire())
            return;
    }
    semaphore.acquire();
}

bool KvDispatchQueue::sCallerIsExiting() {
    KvThread* current = KvThread::currentThread();
    return current && current->getState() == KvThread::EXITING;
}

bool KvDispatchQueue::put(KvBaseEvent* event) {
    if (!event)
        return false; // an empty slot would read as a wake-up
    m_putting.fetch_add(1, std::memory_order_acq_rel);
    const bool stored = putCounted(event);
    m_putting.fetch_sub(1, std::memory_order_release); // the queue may go from here on
    return stored;
}

bool KvDispatchQueue::putCounted(KvBaseEvent* event) {
    for (;;) {
        sTake(m_freeSlots);
        if (m_closed.load(std::memory_order_acquire)) {
            m_freeSlots.release(); // handed on to the next put waiting, which is refused too
            delete event;
            return false;
        }
        if (sCallerIsExiting()) {
            m_freeSlots.release();
            delete event;
            return false;
        }
        if (m_mutex)
            m_mutex->lock();
        // A full ring means the slot granted came from wake(), not from a get: never overwrite,
        // wait for a real one.
        bool stored = m_count.load(std::memory_order_acquire) < kSlotCount;
        if (stored) {
            m_slots[m_putIndex] = event;
            m_putIndex = (m_putIndex + 1) % kSlotCount;
            m_count.fetch_add(1, std::memory_order_acq_rel);
        }
        if (m_mutex)
            m_mutex->unlock();
        if (stored) {
            m_filledSlots.release();
            return true;
        }
    }
}

KvBaseEvent* KvDispatchQueue::get() {
    for (;;) {
        sTake(m_filledSlots);
        bool hasEvent = m_count.load(std::memory_order_acquire) > 0;
        if (sCallerIsExiting()) {
            if (hasEvent)
                m_filledSlots.release(); // the event stays queued and stays counted
            return nullptr;
        }
        // An empty ring means the signal came from wake(): there is no event to read.
        if (!hasEvent)
            continue;
        KvBaseEvent* event = m_slots[m_getIndex];
        m_slots[m_getIndex] = nullptr;
        m_getIndex = (m_getIndex + 1) % kSlotCount;
        m_count.fetch_sub(1, std::memory_order_acq_rel);
        m_freeSlots.release();
        return event;
    }
}

void KvDispatchQueue::wake() {
    m_freeSlots.release();
    m_filledSlots.release();
}

void KvDispatchQueue::close() {
    m_closed.store(true, std::memory_order_release);
    wake();
}

void KvDispatchQueue::shut() {
    close();
    // Each refused put hands the slot on to the next one waiting: they leave one after another.
    while (m_putting.load(std::memory_order_acquire) != 0)
        std::this_thread::yield();
}
