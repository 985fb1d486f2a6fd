#include "KvInetAddress.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvPlatformSocket.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

const char kResolveFailure[] = "KvInetAddress::KvInetAddress() - gethostbyname(%s)";
// The failure text is formatted into a buffer of this size; longer host texts are refused.
constexpr size_t kMessageSize = 1024;
constexpr size_t kMaxHostTextLength = kMessageSize - (sizeof kResolveFailure - 3);
constexpr uint32_t kNameTooLong = 10063;
constexpr uint32_t kHostNotFound = 11001;

std::mutex gLocalHostMutex;
char gLocalHost[KvInetAddress::kMaxLocalHostLength + 1] = "";

bool isLoopbackAlias(const char* text) {
    return std::strcmp(text, "localhost") == 0 || std::strcmp(text, "127.0.0.1") == 0;
}

[[noreturn]] void throwResolveFailure(const char* host, uint32_t code) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, kResolveFailure, host);
    KvSocketError::sThrow(message, code);
}

} // namespace

KvInetAddress::KvInetAddress(const char* host) : m_address(0) {
    if (host && isLoopbackAlias(host))
        m_address = getLocalHost().m_address;
    else
        m_address = sResolve(host ? host : "");
}

uint32_t KvInetAddress::sResolve(const char* host) {
    size_t length = std::strlen(host);
    if (length > kMaxHostTextLength) {
        std::string cut(host, kMaxHostTextLength);
        throwResolveFailure(cut.c_str(), kNameTooLong);
    }
    if (length == 0)
        throwResolveFailure(host, kHostNotFound); // no name to look up
    if (host[0] >= '0' && host[0] <= '9') {
        uint32_t address = kvInetAddr(host);
        if (address != kKvAddressNone)
            return address;
    }
    uint32_t address = 0;
    uint32_t code = kvResolveHostName(host, &address);
    if (code != 0)
        throwResolveFailure(host, code);
    return address;
}

const char* KvInetAddress::getHostAddress() const {
    const char* text = kvInetNtoa(m_address);
    if (!text)
        KvSocketError::sThrow("getHostAddress");
    return text;
}

KvString KvInetAddress::getHostName() const {
    std::string name;
    uint32_t code = kvResolveHostAddress(m_address, &name);
    if (code != 0)
        KvSocketError::sThrow("gethostbyaddr", code);
    return KvString(name.c_str());
}

KvInetAddress KvInetAddress::getLocalHost() {
    char host[128];
    {
        std::lock_guard<std::mutex> guard(gLocalHostMutex);
        std::memcpy(host, gLocalHost, sizeof gLocalHost);
    }
    if (host[0] == '\0' && kvGetMachineHostName(host, sizeof host) != 0)
        KvSocketError::sThrow("gethostname");
    // The loopback aliases would lead straight back here: they are resolved as they stand.
    return sFromAddress(sResolve(host));
}

bool KvInetAddress::setLocalHost(const char* text) {
    if (!text)
        text = "";
    size_t length = std::strlen(text);
    if (length > kMaxLocalHostLength) {
        KvErrorLine("KvSocket", 0).stream()
            << "KvInetAddress::setLocalHost(): local host text longer than " << kMaxLocalHostLength
            << " characters refused: " << text << endl;
        return false;
    }
    std::lock_guard<std::mutex> guard(gLocalHostMutex);
    std::memcpy(gLocalHost, text, length + 1);
    return true;
}
