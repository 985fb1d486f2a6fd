#include "KvDatagramSocket.h"

#include "KvBaseEvent.h"
#include "KvException.h"
#include "KvThread.h"
#include "KvUDPIDispatcher.h"

KvDatagramSocket::KvDatagramSocket(uint32_t port, const KvInetAddress& address, bool connect,
                                   uint32_t bufferSize)
    : m_connected(false), m_bufferSize(bufferSize) {
    if (connect) {
        KvSocketImpl::connect(address, port, false);
        m_connected = true;
    } else {
        create(port, address, 0);
    }
}

KvDatagramSocket::KvDatagramSocket(uint32_t port, const KvInetAddress& address, uint32_t bufferSize,
                                   bool shared)
    : m_connected(false), m_bufferSize(bufferSize) {
    create(port, address, 0, shared);
}

KvDatagramSocket::~KvDatagramSocket() = default;

int32_t KvDatagramSocket::send(const KvDatagramPacket& packet) {
    const KvHandle<KvByteArray>& data = packet.getData();
    const char* bytes = data.isNull() ? nullptr : data->getData() + packet.getOffset();
    uint32_t length = data.isNull() ? 0 : packet.getLength();
    // A packet whose receive failed has nothing to send, and no length reaches past the data.
    if (length == KvDatagramPacket::kFailedLength)
        return -1;
    uint32_t rest = data.isNull() ? 0 : data->size() - packet.getOffset();
    if (length > rest)
        length = rest;
    if (m_connected && packet.getAddress() == getPeerAddress() && packet.getPort() == getPeerPort())
        return KvSocketImpl::send(bytes, length);
    return sendTo(bytes, length, packet.getAddress(), packet.getPort());
}

void KvDatagramSocket::receive(KvDatagramPacket& packet) {
    const KvHandle<KvByteArray>& data = packet.getData();
    if (data.isNull()) {
        packet.setLength(KvDatagramPacket::kFailedLength);
        return;
    }
    // The packet's length may have been set beyond its data: never receive past the array.
    uint32_t room = data->size() - packet.getOffset();
    uint32_t length = packet.getLength() < room ? packet.getLength() : room;
    KvInetAddress address;
    uint32_t port = 0;
    int32_t count = receiveFrom(data->getData() + packet.getOffset(), length, address, port);
    if (count < 0) {
        packet.setLength(KvDatagramPacket::kFailedLength);
        return;
    }
    packet.setAddress(address);
    packet.setPort(port);
    packet.setLength(static_cast<uint32_t>(count));
}

bool KvDatagramSocket::block() {
    KvHandle<KvObject> argument;
    bool result = true;
    try {
        if (m_receivePacket.isNull())
            m_receivePacket = new KvDatagramPacket(KvByteArray::sCreate(m_bufferSize), 0,
                                                   m_bufferSize, KvInetAddress(), 0);
        m_receivePacket->setLength(m_bufferSize);
        receive(*m_receivePacket);
        // Closing wakes the receive; what it gives then is no datagram.
        if (getHandle() == kKvInvalidSocket)
            return false;
        uint32_t length = m_receivePacket->getLength();
        if (length == KvDatagramPacket::kFailedLength)
            return true;
        KvHandle<KvByteArray> bytes =
            KvByteArray::sCreate(length, length ? m_receivePacket->getData()->getData() : nullptr);
        argument = new KvDatagramPacket(bytes, 0, length, m_receivePacket->getAddress(),
                                        m_receivePacket->getPort());
    } catch (KvHandle<KvException>& e) {
        close();
        argument = e;
        result = false;
    }
    if (!KvThread::isProcessEnding())
        KvUDPIDispatcher::sInstanceHandle()->put(
            new KvUDPEvent(KvHandle<KvObserver>(this), argument));
    return result;
}

void KvDatagramSocket::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}
