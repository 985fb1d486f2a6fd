// An IPv4 address with name resolution, and the local host the stack announces itself as.
#pragma once

#include "KvStringBuffer.h"

#include <cstdint>

class KvInetAddress {
public:
    // The any-address.
    KvInetAddress() : m_address(0) {}
    // From a host text: dotted decimal or a name to resolve. "localhost" and "127.0.0.1" stand for
    // this machine and give getLocalHost(). Throws KvSocketError when the name does not resolve.
    explicit KvInetAddress(const char* host);

    // An address as the system gives it, in network byte order.
    static KvInetAddress sFromAddress(uint32_t address) {
        KvInetAddress result;
        result.m_address = address;
        return result;
    }

    // The 32-bit value in network byte order.
    uint32_t getAddress() const { return m_address; }
    // Dotted decimal; the text belongs to the calling thread until its next call.
    const char* getHostAddress() const;
    // The name found by reverse look-up.
    KvString getHostName() const;

    // The address of the configured local-host text, or else of the machine's host name.
    static KvInetAddress getLocalHost();
    // Sets the local-host text (at most kMaxLocalHostLength characters; an empty or null text
    // restores the machine's host name). A longer text is refused and logged: returns false and
    // keeps the previous text.
    static bool setLocalHost(const char* text);
    static constexpr uint32_t kMaxLocalHostLength = 19;

    bool operator==(const KvInetAddress& other) const { return m_address == other.m_address; }
    bool operator!=(const KvInetAddress& other) const { return m_address != other.m_address; }

private:
    // Dotted decimal or a name, without the local-host rule.
    static uint32_t sResolve(const char* host);

    uint32_t m_address; // network byte order
};
