#include "KvTCPODispatcher.h"

#include "KvBaseEvent.h"
#include "KvByteArray.h"
#include "KvClientSocket.h"

namespace {
KvDispatcherThread::Singleton<KvTCPODispatcher> s_instance;
}

// No pool: the dispatcher sends itself. Many threads send, so puts are locked.
KvTCPODispatcher::KvTCPODispatcher() : KvDispatcherThread(0, true) {}

KvTCPODispatcher::~KvTCPODispatcher() {
    s_instance.clear(this);
}

void KvTCPODispatcher::dispatch(KvBaseEvent* event) {
    auto* tcp = dynamic_cast<KvTCPEvent*>(event);
    if (!tcp)
        return;
    KvHandle<KvClientSocket> socket(tcp->m_first);
    KvHandle<KvByteArray> bytes(tcp->m_second);
    if (socket.isNull() || bytes.isNull())
        return;
    uint32_t offset = 0;
    uint32_t remaining = bytes->size();
    while (remaining > 0) {
        int32_t sent = socket->send(bytes->getData(), remaining, offset);
        // Nothing sent counts as failed too: asking again would never end.
        if (sent <= 0 || static_cast<uint32_t>(sent) > remaining)
            break;
        remaining -= static_cast<uint32_t>(sent);
        offset += static_cast<uint32_t>(sent);
    }
}

void KvTCPODispatcher::clearInstance() {
    s_instance.clear(this);
}

KvTCPODispatcher* KvTCPODispatcher::instance() {
    return s_instance.get();
}

KvDispatchQueue* KvTCPODispatcher::getInstanceQueue() {
    return s_instance.queue();
}
