// One TCP connection, accepted or made. Its messages are read through its buffered input stream,
// which frames SIP over TCP.
#pragma once

#include "KvBufferedInputStream.h"
#include "KvByteArray.h"
#include "KvSocketImpl.h"
#include "KvTime.h"

#include <atomic>
#include <cstdint>

class KvOutputStream;
class KvSocketInputStream;
class KvSocketOutputStream;

class KvClientSocket : public KvSocketImpl {
public:
    // Accepts one connection of the listening socket; without one the socket stays closed.
    explicit KvClientSocket(KvSocketImpl& listening);
    // Connects to (address, port), from the local address when it is not the any-address.
    KvClientSocket(const KvInetAddress& address, uint32_t port,
                   const KvInetAddress& localAddress = KvInetAddress());
    ~KvClientSocket() override;

    using KvSocketImpl::receive;
    using KvSocketImpl::send;
    int32_t receive(void* buffer, uint32_t length, uint32_t offset);
    // A length of 0, or one past the array's end, means up to the end.
    int32_t receive(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length);
    int32_t send(const void* buffer, uint32_t length, uint32_t offset);
    int32_t send(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length);

    // Made on first use: a buffered (framing) stream over a socket stream, and a 512-byte
    // buffered stream over a socket stream.
    KvHandle<KvBufferedInputStream> getInputStream();
    KvHandle<KvOutputStream> getOutputStream();

    // Reads once through the input stream (which delivers every whole message to its observer),
    // then notifies this socket's observer (null); false once the connection has ended, and the
    // observer is then detached.
    bool block() override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;

    // When data last went in or out (or the connection was made).
    KvTime getLastActivity() const {
        return KvTime(m_lastActivity.load(std::memory_order_relaxed));
    }

private:
    void touch() { m_lastActivity.store(KvTime::now().get(), std::memory_order_relaxed); }

    std::atomic<uint64_t> m_lastActivity;
    KvHandle<KvBufferedInputStream> m_inputStream;
    KvHandle<KvOutputStream> m_outputStream;
    // The socket streams under them, told when this socket goes away.
    KvHandle<KvSocketInputStream> m_socketInput;
    KvHandle<KvSocketOutputStream> m_socketOutput;
};
