#include "KvSocketInputStream.h"

#include "KvClientSocket.h"
#include "KvException.h"
#include "KvThread.h"

KvSocketInputStream::KvSocketInputStream(KvClientSocket* socket)
    : m_socket(socket), m_state(READING), m_heldByte(0) {}

KvSocketInputStream::~KvSocketInputStream() = default;

void KvSocketInputStream::update(KvHandle<KvObject>, KvHandle<KvObject>) {}

void KvSocketInputStream::end() {
    m_state = ENDED;
    if (KvClientSocket* socket = getSocket())
        socket->close();
}

int32_t KvSocketInputStream::receive(void* buffer, int32_t length, int32_t offset) {
    KvClientSocket* socket = getSocket();
    if (!socket) {
        m_state = ENDED;
        return -1;
    }
    int32_t count;
    try {
        count =
            socket->receive(buffer, static_cast<uint32_t>(length), static_cast<uint32_t>(offset));
    } catch (KvHandle<KvException>& e) {
        KvThread::sLogCaught("KvSocketInputStream::read", e->getText());
        end();
        throw;
    }
    // 0 is the peer closing the connection.
    if (count <= 0) {
        end();
        return -1;
    }
    return count;
}

int32_t KvSocketInputStream::read(void* buffer, int32_t length, int32_t offset) {
    if (m_state == ENDED)
        return -1;
    if (length <= 0)
        return 0;
    int32_t held = 0;
    if (m_state == BYTE_HELD) {
        static_cast<uint8_t*>(buffer)[offset] = m_heldByte;
        m_state = READING;
        held = 1;
    }
    // Never ask for 0 bytes (that reads as the peer closing), and never wait for more when the
    // held byte can be returned already.
    if (length == held)
        return held;
    if (held) {
        KvClientSocket* socket = getSocket();
        if (!socket || socket->available() == 0)
            return held;
    }
    int32_t count = receive(buffer, length - held, offset + held);
    if (count < 0)
        return held ? held : -1;
    return held + count;
}

int KvSocketInputStream::read() {
    if (m_state == ENDED)
        return -1;
    if (m_state == BYTE_HELD) {
        m_state = READING;
        return m_heldByte;
    }
    uint8_t byte = 0;
    if (receive(&byte, 1, 0) != 1)
        return -1;
    return byte;
}

int32_t KvSocketInputStream::available() {
    if (m_state == ENDED)
        return 0;
    KvClientSocket* socket = getSocket();
    int32_t pending = socket ? socket->available() : 0;
    return m_state == BYTE_HELD ? pending + 1 : pending;
}

bool KvSocketInputStream::block() {
    if (m_state == READING && available() == 0) {
        uint8_t byte = 0;
        if (receive(&byte, 1, 0) == 1) {
            m_heldByte = byte;
            m_state = BYTE_HELD;
        }
    }
    notifyObserver(KvHandle<KvObject>());
    return m_state != ENDED;
}
