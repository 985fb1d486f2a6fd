#include "KvClientSocket.h"

#include "KvBufferedOutputStream.h"
#include "KvException.h"
#include "KvMutex.h"
#include "KvSocketInputStream.h"
#include "KvSocketOutputStream.h"

namespace {

// The part of an array that a transfer of (offset, length) covers; false when there is none.
bool arrayRange(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t& length) {
    if (array.isNull() || offset >= array->size())
        return false;
    uint32_t rest = array->size() - offset;
    if (length == 0 || length > rest)
        length = rest;
    return true;
}

} // namespace

KvClientSocket::KvClientSocket(KvSocketImpl& listening) : m_lastActivity(0) {
    accept(listening);
    touch();
}

KvClientSocket::KvClientSocket(const KvInetAddress& address, uint32_t port,
                               const KvInetAddress& localAddress)
    : m_lastActivity(0) {
    try {
        if (localAddress != KvInetAddress())
            create(0, localAddress, 1);
        connect(address, port, true);
    } catch (...) {
        closeUnderConstruction();
        throw;
    }
    touch();
}

KvClientSocket::~KvClientSocket() {
    if (!m_socketInput.isNull())
        m_socketInput->forgetSocket();
    if (!m_socketOutput.isNull())
        m_socketOutput->forgetSocket();
}

int32_t KvClientSocket::receive(void* buffer, uint32_t length, uint32_t offset) {
    int32_t count = KvSocketImpl::receive(static_cast<char*>(buffer) + offset, length);
    touch();
    return count;
}

int32_t KvClientSocket::receive(const KvHandle<KvByteArray>& array, uint32_t offset,
                                uint32_t length) {
    if (!arrayRange(array, offset, length))
        return 0;
    return receive(array->getData(), length, offset);
}

int32_t KvClientSocket::send(const void* buffer, uint32_t length, uint32_t offset) {
    int32_t count = KvSocketImpl::send(static_cast<const char*>(buffer) + offset, length);
    touch();
    return count;
}

int32_t KvClientSocket::send(const KvHandle<KvByteArray>& array, uint32_t offset, uint32_t length) {
    if (!arrayRange(array, offset, length))
        return 0;
    return send(array->getData(), length, offset);
}

KvHandle<KvBufferedInputStream> KvClientSocket::getInputStream() {
    KvLockGuard guard(m_mutex);
    if (m_inputStream.isNull()) {
        m_socketInput = new KvSocketInputStream(this);
        m_inputStream = new KvBufferedInputStream(KvHandle<KvInputStream>(m_socketInput), 0);
    }
    return m_inputStream;
}

KvHandle<KvOutputStream> KvClientSocket::getOutputStream() {
    KvLockGuard guard(m_mutex);
    if (m_outputStream.isNull()) {
        m_socketOutput = new KvSocketOutputStream(this);
        m_outputStream = new KvBufferedOutputStream(KvHandle<KvOutputStream>(m_socketOutput), 512);
    }
    return m_outputStream;
}

bool KvClientSocket::block() {
    bool result = getInputStream()->block();
    notifyObserver(KvHandle<KvObject>());
    if (!result)
        detachObserver(getObserver().get()); // the connection has ended: see the stream's block()
    return result;
}

void KvClientSocket::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}
