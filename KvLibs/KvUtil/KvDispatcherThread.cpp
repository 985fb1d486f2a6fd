#include "KvDispatcherThread.h"

#include "KvBaseEvent.h"

#include <memory>

KvDispatcherThread::KvDispatcherThread(uint32_t poolMaximum, bool lockedQueue)
    : m_pool(this, poolMaximum), m_queue(lockedQueue) {}

KvDispatcherThread::~KvDispatcherThread() = default;

// A sender blocked in put when the queue closes holds a count of its own until it has left: the
// dispatcher and its queue go only with the last of those counts, not with the thread's.
void KvDispatcherThread::stop() {
    StopScope scope(*this); // a process-wide instance lives only by its thread's own reference
    KvThread::stop();
    m_queue.close();
    clearInstance();
}

void KvDispatcherThread::run() {
    while (getState() != EXITING) {
        std::unique_ptr<KvBaseEvent> event(m_queue.get());
        if (!event || getState() == EXITING)
            break;
        // One event's failure is that event's: the dispatcher goes on with the next.
        sRunCaught("KvDispatcherThread::run", [&] { dispatch(event.get()); });
    }
}

void KvDispatcherThread::atEnd() {
    clearInstance();
    m_pool.releaseOwner(); // the object may go with the thread's own reference now
}
