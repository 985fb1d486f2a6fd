// A UDP socket bound to a port on every interface, which can join multicast groups. Several
// multicast sockets may bind one port, as receivers of one group do.
#pragma once

#include "KvDatagramSocket.h"

#include <cstdint>

class KvMulticastSocket : public KvDatagramSocket {
public:
    static constexpr uint32_t kBufferSize = 49152;

    explicit KvMulticastSocket(uint32_t port);
    ~KvMulticastSocket() override;

    // Join and leave a group on any local interface; failure throws "error in setsockopt()".
    void joinGroup(const KvInetAddress& group);
    void leaveGroup(const KvInetAddress& group);
    // The multicast time-to-live, one byte; neither call is checked.
    int32_t setTimeToLive(uint8_t ttl);
    uint8_t getTimeToLive();

    using KvDatagramSocket::send;
    int32_t send(const KvDatagramPacket& packet, uint8_t ttl);
};
