// A listening TCP socket. Its block() accepts one connection and hands the new client socket to
// its observer.
#pragma once

#include "KvClientSocket.h"
#include "KvSocketImpl.h"

#include <cstdint>

class KvServerSocket : public KvSocketImpl {
public:
    static constexpr int32_t kBacklog = 5;
    // The pause after a failed accept.
    static constexpr uint32_t kAcceptRetryMs = 100;

    // Binds a stream socket to (address, port) and listens on it.
    KvServerSocket(uint32_t port, const KvInetAddress& address);
    ~KvServerSocket() override;

    // A new client socket for the next connection; it has no socket (handle -1) when the accept
    // gave none.
    virtual KvHandle<KvClientSocket> accept();

    // Accepts one connection and notifies the observer with the client socket (or with the
    // exception that stopped the accept, returning false). An accept that gives no connection
    // delivers nothing: it is logged once until an accept works again, and block() pauses
    // kAcceptRetryMs before it returns true. Once the listening socket is closed it delivers
    // nothing and returns false.
    bool block() override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;

private:
    void acceptFailed(uint32_t error);

    bool m_acceptFailing = false; // only the accepting thread reads and writes it
};
