#include "KvUDPIDispatcher.h"

#include "KvBaseEvent.h"

namespace {
KvDispatcherThread::Singleton<KvUDPIDispatcher> s_instance;
}

// A pool of 10 workers; puts are locked, as more than one thread may feed the queue.
KvUDPIDispatcher::KvUDPIDispatcher() : KvDispatcherThread(10, true) {}

KvUDPIDispatcher::~KvUDPIDispatcher() {
    s_instance.clear(this);
}

void KvUDPIDispatcher::dispatch(KvBaseEvent* event) {
    if (auto* udp = dynamic_cast<KvUDPEvent*>(event))
        m_pool.submitUpdate(udp->m_observer, udp->m_argument);
}

void KvUDPIDispatcher::clearInstance() {
    s_instance.clear(this);
}

KvUDPIDispatcher* KvUDPIDispatcher::instance() {
    return s_instance.get();
}

KvHandle<KvUDPIDispatcher> KvUDPIDispatcher::sInstanceHandle() {
    return s_instance.handle();
}

KvDispatchQueue* KvUDPIDispatcher::getInstanceQueue() {
    return s_instance.queue();
}
