// Reads a TCP connection as an input stream. One thread reads it at a time.
#pragma once

#include "KvInputStream.h"

#include <atomic>
#include <cstdint>

class KvClientSocket;

class KvSocketInputStream : public KvInputStream {
public:
    enum State : int32_t { READING = 0, ENDED = 1, BYTE_HELD = 2 };

    // The socket is not counted: it owns this stream (through its buffered input stream).
    explicit KvSocketInputStream(KvClientSocket* socket);
    ~KvSocketInputStream() override;

    // Does nothing: the stream is read, not notified.
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    // Waits until the connection has data or ends, then notifies the observer (null argument);
    // false once the connection has ended.
    bool block() override;
    using KvInputStream::read;
    // Blocks only while nothing at all can be returned; -1 once the connection has ended.
    int32_t read(void* buffer, int32_t length, int32_t offset) override;
    int read() override;
    int32_t available() override;

    KvClientSocket* getSocket() const { return m_socket.load(std::memory_order_acquire); }
    int32_t getState() const { return m_state; }
    // The socket is going away: the stream reads as ended from now on.
    void forgetSocket() { m_socket.store(nullptr, std::memory_order_release); }

private:
    // Receives up to length bytes into buffer + offset; on the end of the connection or a failure
    // enters ENDED and closes the socket. Returns the count, or -1.
    int32_t receive(void* buffer, int32_t length, int32_t offset);
    void end();

    std::atomic<KvClientSocket*> m_socket;
    int32_t m_state;
    uint8_t m_heldByte;
};
