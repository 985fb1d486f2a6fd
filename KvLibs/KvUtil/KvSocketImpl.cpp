#include "KvSocketImpl.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvLibraryLock.h"
#include "KvMutex.h"
#include "KvPlatformSync.h"
#include "KvTokenTable.h"

#include <chrono>
#include <utility>

namespace {

// The open sockets by handle, each held by one reference. Created on first registration; null
// while closeAllSockets walks it. Only touched under the library lock.
KvTokenTable* gRegistry = nullptr;

uint32_t gStartupCount = 0; // guarded by the library lock

// Starts the socket library during static initialisation and stops it at process exit.
class KvWinsockInit {
public:
    KvWinsockInit() {
        KvLibraryLockGuard guard;
        if (gStartupCount++ != 0)
            return;
        uint16_t version = 0;
        if (kvSocketStartup(2, 2, &version) != 0)
            KvSocketError::sThrow("WSAStartup");
        if ((version & 0xFF) != 2 || (version >> 8) != 2) {
            kvSocketCleanup();
            KvSocketError::sThrow("WSA Version", 10092);
        }
    }
    ~KvWinsockInit() {
        KvTokenTable* registry = nullptr;
        {
            KvLibraryLockGuard guard;
            if (--gStartupCount != 0)
                return;
            registry = std::exchange(gRegistry, nullptr);
        }
        if (registry)
            registry->removeReference(true);
        kvSocketCleanup();
    }
    KvWinsockInit(const KvWinsockInit&) = delete;
    KvWinsockInit& operator=(const KvWinsockInit&) = delete;
};

KvWinsockInit gWinsockInit;

constexpr uint32_t kLastPort = 0xFFFF;
// Winsock's "Invalid argument": a port past 16 bits would otherwise be cut to another port.
constexpr uint32_t kInvalidArgument = 10022;

uint16_t toPort(uint32_t port) {
    return static_cast<uint16_t>(port);
}

// At trace level 5: a time stamp, a banner ("UDP Received <n> bytes from <host>:<port>" or "UDP
// Sending <n> bytes to ...") and the datagram's bytes.
void traceDatagram(const char* what, const char* direction, const void* buffer, uint32_t length,
                   const KvInetAddress& address, uint32_t port) {
    KvErrorLine line(5);
    if (!line.isOn())
        return;
    char stamp[32];
    kvFormatLocalTimestamp(stamp, sizeof stamp);
    KvOutputStream& log = line.stream();
    log << "\n"
        << stamp << "\n"
        << "\n================UDP " << what << " " << length << " bytes " << direction << " "
        << address.getHostAddress() << ":" << port << "================\n\n";
    log.write(buffer, length, 0);
    log << "================================================\n" << endl;
}

} // namespace

KvSocketImpl::HandleUse::HandleUse(const KvSocketImpl& socket)
    : m_socket(socket), m_handle(kKvInvalidSocket) {
    std::lock_guard<std::mutex> guard(socket.m_stateMutex);
    if (socket.m_handle != kKvInvalidSocket) {
        m_handle = socket.m_handle;
        ++socket.m_users;
    }
}

KvSocketImpl::HandleUse::~HandleUse() {
    if (m_handle == kKvInvalidSocket)
        return;
    std::vector<KvSocketHandle> retired;
    {
        std::lock_guard<std::mutex> guard(m_socket.m_stateMutex);
        if (--m_socket.m_users == 0)
            retired.swap(m_socket.m_retired);
    }
    for (KvSocketHandle handle : retired)
        kvSocketClose(handle);
}

KvSocketImpl::KvSocketImpl()
    : m_mutex(new KvMutex), m_handle(kKvInvalidSocket), m_localPort(0), m_peerPort(0), m_type(0),
      m_sendTimeoutMs(0), m_users(0), m_registered(false), m_registeredHandle(kKvInvalidSocket) {}

KvSocketImpl::~KvSocketImpl() {
    // A socket still registered is held by the registry and cannot be here: just release it.
    KvSocketHandle handle = kKvInvalidSocket;
    std::vector<KvSocketHandle> retired;
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        handle = std::exchange(m_handle, kKvInvalidSocket);
        retired.swap(m_retired);
    }
    if (handle != kKvInvalidSocket)
        kvSocketClose(handle);
    for (KvSocketHandle old : retired)
        kvSocketClose(old);
    KvMutex::destroy(m_mutex);
}

KvSocketHandle KvSocketImpl::getHandle() const {
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_handle;
}

bool KvSocketImpl::isStream() const {
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_type > 0;
}

void KvSocketImpl::create(uint32_t port, const KvInetAddress& address, int32_t type, bool shared) {
    if (getHandle() != kKvInvalidSocket)
        KvException::sThrow("socket alrady created");
    if (port > kLastPort)
        KvSocketError::sThrow("bind", kInvalidArgument);
    KvSocketHandle handle = kvSocketOpen(type > 0);
    if (handle == kKvInvalidSocket)
        KvSocketError::sThrow("socket(AF_INET, aType, 0)");
    kvSocketSetBufferSizes(handle, kSendBufferSize, kReceiveBufferSize);
    const char* failure = nullptr;
    // A port of its own for port 0: sharing is for a port that the sharers name.
    if ((type > 0 || (shared && port != 0)) && kvSocketSetReuseAddress(handle, true) != 0)
        failure = "KvSocketImpl::setsockopt(...)";
    else if (kvSocketBind(handle, address.getAddress(), toPort(port)) != 0)
        failure = "bind";
    if (failure) {
        uint32_t code = kvGetLastSocketError();
        kvSocketClose(handle);
        KvSocketError::sThrow(failure, code);
    }
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_handle = handle;
        m_localPort = port;
        m_localAddress = address;
        m_type = type;
    }
    registerSocket(handle);
}

void KvSocketImpl::connect(const KvInetAddress& address, uint32_t port, bool stream) {
    if (port > kLastPort)
        KvSocketError::sThrow("connect", kInvalidArgument);
    KvSocketHandle handle = getHandle();
    bool opened = false;
    if (handle == kKvInvalidSocket) {
        handle = kvSocketOpen(stream);
        if (handle == kKvInvalidSocket)
            KvSocketError::sThrow("socket(AF_INET, SOCK_STREAM, 0)");
        opened = true;
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_type = stream ? 1 : 0;
    }
    // A descriptor opened here is not ours until everything worked: on failure it is closed.
    auto fail = [&](const char* text) {
        uint32_t code = kvGetLastSocketError();
        if (opened)
            kvSocketClose(handle);
        KvSocketError::sThrow(text, code);
    };
    kvSocketSetBufferSizes(handle, kSendBufferSize, kReceiveBufferSize);
    if (kvSocketConnect(handle, address.getAddress(), toPort(port)) != 0)
        fail("connect");
    // Only a stream has Nagle's algorithm to turn off.
    if (stream && kvSocketSetNoDelay(handle, true) != 0)
        fail("KvSocketImpl::setsockopt(...)");
    uint32_t localAddress = 0;
    uint16_t localPort = 0;
    if (kvSocketGetName(handle, &localAddress, &localPort) != 0)
        fail("getsockname()");
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_handle = handle;
        m_peerPort = toPort(port);
        m_peerAddress = address;
        m_localPort = localPort;
        m_localAddress = KvInetAddress::sFromAddress(localAddress);
        if (!opened && stream)
            m_type = 1;
        if (stream)
            m_sendTimeoutMs = kSendTimeLimitMs;
    }
    if (opened)
        registerSocket(handle);
}

void KvSocketImpl::listen(int32_t backlog) {
    HandleUse use(*this);
    if (!use) {
        KvSocketError::sThrow("listen", 10038);
    }
    if (kvSocketListen(use.handle(), backlog) != 0)
        KvSocketError::sThrow("listen", kvGetLastSocketError());
}

void KvSocketImpl::accept(KvSocketImpl& listening) {
    uint32_t peerAddress = 0;
    uint16_t peerPort = 0;
    KvSocketHandle handle = kKvInvalidSocket;
    {
        HandleUse use(listening);
        if (!use)
            return;
        handle = kvSocketAccept(use.handle(), &peerAddress, &peerPort);
    }
    if (handle == kKvInvalidSocket)
        return;
    kvSocketSetBufferSizes(handle, kSendBufferSize, kReceiveBufferSize);
    kvSocketSetNoDelay(handle, true);
    KvInetAddress localAddress = listening.getLocalAddress();
    uint32_t localPort = listening.getLocalPort();
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        m_handle = handle;
        m_type = 1;
        m_localAddress = localAddress;
        m_localPort = localPort;
        m_peerAddress = KvInetAddress::sFromAddress(peerAddress);
        m_peerPort = peerPort;
        m_sendTimeoutMs = kSendTimeLimitMs;
    }
    registerSocket(handle);
}

void KvSocketImpl::setNoDelay(bool on) {
    HandleUse use(*this);
    if (!use || kvSocketSetNoDelay(use.handle(), on) != 0)
        KvSocketError::sThrow("KvSocketImpl::setsockopt(...)",
                              use ? kvGetLastSocketError() : 10038);
}

void KvSocketImpl::setSendTimeout(uint32_t milliseconds) {
    std::lock_guard<std::mutex> guard(m_stateMutex);
    m_sendTimeoutMs = milliseconds;
}

KvInetAddress KvSocketImpl::getPeerAddress() {
    getPeerPort();
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_peerAddress;
}

uint32_t KvSocketImpl::getPeerPort() {
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        if (m_peerPort != 0)
            return m_peerPort;
    }
    uint32_t address = 0;
    uint16_t port = 0;
    bool found = false;
    {
        HandleUse use(*this);
        found = use && kvSocketGetPeerName(use.handle(), &address, &port) == 0;
    }
    if (!found) {
        // No peer means no connection: the socket counts as closed, and is closed for real.
        close();
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_stateMutex);
    if (m_peerPort == 0) {
        m_peerPort = port;
        m_peerAddress = KvInetAddress::sFromAddress(address);
    }
    return m_peerPort;
}

KvInetAddress KvSocketImpl::getLocalAddress() const {
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_localAddress;
}

uint32_t KvSocketImpl::getLocalPort() const {
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_localPort;
}

void KvSocketImpl::close() {
    KvHandle<KvObject> keepAlive; // the registry's reference, released on the way out
    KvSocketHandle handle;
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        handle = std::exchange(m_handle, kKvInvalidSocket);
    }
    if (handle == kKvInvalidSocket)
        return;
    // Wakes the threads blocked on it; they see the end of the stream or an error.
    kvSocketShutdown(handle);
    // Unregistered while the descriptor is still open, so its number cannot belong to another
    // socket yet.
    unregisterSocket(keepAlive);
    bool closeNow;
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        closeNow = m_users == 0;
        if (!closeNow)
            m_retired.push_back(handle);
    }
    if (closeNow)
        kvSocketClose(handle);
}

void KvSocketImpl::closeUnderConstruction() {
    addReference();
    close();
    removeReference(false);
}

void KvSocketImpl::registerSocket(KvSocketHandle handle) {
    KvLibraryLockGuard guard;
    if (!gRegistry) {
        gRegistry = new KvTokenTable;
        gRegistry->addReference();
    }
    gRegistry->put(static_cast<KvTokenTable::Token>(handle), KvHandle<KvObject>(this));
    m_registered = true;
    m_registeredHandle = handle;
}

void KvSocketImpl::unregisterSocket(KvHandle<KvObject>& keepAlive) {
    KvLibraryLockGuard guard;
    if (!m_registered)
        return;
    m_registered = false;
    if (!gRegistry)
        return; // closeAllSockets is walking the registry and empties it afterwards
    // The entry is this socket's only if no other socket took over the same handle value.
    auto key = static_cast<KvTokenTable::Token>(m_registeredHandle);
    KvHandle<KvObject> entry = gRegistry->get(key);
    if (entry.get() == this) {
        keepAlive = entry;
        gRegistry->remove(key);
    }
}

void KvSocketImpl::closeAllSockets() {
    KvErrorLine("KvSocket", 0).stream() << "Closing all sockets\n" << endl;
    KvLibraryLockGuard guard;
    if (!gRegistry)
        return;
    KvTokenTable* registry = std::exchange(gRegistry, nullptr);
    for (KvTokenTable::Iterator it(*registry); it.hasNext();) {
        auto* entry = static_cast<KvTokenTable::Entry*>(it.next());
        if (auto* socket = dynamic_cast<KvSocketImpl*>(entry->value))
            socket->close();
    }
    registry->removeAll();
    gRegistry = registry;
}

int32_t KvSocketImpl::receive(void* buffer, uint32_t length) {
    int32_t count;
    {
        HandleUse use(*this);
        if (!use)
            return -1;
        count = kvSocketReceive(use.handle(), buffer, length);
    }
    if (count < 0) {
        close();
        return -1;
    }
    dumpStream("Received", buffer, count);
    return count;
}

int32_t KvSocketImpl::send(const void* buffer, uint32_t length) {
    uint32_t sent = 0;
    bool failed = false;
    bool timedOut = false;
    uint32_t limit = 0;
    {
        HandleUse use(*this);
        if (!use)
            return -1;
        bool stream;
        {
            std::lock_guard<std::mutex> guard(m_stateMutex);
            stream = m_type > 0;
            limit = m_sendTimeoutMs;
        }
        if (stream) {
            std::lock_guard<std::mutex> guard(m_sendMutex);
            sent =
                sendStream(use.handle(), static_cast<const char*>(buffer), length, limit, timedOut);
            failed = sent < length;
        } else {
            int32_t count = kvSocketSend(use.handle(), buffer, length);
            failed = count < 0;
            sent = failed ? 0 : static_cast<uint32_t>(count);
        }
    }
    if (failed) {
        if (timedOut)
            logSendTimeout(length, limit);
        close();
        return -1;
    }
    dumpStream("Sent", buffer, static_cast<int32_t>(sent));
    return static_cast<int32_t>(sent);
}

int32_t KvSocketImpl::receiveFrom(void* buffer, uint32_t length, KvInetAddress& address,
                                  uint32_t& port) {
    uint32_t fromAddress = 0;
    uint16_t fromPort = 0;
    int32_t count;
    {
        HandleUse use(*this);
        if (!use)
            return -1;
        count = kvSocketReceiveFrom(use.handle(), buffer, length, &fromAddress, &fromPort);
    }
    if (count < 0)
        return -1;
    if (static_cast<uint32_t>(count) > length) {
        KvErrorLine("KvSocket", 0).stream()
            << "KvSocketImpl::receiveFrom(): dropped a datagram of " << count << " bytes from "
            << kvInetNtoa(fromAddress) << ":" << static_cast<uint32_t>(fromPort)
            << ", larger than the receive buffer of " << length << " bytes" << endl;
        return -1;
    }
    address = KvInetAddress::sFromAddress(fromAddress);
    port = fromPort;
    traceDatagram("Received", "from", buffer, static_cast<uint32_t>(count), address, port);
    return count;
}

int32_t KvSocketImpl::sendTo(const void* buffer, uint32_t length, const KvInetAddress& address,
                             uint32_t port) {
    if (port > kLastPort) {
        kvSetLastError(kInvalidArgument);
        return -1;
    }
    traceDatagram("Sending", "to", buffer, length, address, port);
    HandleUse use(*this);
    if (!use)
        return -1;
    return kvSocketSendTo(use.handle(), buffer, length, address.getAddress(), toPort(port));
}

int32_t KvSocketImpl::available() {
    char peek[4];
    int32_t count;
    {
        HandleUse use(*this);
        if (!use)
            return 0;
        count = kvSocketPeek(use.handle(), peek, sizeof peek);
    }
    if (count < 0) {
        uint32_t code = kvGetLastSocketError();
        KvErrorLine(5).stream() << "\nKvSocketImpl::available(): " << code << endl;
        return 0;
    }
    return count;
}

uint32_t KvSocketImpl::sendStream(KvSocketHandle handle, const char* buffer, uint32_t length,
                                  uint32_t limit, bool& timedOut) {
    using Clock = std::chrono::steady_clock;
    // One deadline for the whole buffer: bytes that trickle out buy no more time.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
    uint32_t sent = 0;
    while (sent < length) {
        const int32_t count = limit ? kvSocketSendNow(handle, buffer + sent, length - sent)
                                    : kvSocketSend(handle, buffer + sent, length - sent);
        if (count > 0) {
            sent += static_cast<uint32_t>(count);
            continue;
        }
        if (count == 0 || !limit || kvGetLastSocketError() != 10035)
            break;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        if (kvSocketWaitWritable(handle, static_cast<uint32_t>(left)) < 0)
            break;
    }
    return sent;
}

void KvSocketImpl::logSendTimeout(uint32_t length, uint32_t limit) {
    KvInetAddress peer = getPeerAddress();
    uint32_t port = getPeerPort();
    KvErrorLine("KvSocket", 0).stream()
        << "KvSocketImpl::send(): the peer " << peer.getHostAddress() << ":" << port
        << " did not take a message of " << length << " bytes within " << limit
        << " ms; closing the connection" << endl;
}

void KvSocketImpl::dumpStream(const char* direction, const void* buffer, int32_t count) {
    if (count <= 0 || getHandle() == kKvInvalidSocket)
        return;
    KvErrorLine line(5);
    if (!line.isOn())
        return;
    KvInetAddress peer = getPeerAddress();
    uint32_t peerPort = getPeerPort();
    KvOutputStream& log = line.stream();
    log << "\n================"
        << "TCP"
        << " " << direction << " " << count << " bytes Host: " << peer.getHostAddress() << ":"
        << peerPort << "================\n\n";
    log.write(buffer, static_cast<uint32_t>(count), 0);
    log << "================================================\n" << endl;
}
