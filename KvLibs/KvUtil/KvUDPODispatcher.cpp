#include "KvUDPODispatcher.h"

#include "KvBaseEvent.h"
#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"

namespace {
KvDispatcherThread::Singleton<KvUDPODispatcher> s_instance;
constexpr uint32_t kSendingBufferSize = 49152;
} // namespace

// No pool: the dispatcher sends itself. Many threads send, so puts are locked.
KvUDPODispatcher::KvUDPODispatcher() : KvDispatcherThread(0, true) {}

KvUDPODispatcher::~KvUDPODispatcher() {
    s_instance.clear(this);
    if (!m_socket.isNull())
        m_socket->close();
}

void KvUDPODispatcher::setSocket(KvHandle<KvDatagramSocket> socket) {
    if (socket.isNull())
        return;
    KvHandle<KvDatagramSocket> previous;
    {
        std::lock_guard<std::mutex> lock(m_socketMutex);
        if (m_socket.get() == socket.get())
            return;
        previous = m_socket;
        m_socket = socket;
    }
    if (!previous.isNull())
        previous->close();
}

KvHandle<KvDatagramSocket> KvUDPODispatcher::getSocket() {
    std::lock_guard<std::mutex> lock(m_socketMutex);
    return m_socket;
}

void KvUDPODispatcher::dispatch(KvBaseEvent* event) {
    KvHandle<KvObject> argument;
    if (auto* udp = dynamic_cast<KvUDPEvent*>(event))
        argument = udp->m_argument;
    else if (auto* tcp = dynamic_cast<KvTCPEvent*>(event))
        argument = tcp->m_second;
    KvHandle<KvDatagramPacket> packet(argument);
    if (packet.isNull())
        return;
    KvHandle<KvDatagramSocket> socket;
    {
        std::lock_guard<std::mutex> lock(m_socketMutex);
        if (m_socket.isNull())
            m_socket = new KvDatagramSocket(0, KvInetAddress(), false, kSendingBufferSize);
        socket = m_socket;
    }
    socket->send(*packet);
}

void KvUDPODispatcher::clearInstance() {
    s_instance.clear(this);
}

KvUDPODispatcher* KvUDPODispatcher::instance() {
    return s_instance.get();
}

KvDispatchQueue* KvUDPODispatcher::getInstanceQueue() {
    return s_instance.queue();
}
