#include "KvInteropTransport.h"

#include "KvBaseEvent.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvException.h"
#include "KvObserver.h"
#include "KvObserverThread.h"
#include "KvPlatformSocket.h"
#include "KvTCPIDispatcher.h"
#include "KvTCPODispatcher.h"
#include "KvUDPODispatcher.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Datagrams reach it on a pool worker of the incoming UDP dispatcher, through the socket's update.
class KvInteropDatagramObserver : public KvObserver {
public:
    explicit KvInteropDatagramObserver(KvInteropTransport* transport) : m_transport(transport) {}

    void update(KvHandle<KvObject>, KvHandle<KvObject> argument) override {
        if (auto* packet = dynamic_cast<KvDatagramPacket*>(argument.get()))
            m_transport->deliver(*packet, KvSipMessage::KV_TRANSPORT_UDP,
                                 KvHandle<KvClientSocket>());
        else if (auto* error = dynamic_cast<KvException*>(argument.get()))
            m_transport->countFailure(error->getText()); // the receiving has ended
    }

private:
    KvInteropTransport* m_transport;
};

// Watches a connection's framing stream, which reports every whole message on the connection's
// read thread, and moves each one to the incoming TCP dispatcher so that it is handled off that
// thread, as datagrams are. The stream notifies without a message only when it has ended; once
// that end and every message queued before it have been handled, the connection lets go of its
// observer, which holds it in turn (and the socket), so that nothing of the connection is left.
class KvInteropConnection : public KvObservable {
public:
    void update(KvHandle<KvObject>, KvHandle<KvObject> argument) override {
        if (dynamic_cast<KvDatagramPacket*>(argument.get())) {
            m_pending.fetch_add(1, std::memory_order_relaxed);
            if (!KvTCPIDispatcher::instance()->put(
                    new KvTCPEvent(KvHandle<KvObject>(this), argument)))
                handled();
        } else if (argument.isNull() && !m_ended.exchange(true)) {
            handled();
        }
    }

    // One queued message, or the end, has been handled.
    void handled() {
        if (m_pending.fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        KvHandle<KvObserver> observer = getObserver();
        detachObserver(observer.get());
    }

private:
    std::atomic<uint32_t> m_pending{1}; // queued messages, plus one until the stream has ended
    std::atomic<bool> m_ended{false};
};

// The last hop of a connection's messages: the TCP dispatcher's worker notifies it.
class KvInteropMessageObserver : public KvObserver {
public:
    KvInteropMessageObserver(KvInteropTransport* transport, KvHandle<KvClientSocket> connection)
        : m_transport(transport), m_connection(connection) {}

    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        auto* packet = dynamic_cast<KvDatagramPacket*>(argument.get());
        if (!packet)
            return;
        m_transport->deliver(*packet, KvSipMessage::KV_TRANSPORT_TCP, m_connection);
        if (auto* connection = dynamic_cast<KvInteropConnection*>(source.get()))
            connection->handled();
    }

private:
    KvInteropTransport* m_transport;
    KvHandle<KvClientSocket> m_connection;
};

void adoptConnection(KvInteropTransport* transport, const KvHandle<KvClientSocket>& socket) {
    KvHandle<KvInteropConnection> connection(new KvInteropConnection());
    connection->attachObserver(
        KvHandle<KvObserver>(new KvInteropMessageObserver(transport, socket)));
    socket->getInputStream()->attachObserver(KvHandle<KvObserver>(connection));
    KvObserverThread::sStart(KvHandle<KvObservable>(socket));
}

// Hands every accepted connection to adoptConnection; runs on the listening socket's thread.
class KvInteropListenerObserver : public KvObserver {
public:
    explicit KvInteropListenerObserver(KvInteropTransport* transport) : m_transport(transport) {}

    void update(KvHandle<KvObject>, KvHandle<KvObject> argument) override {
        if (auto* socket = dynamic_cast<KvClientSocket*>(argument.get())) {
            if (socket->getHandle() != kKvInvalidSocket)
                adoptConnection(m_transport, KvHandle<KvClientSocket>(socket));
        } else if (auto* error = dynamic_cast<KvException*>(argument.get())) {
            m_transport->countFailure(error->getText());
        }
    }

private:
    KvInteropTransport* m_transport;
};

bool isBlank(const char* bytes, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (bytes[i] != '\r' && bytes[i] != '\n' && bytes[i] != ' ' && bytes[i] != '\t')
            return false;
    return true;
}

} // namespace

KvInteropTransport::KvInteropTransport(Receiver receiver) : m_receiver(std::move(receiver)) {}

KvInetAddress KvInteropTransport::sLoopback() {
    // Not KvInetAddress("127.0.0.1"), which stands for the machine's own address.
    return KvInetAddress::sFromAddress(kvInetAddr("127.0.0.1"));
}

const char* KvInteropTransport::sTransportName(int32_t transport) {
    return transport == KvSipMessage::KV_TRANSPORT_TCP ? "TCP" : "UDP";
}

std::string KvInteropTransport::sText(const KvHandle<KvSipMessage>& message) {
    if (message.isNull())
        return std::string();
    KvByteArrayOutputStream out;
    try {
        message->serialize(out);
    } catch (KvHandle<KvException>& e) {
        return std::string("(not writable: ") + e->getText() + ")";
    }
    KvHandle<KvByteArray> bytes = out.toByteArray();
    return std::string(bytes->getData(), bytes->size());
}

bool KvInteropTransport::sReadNumber(const char* text, uint32_t& value) {
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text, &end, 10);
    if (!text[0] || *end || parsed > 65535)
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

void KvInteropTransport::countFailure(const char* what) {
    ++m_failures;
    std::fprintf(stderr, "interop transport: %s\n", what);
}

void KvInteropTransport::openUdp(uint32_t port) {
    KvHandle<KvDatagramSocket> socket(new KvDatagramSocket(port, sLoopback(), false, 49152));
    socket->attachObserver(KvHandle<KvObserver>(new KvInteropDatagramObserver(this)));
    KvUDPODispatcher::instance()->setSocket(socket);
    KvObserverThread::sStart(KvHandle<KvObservable>(socket));
}

void KvInteropTransport::listenTcp(uint32_t port) {
    KvHandle<KvServerSocket> listener(new KvServerSocket(port, sLoopback()));
    listener->attachObserver(KvHandle<KvObserver>(new KvInteropListenerObserver(this)));
    KvObserverThread::sStart(KvHandle<KvObservable>(listener));
}

KvInteropPeer KvInteropTransport::connectTcp(uint32_t port) {
    KvHandle<KvClientSocket> socket(new KvClientSocket(sLoopback(), port));
    adoptConnection(this, socket);
    KvInteropPeer peer;
    peer.transport = KvSipMessage::KV_TRANSPORT_TCP;
    peer.address = sLoopback();
    peer.port = port;
    peer.connection = socket;
    return peer;
}

bool KvInteropTransport::send(const KvHandle<KvSipMessage>& message, const KvInteropPeer& peer) {
    KvByteArrayOutputStream out;
    try {
        message->serialize(out);
    } catch (KvHandle<KvException>& e) {
        countFailure(e->getText());
        return false;
    }
    KvHandle<KvByteArray> bytes = out.toByteArray();
    bool queued;
    if (peer.transport == KvSipMessage::KV_TRANSPORT_TCP) {
        if (peer.connection.isNull() || peer.connection->getHandle() == kKvInvalidSocket) {
            countFailure("send on a closed connection");
            return false;
        }
        queued = KvTCPODispatcher::instance()->put(
            new KvTCPEvent(KvHandle<KvObject>(peer.connection), KvHandle<KvObject>(bytes)));
    } else {
        KvHandle<KvObject> packet(
            new KvDatagramPacket(bytes, 0, bytes->size(), peer.address, peer.port));
        queued = KvUDPODispatcher::instance()->put(new KvUDPEvent(KvHandle<KvObserver>(), packet));
    }
    if (!queued)
        countFailure("send not queued");
    return queued;
}

void KvInteropTransport::deliver(const KvDatagramPacket& packet, int32_t transport,
                                 const KvHandle<KvClientSocket>& connection) {
    const KvHandle<KvByteArray>& data = packet.getData();
    uint32_t length = packet.getLength();
    if (data.isNull() || length == 0 || length == KvDatagramPacket::kFailedLength)
        return;
    if (isBlank(data->getData() + packet.getOffset(), length))
        return; // a keep-alive
    ++m_received;

    KvByteArrayInputStream stream(data, packet.getOffset(), length);
    KvHandle<KvSipMessage> message;
    try {
        message = KvSipMessage::sConstructFrom(stream);
    } catch (KvHandle<KvException>& e) {
        ++m_unparsed;
        std::fprintf(stderr, "interop transport: %s message not parsed (%s):\n%.*s\n",
                     sTransportName(transport), e->getText(), static_cast<int>(length),
                     data->getData() + packet.getOffset());
        return;
    }
    message->setPeerAddress(packet.getAddress());
    message->setPeerPort(static_cast<int32_t>(packet.getPort()));
    message->setTransport(transport);

    KvInteropPeer peer;
    peer.transport = transport;
    peer.address = packet.getAddress();
    peer.port = packet.getPort();
    peer.connection = connection;
    try {
        m_receiver(message, peer);
    } catch (KvHandle<KvException>& e) {
        countFailure(e->getText());
    }
}
