#include "KvTimerDispatcher.h"

#include "KvBaseEvent.h"

namespace {
KvDispatcherThread::Singleton<KvTimerDispatcher> s_instance;
}

// A pool of 10 workers; puts are locked, as more than one thread may feed the queue.
KvTimerDispatcher::KvTimerDispatcher() : KvDispatcherThread(10, true) {}

KvTimerDispatcher::~KvTimerDispatcher() {
    s_instance.clear(this);
}

void KvTimerDispatcher::dispatch(KvBaseEvent* event) {
    if (auto* timer = dynamic_cast<KvTimerEvent*>(event))
        m_pool.submitUpdate(timer->m_observer, timer->m_argument);
}

void KvTimerDispatcher::clearInstance() {
    s_instance.clear(this);
}

KvTimerDispatcher* KvTimerDispatcher::instance() {
    return s_instance.get();
}

KvHandle<KvTimerDispatcher> KvTimerDispatcher::sInstanceHandle() {
    return s_instance.handle();
}

KvDispatchQueue* KvTimerDispatcher::getInstanceQueue() {
    return s_instance.queue();
}
