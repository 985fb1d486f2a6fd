#include "KvBufferedInputStream.h"
#include "KvClientSocket.h"
#include "KvException.h"
#include "KvObserverThread.h"
#include "KvServerSocket.h"
#include "KvSocketInputStream.h"
#include "KvSocketOutputStream.h"
#include "KvThread.h"

#include "KvSocketTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using kvsock::boundPort;
using kvsock::Collector;
using kvsock::loopback;
using kvsock::waitUntil;

struct Connection {
    KvHandle<KvServerSocket> server;
    KvHandle<KvClientSocket> client;   // the connecting side
    KvHandle<KvClientSocket> accepted; // the side whose stream is framed
    KvHandle<Collector> collector;

    Connection() : collector(new Collector) {
        server = new KvServerSocket(0, loopback());
        client = new KvClientSocket(loopback(), boundPort(*server));
        accepted = server->accept();
        accepted->getInputStream()->attachObserver(collector);
    }
    ~Connection() {
        accepted->getInputStream()->detachObserver(collector.get());
        client->close();
        accepted->close();
        server->close();
    }
    void send(const std::string& text) {
        ASSERT_EQ(client->send(text.data(), static_cast<uint32_t>(text.size()), 0),
                  static_cast<int32_t>(text.size()));
    }
    // Reads until `packets` messages arrived or the connection ended.
    bool readUntil(size_t packets) {
        while (collector->packetCount() < packets)
            if (!accepted->block())
                return false;
        return true;
    }
};

std::string message(const std::string& body) {
    return "MESSAGE sip:bob@example.com SIP/2.0\r\nCall-ID: c1\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(KvClientSocket, TwoMessagesInOneWriteBecomeTwoPackets) {
    Connection c;
    std::string first = message("first");
    std::string second = message("the second one");
    c.send(first + second);
    ASSERT_TRUE(c.readUntil(2));
    std::vector<kvsock::Delivery> deliveries = c.collector->deliveries();
    std::vector<std::string> packets = c.collector->packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], first);
    EXPECT_EQ(packets[1], second);
    for (const kvsock::Delivery& delivery : deliveries) {
        if (!delivery.isPacket)
            continue;
        // The packet names the connection's peer, like a datagram's sender.
        EXPECT_EQ(delivery.address, loopback());
        EXPECT_EQ(delivery.port, boundPort(*c.client));
    }
}

TEST(KvClientSocket, MessageWrittenOneByteAtATimeBecomesOnePacket) {
    Connection c;
    std::string whole = message("byte by byte");
    std::thread writer([&] {
        for (char byte : whole) {
            c.client->send(&byte, 1, 0);
            std::this_thread::yield();
        }
    });
    bool complete = c.readUntil(1);
    writer.join();
    ASSERT_TRUE(complete);
    ASSERT_EQ(c.collector->packets().size(), 1u);
    EXPECT_EQ(c.collector->packets()[0], whole);
    // The rest of the stream goes on: the next message arrives too.
    c.send(message("next"));
    ASSERT_TRUE(c.readUntil(2));
    EXPECT_EQ(c.collector->packets()[1], message("next"));
}

TEST(KvClientSocket, BrokenFramingClosesTheConnection) {
    kvsock::LogCapture log;
    Connection c;
    c.send(message("fine") + "INVITE sip:a SIP/2.0\r\nContent-Length: 99999999999\r\n\r\n");
    EXPECT_FALSE(c.readUntil(2));
    EXPECT_EQ(c.collector->packetCount(), 1u);
    EXPECT_GE(c.collector->nullCount(), 1u);
    EXPECT_EQ(c.accepted->getHandle(), kKvInvalidSocket);
    EXPECT_TRUE(log.contains(
        "closing the connection with 127.0.0.1:" + std::to_string(boundPort(*c.client)) +
        ": Content-Length above the limit"));
    // The peer sees the connection end.
    char byte;
    EXPECT_LE(c.client->receive(&byte, 1, 0), 0);
    // And the stream stays ended.
    EXPECT_FALSE(c.accepted->block());
}

TEST(KvClientSocket, PeerClosingEndsTheStream) {
    Connection c;
    KvHandle<Collector> socketObserver(new Collector);
    c.accepted->attachObserver(socketObserver);
    c.send(message("last"));
    c.client->close();
    EXPECT_FALSE(c.readUntil(2));
    EXPECT_EQ(c.collector->packetCount(), 1u);
    EXPECT_EQ(c.accepted->getHandle(), kKvInvalidSocket);
    // Told of the end, the observers are let go: they and what they watch no longer hold each
    // other.
    EXPECT_GE(c.collector->nullCount(), 1u);
    EXPECT_GE(socketObserver->nullCount(), 1u);
    EXPECT_FALSE(c.accepted->getInputStream()->hasObserver());
    EXPECT_TRUE(c.collector->getSource().isNull());
    EXPECT_FALSE(c.accepted->hasObserver());
    EXPECT_TRUE(socketObserver->getSource().isNull());
}

TEST(KvClientSocket, ClosingDuringABlockedReadEndsTheThread) {
    Connection c;
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(c.accepted);
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::RUNNING; }));
    c.send(message("one"));
    ASSERT_TRUE(waitUntil([&] { return c.collector->packetCount() == 1; }));
    c.accepted->close();
    EXPECT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
    EXPECT_EQ(c.collector->packetCount(), 1u);
}

// Makes block() wait for a byte that arrives while it waits, so that it holds that byte back.
// Returns the byte that ended up held, or 0 when the byte kept arriving too early.
char holdByte(KvSocketInputStream& input, Connection& c, char byte) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::thread blocker([&] { EXPECT_TRUE(input.block()); });
        waitUntil([] { return false; }, std::chrono::milliseconds(20));
        c.send(std::string(1, byte));
        blocker.join();
        if (input.getState() == KvSocketInputStream::BYTE_HELD)
            return byte;
        EXPECT_EQ(input.read(), byte); // it was there before block() looked: try again
    }
    return 0;
}

TEST(KvSocketInputStream, HeldByteIsReturnedWithoutAnEmptyReceive) {
    Connection c;
    KvHandle<KvSocketInputStream> input(c.accepted->getInputStream()->getSource());
    ASSERT_EQ(holdByte(*input, c, 'x'), 'x');
    EXPECT_GE(input->available(), 1);
    char buffer[4] = {};
    // Only the held byte is wanted: no receive of 0 bytes, which would read as the peer closing.
    EXPECT_EQ(input->read(buffer, 1, 0), 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(input->getState(), KvSocketInputStream::READING);
    EXPECT_NE(c.accepted->getHandle(), kKvInvalidSocket);

    // With nothing more pending, a larger read returns the held byte without waiting.
    ASSERT_EQ(holdByte(*input, c, 'y'), 'y');
    EXPECT_EQ(input->read(buffer, 4, 0), 1);
    EXPECT_EQ(buffer[0], 'y');

    // With data there, block() holds nothing back and just notifies.
    c.send("zw");
    ASSERT_TRUE(waitUntil([&] { return input->available() == 2; }));
    EXPECT_TRUE(input->block());
    EXPECT_EQ(input->getState(), KvSocketInputStream::READING);
    EXPECT_EQ(input->read(), 'z');
    EXPECT_EQ(input->read(), 'w');
    c.client->close();
    EXPECT_EQ(input->read(), -1);
    EXPECT_EQ(input->getState(), KvSocketInputStream::ENDED);
    EXPECT_EQ(input->read(buffer, 4, 0), -1);
    EXPECT_FALSE(input->block());
    EXPECT_EQ(c.accepted->getHandle(), kKvInvalidSocket);
}

TEST(KvSocketOutputStream, BufferedWritesReachThePeer) {
    Connection c;
    KvHandle<KvOutputStream> out = c.client->getOutputStream();
    EXPECT_EQ(out.get(), c.client->getOutputStream().get()); // made once
    std::string whole = message(std::string(2000, 'o'));
    *out << whole.c_str();
    out->flush();
    ASSERT_TRUE(c.readUntil(1));
    EXPECT_EQ(c.collector->packets()[0], whole);
    EXPECT_GT(c.client->getLastActivity().get(), 0u);
}

TEST(KvClientSocket, ByteArrayFormsTakeTheirRangeFromTheArray) {
    Connection c;
    KvHandle<KvByteArray> array = KvByteArray::sFromString("0123456789");
    EXPECT_EQ(c.client->send(array, 4, 0), 6);   // 0: to the end
    EXPECT_EQ(c.client->send(array, 8, 100), 2); // past the end: to the end
    EXPECT_EQ(c.client->send(array, 10, 1), 0);  // nothing
    KvHandle<KvByteArray> into = KvByteArray::sCreate(8);
    int32_t got = 0;
    while (got < 8) {
        int32_t n = c.accepted->receive(into, static_cast<uint32_t>(got), 0);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(std::string(into->getData(), 8), "45678989");
}

TEST(KvServerSocket, BlockDeliversAcceptedConnections) {
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<Collector> collector(new Collector);
    server->attachObserver(collector);
    KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), boundPort(*server)));
    EXPECT_TRUE(server->block());
    ASSERT_EQ(collector->count(), 1u);
    KvHandle<KvClientSocket> accepted(collector->deliveries()[0].argument);
    ASSERT_FALSE(accepted.isNull());
    EXPECT_NE(accepted->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(accepted->getPeerPort(), boundPort(*client));
    EXPECT_EQ(accepted->getLocalPort(), 0u); // the listening socket's recorded port

    // Once closed, the listening socket delivers no more client sockets.
    server->close();
    EXPECT_FALSE(server->block());
    EXPECT_EQ(collector->count(), 1u);
    server->detachObserver(collector.get());
    accepted->close();
    client->close();
}

// A listening socket whose accept gives no connection, or fails.
class FailingServer : public KvServerSocket {
public:
    FailingServer() : KvServerSocket(0, loopback()) {}
    bool throwing = false;
    KvHandle<KvClientSocket> accept() override {
        if (throwing)
            KvException::sThrow("accept failed");
        KvHandle<KvServerSocket> closed(new KvServerSocket(0, loopback()));
        closed->close();
        return KvHandle<KvClientSocket>(new KvClientSocket(*closed));
    }
};

TEST(KvServerSocket, AFailedAcceptDeliversNothingAndPausesOnce) {
    kvsock::LogCapture log;
    KvHandle<FailingServer> server(new FailingServer);
    KvHandle<Collector> collector(new Collector);
    server->attachObserver(collector);
    // No connection: nothing delivered, the loop goes on after a pause, logged once a burst.
    for (int i = 0; i < 2; ++i) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(server->block());
        EXPECT_GE(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(KvServerSocket::kAcceptRetryMs));
    }
    EXPECT_EQ(collector->count(), 0u);
    std::string text = log.text();
    size_t first = text.find("KvServerSocket::block(): accept failed");
    ASSERT_NE(first, std::string::npos);
    first = text.find("accept failed", first);
    EXPECT_EQ(text.find("accept failed", first + 1), std::string::npos);
    // A failure is handed over as the exception itself; the listening socket stays open.
    server->throwing = true;
    EXPECT_FALSE(server->block());
    ASSERT_EQ(collector->count(), 1u);
    EXPECT_TRUE(collector->deliveries()[0].isException);
    EXPECT_EQ(collector->deliveries()[0].message, "accept failed");
    EXPECT_NE(server->getHandle(), kKvInvalidSocket);
    server->detachObserver(collector.get());
    server->close();
}

// Counts the accepts that its thread makes.
class CountingServer : public KvServerSocket {
public:
    CountingServer() : KvServerSocket(0, loopback()) {}
    std::atomic<int> accepts{0};
    KvHandle<KvClientSocket> accept() override {
        ++accepts;
        return KvServerSocket::accept();
    }
};

TEST(KvServerSocket, OutOfDescriptorsTheListenerWaitsAndServesAgainLater) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtimes need descriptors of their own for their checks and reports.
    GTEST_SKIP() << "not with a sanitizer runtime; the failing accept above covers the logic";
#endif
    kvsock::LogCapture log;
    KvHandle<CountingServer> server(new CountingServer);
    KvHandle<Collector> collector(new Collector);
    server->attachObserver(collector);
    const uint32_t port = boundPort(*server);

    // Fill the descriptor table, leaving one for the connecting side. The accepting thread starts
    // after that: a waiting accept holds a descriptor from the moment it was called.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, kvsock::openDescriptorCount() + 64);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> filler;
    for (int fd; (fd = dup(0)) >= 0;)
        filler.push_back(fd);
    ::close(filler.back());
    filler.pop_back();
    KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), port));
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(server);

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LE(server->accepts.load(), 10); // paused, not spinning
    EXPECT_EQ(collector->count(), 0u);

    for (int fd : filler)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
    // Served again: the waiting connection, or (where a tool's descriptor accounting lost it,
    // as valgrind's does) the next one.
    KvHandle<KvClientSocket> next(new KvClientSocket(loopback(), boundPort(*server)));
    ASSERT_TRUE(waitUntil([&] { return collector->count() >= 1; }));
    KvHandle<KvClientSocket> accepted(collector->deliveries()[0].argument);
    ASSERT_FALSE(accepted.isNull());
    EXPECT_TRUE(accepted->getPeerPort() == boundPort(*client) ||
                accepted->getPeerPort() == boundPort(*next));
    std::string text = log.text();
    size_t first = text.find("accept failed: Too many open files");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("accept failed", first + 1), std::string::npos);

    server->close();
    EXPECT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
    server->detachObserver(collector.get());
    for (const kvsock::Delivery& delivery : collector->deliveries())
        KvHandle<KvClientSocket>(delivery.argument)->close();
    client->close();
    next->close();
}

TEST(KvServerSocket, ClosingDuringABlockedAcceptEndsTheThread) {
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<Collector> collector(new Collector);
    server->attachObserver(collector);
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(server);
    KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), boundPort(*server)));
    ASSERT_TRUE(waitUntil([&] { return collector->count() == 1; }));
    server->close();
    EXPECT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
    EXPECT_EQ(collector->count(), 1u);
    KvHandle<KvClientSocket>(collector->deliveries()[0].argument)->close();
    server->detachObserver(collector.get());
    client->close();
}

TEST(KvClientSocket, ConnectFromALocalAddress) {
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), boundPort(*server), loopback()));
    EXPECT_EQ(client->getLocalAddress(), loopback());
    KvHandle<KvClientSocket> accepted = server->accept();
    EXPECT_EQ(accepted->getPeerPort(), boundPort(*client));
    accepted->close();
    client->close();
    server->close();
}

} // namespace
