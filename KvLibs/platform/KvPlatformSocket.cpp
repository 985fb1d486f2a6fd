#include "KvPlatformSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in makeAddress(uint32_t address, uint16_t port) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof result);
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(port);
    return result;
}

void splitAddress(const sockaddr_in& from, uint32_t* address, uint16_t* port) {
    if (address)
        *address = from.sin_addr.s_addr;
    if (port)
        *port = ntohs(from.sin_port);
}

int32_t toResult(ssize_t value) {
    return value < 0 ? -1 : static_cast<int32_t>(value);
}

template <class Call> ssize_t retryInterrupted(Call call) {
    ssize_t result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

uint32_t resolverErrorCode(int error) {
    switch (error) {
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
    case EAI_ADDRFAMILY:
        return 11004;
    default:
        return 11001;
    }
}

#ifdef SO_NOSIGPIPE
constexpr int kSendFlags = 0;
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

void suppressSigpipe([[maybe_unused]] KvSocketHandle handle) {
#ifdef SO_NOSIGPIPE
    int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

} // namespace

int32_t kvSocketStartup(uint8_t major, uint8_t minor, uint16_t* grantedVersion) {
    if (grantedVersion)
        *grantedVersion = static_cast<uint16_t>(major | (minor << 8));
    return 0;
}

void kvSocketCleanup() {}

KvSocketHandle kvSocketOpen(bool stream) {
    KvSocketHandle handle =
        ::socket(AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (handle >= 0)
        suppressSigpipe(handle);
    return handle < 0 ? kKvInvalidSocket : handle;
}

int32_t kvSocketClose(KvSocketHandle handle) {
    // A close interrupted by a signal has still released the descriptor: never retry it.
    return ::close(handle) < 0 ? -1 : 0;
}

int32_t kvSocketShutdown(KvSocketHandle handle) {
    return ::shutdown(handle, SHUT_RDWR) < 0 ? -1 : 0;
}

int32_t kvSocketBind(KvSocketHandle handle, uint32_t address, uint16_t port) {
    sockaddr_in local = makeAddress(address, port);
    return ::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0 ? -1 : 0;
}

int32_t kvSocketListen(KvSocketHandle handle, int32_t backlog) {
    return ::listen(handle, backlog) < 0 ? -1 : 0;
}

KvSocketHandle kvSocketAccept(KvSocketHandle handle, uint32_t* address, uint16_t* port) {
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    socklen_t length = sizeof peer;
    ssize_t result = retryInterrupted([&] {
        return ::accept4(handle, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    });
    if (result < 0)
        return kKvInvalidSocket;
    suppressSigpipe(static_cast<KvSocketHandle>(result));
    splitAddress(peer, address, port);
    return static_cast<KvSocketHandle>(result);
}

int32_t kvSocketConnect(KvSocketHandle handle, uint32_t address, uint16_t port) {
    sockaddr_in peer = makeAddress(address, port);
    // An interrupted connect goes on in the background; retrying would report EALREADY.
    return ::connect(handle, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) < 0 ? -1 : 0;
}

int32_t kvSocketSend(KvSocketHandle handle, const void* buffer, uint32_t length) {
    return toResult(retryInterrupted([&] { return ::send(handle, buffer, length, kSendFlags); }));
}

int32_t kvSocketSendNow(KvSocketHandle handle, const void* buffer, uint32_t length) {
    return toResult(retryInterrupted(
        [&] { return ::send(handle, buffer, length, kSendFlags | MSG_DONTWAIT); }));
}

int32_t kvSocketWaitWritable(KvSocketHandle handle, uint32_t milliseconds) {
    pollfd entry{handle, POLLOUT, 0};
    const int result =
        ::poll(&entry, 1, static_cast<int>(std::min<uint32_t>(milliseconds, INT_MAX)));
    if (result < 0)
        return errno == EINTR ? 0 : -1;
    return result > 0 ? 1 : 0;
}

int32_t kvSocketReceive(KvSocketHandle handle, void* buffer, uint32_t length) {
    return toResult(retryInterrupted([&] { return ::recv(handle, buffer, length, 0); }));
}

int32_t kvSocketSendTo(KvSocketHandle handle, const void* buffer, uint32_t length, uint32_t address,
                       uint16_t port) {
    sockaddr_in peer = makeAddress(address, port);
    return toResult(retryInterrupted([&] {
        return ::sendto(handle, buffer, length, kSendFlags,
                        reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    }));
}

int32_t kvSocketReceiveFrom(KvSocketHandle handle, void* buffer, uint32_t length, uint32_t* address,
                            uint16_t* port) {
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    socklen_t peerLength = sizeof peer;
    // MSG_TRUNC makes the result the datagram's real length, so a cut datagram can be told apart.
    ssize_t result = retryInterrupted([&] {
        return ::recvfrom(handle, buffer, length, MSG_TRUNC, reinterpret_cast<sockaddr*>(&peer),
                          &peerLength);
    });
    if (result < 0)
        return -1;
    splitAddress(peer, address, port);
    return result > INT32_MAX ? INT32_MAX : static_cast<int32_t>(result);
}

int32_t kvSocketPeek(KvSocketHandle handle, void* buffer, uint32_t length) {
    ssize_t result =
        retryInterrupted([&] { return ::recv(handle, buffer, length, MSG_PEEK | MSG_DONTWAIT); });
    if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    return toResult(result);
}

int32_t kvSocketSetBufferSizes(KvSocketHandle handle, int32_t sendSize, int32_t receiveSize) {
    int a = ::setsockopt(handle, SOL_SOCKET, SO_SNDBUF, &sendSize, sizeof sendSize);
    int b = ::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &receiveSize, sizeof receiveSize);
    return a < 0 || b < 0 ? -1 : 0;
}

int32_t kvSocketSetReuseAddress(KvSocketHandle handle, bool on) {
    int value = on ? 1 : 0;
    return ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) < 0 ? -1 : 0;
}

int32_t kvSocketSetNoDelay(KvSocketHandle handle, bool on) {
    int value = on ? 1 : 0;
    return ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) < 0 ? -1 : 0;
}

int32_t kvSocketGetName(KvSocketHandle handle, uint32_t* address, uint16_t* port) {
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    socklen_t length = sizeof local;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&local), &length) < 0)
        return -1;
    splitAddress(local, address, port);
    return 0;
}

int32_t kvSocketGetPeerName(KvSocketHandle handle, uint32_t* address, uint16_t* port) {
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    socklen_t length = sizeof peer;
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) < 0)
        return -1;
    splitAddress(peer, address, port);
    return 0;
}

int32_t kvSocketJoinGroup(KvSocketHandle handle, uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request;
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = interfaceAddress;
    return ::setsockopt(handle, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) < 0 ? -1
                                                                                             : 0;
}

int32_t kvSocketLeaveGroup(KvSocketHandle handle, uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request;
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = interfaceAddress;
    return ::setsockopt(handle, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request) < 0 ? -1
                                                                                              : 0;
}

int32_t kvSocketSetMulticastTtl(KvSocketHandle handle, uint8_t ttl) {
    return ::setsockopt(handle, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) < 0 ? -1 : 0;
}

uint8_t kvSocketGetMulticastTtl(KvSocketHandle handle) {
    uint8_t ttl = 0;
    socklen_t length = sizeof ttl;
    if (::getsockopt(handle, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, &length) < 0)
        return 0;
    return ttl;
}

uint32_t kvInetAddr(const char* text) {
    return text ? ::inet_addr(text) : kKvAddressNone;
}

const char* kvInetNtoa(uint32_t address) {
    thread_local char text[INET_ADDRSTRLEN];
    in_addr value;
    value.s_addr = address;
    if (!::inet_ntop(AF_INET, &value, text, sizeof text))
        return nullptr;
    return text;
}

uint32_t kvResolveHostName(const char* name, uint32_t* address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    int error = ::getaddrinfo(name, nullptr, &hints, &found);
    if (error != 0)
        return resolverErrorCode(error);
    uint32_t code = 11004;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            *address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
            code = 0;
            break;
        }
    }
    ::freeaddrinfo(found);
    return code;
}

uint32_t kvResolveHostAddress(uint32_t address, std::string* name) {
    sockaddr_in peer = makeAddress(address, 0);
    char host[NI_MAXHOST];
    int error = ::getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof peer, host,
                              sizeof host, nullptr, 0, NI_NAMEREQD);
    if (error != 0)
        return resolverErrorCode(error);
    name->assign(host);
    return 0;
}

int32_t kvGetMachineHostName(char* buffer, size_t size) {
    if (!buffer || size == 0 || ::gethostname(buffer, size) < 0)
        return -1;
    if (std::memchr(buffer, '\0', size) == nullptr) {
        buffer[size - 1] = '\0';
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

void kvFormatLocalTimestamp(char* buffer, size_t size) {
    if (!buffer || size == 0)
        return;
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                            now.time_since_epoch() - std::chrono::seconds(seconds))
                            .count();
    if (milliseconds < 0)
        milliseconds = 0;
    std::tm fields;
    std::memset(&fields, 0, sizeof fields);
    localtime_r(&seconds, &fields);
    std::snprintf(buffer, size, "%02d/%02d/%04d %02d:%02d:%02d.%03d", fields.tm_mon + 1,
                  fields.tm_mday, fields.tm_year + 1900, fields.tm_hour, fields.tm_min,
                  fields.tm_sec, static_cast<int>(milliseconds % 1000));
}
