// A UDP socket. Its block() receives one datagram and queues it on the incoming UDP dispatcher,
// whose pool worker calls update, which hands the packet to the observer.
#pragma once

#include "KvDatagramPacket.h"
#include "KvSocketImpl.h"

#include <cstdint>

class KvDatagramSocket : public KvSocketImpl {
public:
    // Bound to (address, port); with `connect`, connected to (address, port) instead. The buffer
    // size is the largest datagram that block() receives; larger ones are dropped.
    KvDatagramSocket(uint32_t port, const KvInetAddress& address, bool connect,
                     uint32_t bufferSize);
    ~KvDatagramSocket() override;

    using KvSocketImpl::receive;
    using KvSocketImpl::send;
    // To the connected peer with a plain send, to anyone else with a send-to; the count or -1.
    int32_t send(const KvDatagramPacket& packet);
    // Into the packet's data at its offset, at most its length; fills in the sender and sets the
    // length to the count (kFailedLength on failure).
    void receive(KvDatagramPacket& packet);

    // Receives one datagram and queues it; false once the socket is closed (a failure that
    // closed it is queued first, as the argument).
    bool block() override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;

    bool isConnected() const { return m_connected; }
    uint32_t getBufferSize() const { return m_bufferSize; }

protected:
    // Bound to (address, port) beside other sockets that share it (a multicast group's port).
    KvDatagramSocket(uint32_t port, const KvInetAddress& address, uint32_t bufferSize, bool shared);

private:
    bool m_connected;
    uint32_t m_bufferSize;
    // This socket's own receive buffer, used only by its receiving thread.
    KvHandle<KvDatagramPacket> m_receivePacket;
};
