// Writes to a TCP connection as an output stream.
#pragma once

#include "KvOutputStream.h"

#include <atomic>
#include <cstdint>

class KvClientSocket;

class KvSocketOutputStream : public KvOutputStream {
public:
    // The socket is not counted: it owns this stream (through its buffered output stream).
    explicit KvSocketOutputStream(KvClientSocket* socket);
    ~KvSocketOutputStream() override;

    using KvOutputStream::write;
    // Sends all the bytes; a failed send ends the write (the socket is closed by then).
    void write(const void* buffer, uint32_t length, uint32_t offset) override;
    void write(uint8_t byte) override;

    KvClientSocket* getSocket() const { return m_socket.load(std::memory_order_acquire); }
    // The socket is going away: writes do nothing from now on.
    void forgetSocket() { m_socket.store(nullptr, std::memory_order_release); }

private:
    std::atomic<KvClientSocket*> m_socket;
};
