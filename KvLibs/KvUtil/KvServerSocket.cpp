#include "KvServerSocket.h"

#include "KvException.h"
#include "KvThread.h"

KvServerSocket::KvServerSocket(uint32_t port, const KvInetAddress& address) {
    try {
        create(port, address, 1);
        listen(kBacklog);
    } catch (...) {
        closeUnderConstruction();
        throw;
    }
}

KvServerSocket::~KvServerSocket() = default;

KvHandle<KvClientSocket> KvServerSocket::accept() {
    return KvHandle<KvClientSocket>(new KvClientSocket(*this));
}

bool KvServerSocket::block() {
    KvHandle<KvObject> argument;
    bool result = true;
    try {
        KvHandle<KvClientSocket> client = accept();
        // A closed listening socket has no more connections to give.
        if (getHandle() == kKvInvalidSocket && client->getHandle() == kKvInvalidSocket)
            return false;
        argument = client;
    } catch (KvHandle<KvException>& e) {
        argument = e;
        result = false;
    }
    if (!KvThread::isProcessEnding())
        notifyObserver(argument);
    return result;
}

void KvServerSocket::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}
