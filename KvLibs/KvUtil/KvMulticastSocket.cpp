#include "KvMulticastSocket.h"

#include "KvException.h"

KvMulticastSocket::KvMulticastSocket(uint32_t port)
    : KvDatagramSocket(port, KvInetAddress(), kBufferSize, true) {}

KvMulticastSocket::~KvMulticastSocket() = default;

void KvMulticastSocket::joinGroup(const KvInetAddress& group) {
    HandleUse use(*this);
    if (!use || kvSocketJoinGroup(use.handle(), group.getAddress(), 0) != 0)
        KvException::sThrow("error in setsockopt()");
}

void KvMulticastSocket::leaveGroup(const KvInetAddress& group) {
    HandleUse use(*this);
    if (!use || kvSocketLeaveGroup(use.handle(), group.getAddress(), 0) != 0)
        KvException::sThrow("error in setsockopt()");
}

int32_t KvMulticastSocket::setTimeToLive(uint8_t ttl) {
    HandleUse use(*this);
    return use ? kvSocketSetMulticastTtl(use.handle(), ttl) : -1;
}

uint8_t KvMulticastSocket::getTimeToLive() {
    HandleUse use(*this);
    return use ? kvSocketGetMulticastTtl(use.handle()) : 0;
}

int32_t KvMulticastSocket::send(const KvDatagramPacket& packet, uint8_t ttl) {
    setTimeToLive(ttl);
    return send(packet);
}
