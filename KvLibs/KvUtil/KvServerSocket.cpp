#include "KvServerSocket.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvPlatformSync.h"
#include "KvThread.h"

#include <chrono>
#include <thread>

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
        if (client->getHandle() == kKvInvalidSocket) {
            const uint32_t error = kvGetLastError();
            // A closed listening socket has no more connections to give.
            if (getHandle() == kKvInvalidSocket)
                return false;
            acceptFailed(error);
            return true;
        }
        m_acceptFailing = false;
        argument = client;
    } catch (KvHandle<KvException>& e) {
        argument = e;
        result = false;
    }
    if (!KvThread::isProcessEnding())
        notifyObserver(argument);
    return result;
}

void KvServerSocket::acceptFailed(uint32_t error) {
    // Out of descriptors the accept fails at once, again and again: say so once and give the
    // system time to free some instead of spinning.
    if (!m_acceptFailing) {
        m_acceptFailing = true;
        KvErrorLine("KvSocket", 0).stream()
            << "KvServerSocket::block(): accept failed: " << kvSystemErrorText(error).c_str()
            << "; trying again every " << kAcceptRetryMs << " ms" << endl;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kAcceptRetryMs));
}

void KvServerSocket::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}
