#include "KvSocketOutputStream.h"

#include "KvClientSocket.h"

KvSocketOutputStream::KvSocketOutputStream(KvClientSocket* socket) : m_socket(socket) {}

KvSocketOutputStream::~KvSocketOutputStream() = default;

void KvSocketOutputStream::write(const void* buffer, uint32_t length, uint32_t offset) {
    KvClientSocket* socket = getSocket();
    if (!socket || !buffer)
        return;
    while (length > 0) {
        int32_t sent = socket->send(buffer, length, offset);
        if (sent <= 0)
            return;
        length -= static_cast<uint32_t>(sent);
        offset += static_cast<uint32_t>(sent);
    }
}

void KvSocketOutputStream::write(uint8_t byte) {
    write(&byte, 1, 0);
}
