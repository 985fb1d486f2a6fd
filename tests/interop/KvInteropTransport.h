// The little transport that the interop programs share, made of the stack's own parts: a datagram
// socket with its receive thread and the incoming UDP dispatcher, a listening or a connecting TCP
// socket read through the Content-Length framing and the incoming TCP dispatcher, the message
// parser, and the outgoing UDP and TCP dispatchers for what is sent. Every address is loopback.
#pragma once

#include "KvClientSocket.h"
#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"
#include "KvInetAddress.h"
#include "KvServerSocket.h"
#include "KvSipMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Where a message came from, and so where its answer goes.
struct KvInteropPeer {
    int32_t transport = KvSipMessage::KV_TRANSPORT_UDP;
    KvInetAddress address;
    uint32_t port = 0;
    KvHandle<KvClientSocket> connection; // TCP only
};

class KvInteropTransport {
public:
    // Runs on a pool worker of an incoming dispatcher, possibly on several at once.
    using Receiver = std::function<void(const KvHandle<KvSipMessage>&, const KvInteropPeer&)>;

    explicit KvInteropTransport(Receiver receiver);
    KvInteropTransport(const KvInteropTransport&) = delete;
    KvInteropTransport& operator=(const KvInteropTransport&) = delete;

    // Binds a datagram socket to 127.0.0.1:port and reads it; every datagram sent afterwards leaves
    // from this socket.
    void openUdp(uint32_t port);
    // Listens on 127.0.0.1:port and reads every connection it accepts.
    void listenTcp(uint32_t port);
    // Connects to 127.0.0.1:port and reads the connection: the peer to send to over it.
    KvInteropPeer connectTcp(uint32_t port);

    // Serialises the message and queues it for the peer; false when it could not be queued.
    bool send(const KvHandle<KvSipMessage>& message, const KvInteropPeer& peer);

    // Parses one packet and hands the message to the receiver; text that does not parse is
    // counted and logged.
    void deliver(const KvDatagramPacket& packet, int32_t transport,
                 const KvHandle<KvClientSocket>& connection);

    // Datagrams or framed TCP messages that were not SIP messages.
    uint32_t getUnparsedCount() const { return m_unparsed.load(); }
    uint32_t getReceivedCount() const { return m_received.load(); }
    // Receive threads that ended on an exception, and sends that could not be queued.
    uint32_t getFailureCount() const { return m_failures.load(); }
    void countFailure(const char* what);

    static KvInetAddress sLoopback();
    static const char* sTransportName(int32_t transport);
    // The message as text, for logs.
    static std::string sText(const KvHandle<KvSipMessage>& message);
    // A command-line number (a port or seconds): decimal digits only, at most 65535.
    static bool sReadNumber(const char* text, uint32_t& value);

private:
    Receiver m_receiver;
    std::atomic<uint32_t> m_unparsed{0};
    std::atomic<uint32_t> m_received{0};
    std::atomic<uint32_t> m_failures{0};
};
