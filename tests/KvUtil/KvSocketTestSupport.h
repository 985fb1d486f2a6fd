// Helpers shared by the tests of addresses, sockets and socket streams: loopback addresses, a
// log capture, an observer that collects what sockets and streams deliver, and (from the thread
// tests' helpers) bounded waits.
#pragma once

#include "KvDatagramPacket.h"
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvInetAddress.h"
#include "KvObserver.h"
#include "KvOutputStream.h"
#include "KvPlatformSocket.h"
#include "KvSocketImpl.h"
#include "KvThreadTestSupport.h"

#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace kvsock {

using kvtest::waitUntil;

inline KvInetAddress loopback() {
    return KvInetAddress::sFromAddress(kvInetAddr("127.0.0.1"));
}

// The port the system bound a socket to (the socket itself records 0 for an ephemeral port).
inline uint32_t boundPort(KvSocketImpl& socket) {
    uint32_t address = 0;
    uint16_t port = 0;
    kvSocketGetName(socket.getHandle(), &address, &port);
    return port;
}

// Whether a datagram or data waits on the socket within the bound: a receive that follows does
// not block, so a lost datagram fails the test at once instead of hanging it.
inline bool readable(KvSocketImpl& socket,
                     std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    pollfd entry{socket.getHandle(), POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(bound.count())) == 1;
}

// The number of open descriptors of this process.
inline int openDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
    }
    return count;
}

// Routes the socket layer's log categories into a sink for the scope.
class LogCapture : public KvCapturedLog {
public:
    LogCapture() : KvCapturedLog({"KvSocket", "KvException"}) {}
};

// What an observer was handed: a packet, an exception, another object or nothing.
struct Delivery {
    KvHandle<KvObject> source;
    KvHandle<KvObject> argument;
    std::string bytes;   // a packet's bytes
    std::string message; // an exception's message
    KvInetAddress address;
    uint32_t port = 0;
    bool isPacket = false;
    bool isException = false;
};

class Collector : public KvObserver {
public:
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        Delivery delivery;
        delivery.source = source;
        delivery.argument = argument;
        if (auto* packet = dynamic_cast<KvDatagramPacket*>(argument.get())) {
            delivery.isPacket = true;
            if (!packet->getData().isNull())
                delivery.bytes.assign(packet->getData()->getData() + packet->getOffset(),
                                      packet->getLength());
            delivery.address = packet->getAddress();
            delivery.port = packet->getPort();
        } else if (auto* exception = dynamic_cast<KvException*>(argument.get())) {
            delivery.isException = true;
            delivery.message = exception->getText();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deliveries.push_back(delivery);
    }

    std::vector<Delivery> deliveries() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_deliveries;
    }
    std::vector<std::string> packets() {
        std::vector<std::string> result;
        for (const Delivery& delivery : deliveries())
            if (delivery.isPacket)
                result.push_back(delivery.bytes);
        return result;
    }
    size_t packetCount() { return packets().size(); }
    size_t nullCount() {
        size_t count = 0;
        for (const Delivery& delivery : deliveries())
            if (delivery.argument.isNull())
                ++count;
        return count;
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_deliveries.size();
    }

private:
    std::mutex m_mutex;
    std::vector<Delivery> m_deliveries;
};

} // namespace kvsock
