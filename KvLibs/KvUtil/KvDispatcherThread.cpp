#include "KvDispatcherThread.h"

#include "KvBaseEvent.h"

#include <memory>

KvDispatcherThread::KvDispatcherThread(uint32_t poolMaximum, bool lockedQueue)
    : m_pool(this, poolMaximum), m_queue(lockedQueue) {}

KvDispatcherThread::~KvDispatcherThread() = default;

// The senders that the closed queue releases leave put one after another. The thread, at its end,
// waits until the last of them has left before it drops its own reference, which may be the
// last (the queue's destructor waits the same way for one that never ran).
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
    m_queue.shut(); // nothing is dispatched any more
}
