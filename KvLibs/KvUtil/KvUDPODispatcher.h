// Outgoing datagrams: each event's packet is sent, in queue order, by the dispatcher thread on the
// dispatcher's own datagram socket (the transport's listening socket once it has been set).
#pragma once

#include "KvDispatcherThread.h"

#include <mutex>

class KvDatagramSocket;

class KvUDPODispatcher : public KvDispatcherThread {
public:
    KvUDPODispatcher();
    ~KvUDPODispatcher() override;
    // The KvDatagramPacket argument of a KvUDPEvent (or the second object of a KvTCPEvent). Without
    // a socket set, one bound to port 0 is made for it.
    void dispatch(KvBaseEvent* event) override;
    void clearInstance() override;

    // Sends from this socket from now on, closing the one used so far; a null socket is ignored.
    void setSocket(KvHandle<KvDatagramSocket> socket);
    KvHandle<KvDatagramSocket> getSocket();

    // The process-wide dispatcher, made and started on first use.
    static KvUDPODispatcher* instance();
    // The queue of the instance, or null when there is none (makes nothing).
    static KvDispatchQueue* getInstanceQueue();

private:
    std::mutex m_socketMutex; // setSocket comes from other threads than the sends
    KvHandle<KvDatagramSocket> m_socket;
};
