#include "KvTCPIDispatcher.h"

#include "KvBaseEvent.h"

namespace {
KvDispatcherThread::Singleton<KvTCPIDispatcher> s_instance;
}

// A pool of 10 workers; puts are locked, as more than one thread may feed the queue.
KvTCPIDispatcher::KvTCPIDispatcher() : KvDispatcherThread(10, true) {}

KvTCPIDispatcher::~KvTCPIDispatcher() {
    s_instance.clear(this);
}

void KvTCPIDispatcher::dispatch(KvBaseEvent* event) {
    if (auto* tcp = dynamic_cast<KvTCPEvent*>(event))
        m_pool.submitNotify(KvHandle<KvObservable>(tcp->m_first), tcp->m_second);
}

void KvTCPIDispatcher::clearInstance() {
    s_instance.clear(this);
}

KvTCPIDispatcher* KvTCPIDispatcher::instance() {
    return s_instance.get();
}

KvDispatchQueue* KvTCPIDispatcher::getInstanceQueue() {
    return s_instance.queue();
}
