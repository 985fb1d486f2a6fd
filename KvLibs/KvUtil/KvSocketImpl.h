// One IPv4 socket (UDP or TCP): the base of the datagram, client and server sockets. Open sockets
// are kept in a process-wide registry so that they can all be closed at once.
#pragma once

#include "KvInetAddress.h"
#include "KvObserver.h"
#include "KvPlatformSocket.h"

#include <cstdint>
#include <mutex>
#include <vector>

class KvMutex;

class KvSocketImpl : public KvObservable {
public:
    static constexpr int32_t kSendBufferSize = 245760;
    static constexpr int32_t kReceiveBufferSize = 245760;
    // A stream send that has not finished within this time fails and closes the connection: one
    // thread sends to every peer, so a peer that reads slowly or not at all may hold it up no
    // longer than this per message.
    static constexpr uint32_t kSendTimeLimitMs = 5000;

    KvSocketImpl();
    ~KvSocketImpl() override;

    // Opens a socket (stream when type > 0, else datagram) and binds it to (address, port). A
    // stream socket may bind while old connections on the port wait out their close; a datagram
    // socket binds a port that a live socket holds only with `shared` (multicast receivers of one
    // group), since the newest of the sharers gets every unicast datagram sent to it.
    void create(uint32_t port, const KvInetAddress& address, int32_t type, bool shared = false);
    // Connects to (address, port), opening a socket first when none is open.
    void connect(const KvInetAddress& address, uint32_t port, bool stream);
    void listen(int32_t backlog);
    // Accepts one connection of the listening socket into this object; when there is none (or the
    // listening socket is closed) this object stays without a socket.
    void accept(KvSocketImpl& listening);
    void setNoDelay(bool on);
    // How long one stream send may take in all (kSendTimeLimitMs after connect and accept); 0
    // means no limit.
    void setSendTimeout(uint32_t milliseconds);

    KvInetAddress getPeerAddress();
    uint32_t getPeerPort();
    KvInetAddress getLocalAddress() const;
    uint32_t getLocalPort() const;
    // -1 when no socket is open.
    KvSocketHandle getHandle() const;
    bool isStream() const;

    // Closes the socket and wakes any thread blocked on it; a second call does nothing. The
    // registry's reference is released last, so the caller must hold a reference of its own.
    void close();

    // Stream receive and send: -1 (and the socket closed) on failure; receive gives 0 when the peer
    // has closed. A send on a stream socket sends the whole buffer before another thread's send
    // on this socket can start, so messages never interleave; it fails when the whole buffer has
    // not gone within the send time-out.
    int32_t receive(void* buffer, uint32_t length);
    int32_t send(const void* buffer, uint32_t length);
    // Datagram receive and send: -1 on failure, and the socket stays open. A datagram larger than
    // the buffer is dropped (and logged) rather than handed up cut.
    int32_t receiveFrom(void* buffer, uint32_t length, KvInetAddress& address, uint32_t& port);
    int32_t sendTo(const void* buffer, uint32_t length, const KvInetAddress& address,
                   uint32_t port);
    // How many bytes are pending, 0 to 4; never waits.
    int32_t available();

    static void closeAllSockets();

protected:
    // For a constructor that fails after this socket was registered: closes and unregisters it
    // without letting the registry's release destroy the half-built object.
    void closeUnderConstruction();

    KvMutex* m_mutex; // guards the creation of a client socket's streams

    // Counts a thread into a call on the handle, so that a concurrent close defers releasing the
    // descriptor until the call has returned and its number cannot be reused under it.
    class HandleUse {
    public:
        explicit HandleUse(const KvSocketImpl& socket);
        ~HandleUse();
        HandleUse(const HandleUse&) = delete;
        HandleUse& operator=(const HandleUse&) = delete;
        KvSocketHandle handle() const { return m_handle; }
        explicit operator bool() const { return m_handle != kKvInvalidSocket; }

    private:
        const KvSocketImpl& m_socket;
        KvSocketHandle m_handle;
    };

private:
    void registerSocket(KvSocketHandle handle);
    void unregisterSocket(KvHandle<KvObject>& keepAlive);
    void dumpStream(const char* direction, const void* buffer, int32_t count);
    // The stream send under the send mutex: the count sent, which falls short on failure.
    static uint32_t sendStream(KvSocketHandle handle, const char* buffer, uint32_t length,
                               uint32_t limit, bool& timedOut);
    void logSendTimeout(uint32_t length, uint32_t limit);

    mutable std::mutex m_stateMutex; // guards the fields below
    KvSocketHandle m_handle;
    uint32_t m_localPort;
    KvInetAddress m_localAddress;
    uint32_t m_peerPort;
    KvInetAddress m_peerAddress;
    int32_t m_type;
    uint32_t m_sendTimeoutMs;
    mutable uint32_t m_users;                      // threads inside a call on the handle
    mutable std::vector<KvSocketHandle> m_retired; // closed while in use: released by the last user
    bool m_registered;                             // these two are guarded by the library lock
    KvSocketHandle m_registeredHandle;             // the registry key

    std::mutex m_sendMutex; // one whole stream send at a time
};
