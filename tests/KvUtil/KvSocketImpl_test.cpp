#include "KvClientSocket.h"
#include "KvDatagramSocket.h"
#include "KvException.h"
#include "KvServerSocket.h"
#include "KvSocketImpl.h"

#include "KvSocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using kvsock::boundPort;
using kvsock::loopback;
using kvsock::waitUntil;

// A connected pair over loopback: the connecting socket and the accepted one.
struct TcpPair {
    KvHandle<KvServerSocket> server;
    KvHandle<KvClientSocket> client;
    KvHandle<KvClientSocket> accepted;

    TcpPair() {
        server = new KvServerSocket(0, loopback());
        client = new KvClientSocket(loopback(), boundPort(*server));
        accepted = server->accept();
    }
    ~TcpPair() {
        if (!client.isNull())
            client->close();
        if (!accepted.isNull())
            accepted->close();
        server->close();
    }
};

uint32_t errorCode(KvHandle<KvException>& e) {
    auto* error = dynamic_cast<KvSocketError*>(e.get());
    return error ? error->getErrorCode() : 0;
}

TEST(KvSocketImpl, CreateRecordsWhatItWasGivenAndClosesOnce) {
    KvHandle<KvDatagramSocket> socket(new KvDatagramSocket(0, loopback(), false, 1500));
    EXPECT_NE(socket->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(socket->getLocalPort(), 0u); // the port asked for, not the ephemeral one
    EXPECT_EQ(socket->getLocalAddress(), loopback());
    EXPECT_NE(boundPort(*socket), 0u);
    try {
        socket->create(0, loopback(), 0);
        FAIL() << "second create";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "socket alrady created");
    }
    socket->close();
    EXPECT_EQ(socket->getHandle(), kKvInvalidSocket);
    socket->close(); // nothing
    EXPECT_EQ(socket->getHandle(), kKvInvalidSocket);
    char byte;
    EXPECT_EQ(socket->receive(&byte, 1), -1);
    EXPECT_EQ(socket->send("x", 1), -1);
    EXPECT_EQ(socket->available(), 0);
}

TEST(KvSocketImpl, FailuresCarryTheirTextAndWinsockCode) {
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    uint32_t port = boundPort(*server);
    int before = kvsock::openDescriptorCount();
    try {
        KvHandle<KvServerSocket> second(new KvServerSocket(port, loopback()));
        FAIL() << "a second listener on one port";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "bind");
        EXPECT_EQ(errorCode(e), 10048u);
    }
    server->close();
    try {
        KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), port));
        FAIL() << "nobody listens any more";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "connect");
        EXPECT_EQ(errorCode(e), 10061u);
    }
    // Failed constructions leave no descriptor behind.
    EXPECT_EQ(kvsock::openDescriptorCount(), before - 1);
}

TEST(KvSocketImpl, PortsPastSixteenBitsAreRefusedNotCut) {
    int before = kvsock::openDescriptorCount();
    for (uint32_t port : {65536u, 70000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(port);
        auto expectRefused = [](const char* text, auto make) {
            try {
                make();
                ADD_FAILURE() << text << " took the port";
            } catch (KvHandle<KvException>& e) {
                EXPECT_STREQ(e->getText(), text);
                EXPECT_EQ(errorCode(e), 10022u);
            }
        };
        expectRefused("bind", [&] {
            KvHandle<KvDatagramSocket>(new KvDatagramSocket(port, loopback(), false, 1500));
        });
        expectRefused("bind",
                      [&] { KvHandle<KvServerSocket>(new KvServerSocket(port, loopback())); });
        expectRefused("connect",
                      [&] { KvHandle<KvClientSocket>(new KvClientSocket(loopback(), port)); });
        KvHandle<KvDatagramSocket> socket(new KvDatagramSocket(0, loopback(), false, 1500));
        EXPECT_EQ(-1, socket->sendTo("x", 1, loopback(), port));
        socket->close();
    }
    EXPECT_EQ(kvsock::openDescriptorCount(), before);
}

TEST(KvSocketImpl, AvailableNeverWaitsAndCountsAtMostFour) {
    TcpPair pair;
    EXPECT_EQ(pair.accepted->available(), 0); // nothing pending: returns at once
    std::string hundred(100, 'h');
    ASSERT_EQ(pair.client->send(hundred.data(), 100), 100);
    ASSERT_TRUE(waitUntil([&] { return pair.accepted->available() == 4; }));
    char buffer[200];
    int32_t got = 0;
    while (got < 100) {
        int32_t n = pair.accepted->receive(buffer + got, sizeof buffer - got);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(std::string(buffer, 100), hundred);
    EXPECT_EQ(pair.accepted->available(), 0);
}

TEST(KvSocketImpl, PeerAndLocalOfAConnection) {
    TcpPair pair;
    EXPECT_EQ(pair.client->getPeerAddress(), loopback());
    EXPECT_EQ(pair.client->getPeerPort(), boundPort(*pair.server));
    EXPECT_EQ(pair.accepted->getPeerAddress(), loopback());
    EXPECT_EQ(pair.accepted->getPeerPort(), boundPort(*pair.client));
    EXPECT_EQ(pair.client->getLocalPort(), boundPort(*pair.client));
    EXPECT_TRUE(pair.accepted->isStream());
}

TEST(KvSocketImpl, NoPeerMeansTheSocketCountsAsClosed) {
    KvHandle<KvDatagramSocket> unconnected(new KvDatagramSocket(0, loopback(), false, 64));
    int before = kvsock::openDescriptorCount();
    EXPECT_EQ(unconnected->getPeerPort(), 0u);
    EXPECT_EQ(unconnected->getPeerAddress(), KvInetAddress());
    EXPECT_EQ(unconnected->getHandle(), kKvInvalidSocket);
    // Closed for real: the descriptor is released, not leaked.
    EXPECT_EQ(kvsock::openDescriptorCount(), before - 1);
    EXPECT_EQ(unconnected->getRefCount(), 1);
}

TEST(KvSocketImpl, CloseWakesABlockedReceive) {
    TcpPair pair;
    std::atomic<int32_t> result{1};
    std::thread reader([&] {
        char buffer[16];
        result = pair.accepted->receive(buffer, sizeof buffer);
    });
    waitUntil([] { return false; }, std::chrono::milliseconds(50)); // let it block
    pair.accepted->close();
    reader.join(); // returns: a receive on a closed socket does not hang
    EXPECT_LE(result.load(), 0);

    KvHandle<KvDatagramSocket> udp(new KvDatagramSocket(0, loopback(), false, 1500));
    std::atomic<int32_t> udpResult{1};
    std::thread udpReader([&] {
        char buffer[16];
        KvInetAddress from;
        uint32_t port = 0;
        udpResult = udp->receiveFrom(buffer, sizeof buffer, from, port);
    });
    waitUntil([] { return false; }, std::chrono::milliseconds(50));
    udp->close();
    udpReader.join();
    EXPECT_LE(udpResult.load(), 0);
}

TEST(KvSocketImpl, ClosingReleasesEveryDescriptor) {
    int before = kvsock::openDescriptorCount();
    for (int i = 0; i < 50; ++i) {
        KvHandle<KvDatagramSocket> udp(new KvDatagramSocket(0, loopback(), false, 1500));
        udp->close();
        TcpPair pair;
    }
    EXPECT_EQ(kvsock::openDescriptorCount(), before);
}

TEST(KvSocketImpl, SendToAClosedPeerFailsWithoutSignal) {
    TcpPair pair;
    pair.accepted->close();
    std::string data(4096, 'd');
    int32_t result = 0;
    for (int i = 0; i < 1000 && result >= 0; ++i)
        result = pair.client->send(data.data(), static_cast<uint32_t>(data.size()));
    // Still here: no SIGPIPE. The failed send closed the socket.
    EXPECT_EQ(result, -1);
    EXPECT_EQ(pair.client->getHandle(), kKvInvalidSocket);
}

TEST(KvSocketImpl, WholeMessagesFromSeveralThreadsNeverInterleave) {
    TcpPair pair;
    constexpr int kThreads = 4;
    constexpr int kMessages = 40;
    constexpr uint32_t kSize = 100000; // larger than one system send takes at a time
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            std::string message(kSize, static_cast<char>('A' + t));
            for (int i = 0; i < kMessages; ++i)
                ASSERT_EQ(pair.client->send(message.data(), kSize), static_cast<int32_t>(kSize));
        });
    }
    std::string received;
    received.reserve(kThreads * kMessages * kSize);
    std::vector<char> buffer(65536);
    while (received.size() < size_t(kThreads) * kMessages * kSize) {
        int32_t n = pair.accepted->receive(buffer.data(), static_cast<uint32_t>(buffer.size()));
        ASSERT_GT(n, 0);
        received.append(buffer.data(), static_cast<size_t>(n));
    }
    for (std::thread& sender : senders)
        sender.join();
    int counts[kThreads] = {};
    for (size_t at = 0; at < received.size(); at += kSize) {
        char owner = received[at];
        ASSERT_EQ(received.compare(at, kSize, std::string(kSize, owner)), 0)
            << "message at " << at << " is mixed";
        ++counts[owner - 'A'];
    }
    for (int count : counts)
        EXPECT_EQ(count, kMessages);
}

TEST(KvSocketImpl, OversizedDatagramIsDroppedAndLogged) {
    kvsock::LogCapture log;
    KvHandle<KvDatagramSocket> receiver(new KvDatagramSocket(0, loopback(), false, 1500));
    KvHandle<KvDatagramSocket> sender(new KvDatagramSocket(0, loopback(), false, 1500));
    uint32_t port = boundPort(*receiver);
    std::string big(200, 'B');
    ASSERT_EQ(sender->sendTo(big.data(), 200, loopback(), port), 200);
    ASSERT_EQ(sender->sendTo("small", 5, loopback(), port), 5);
    char buffer[100];
    KvInetAddress from;
    uint32_t fromPort = 0;
    EXPECT_EQ(receiver->receiveFrom(buffer, sizeof buffer, from, fromPort), -1);
    EXPECT_EQ(fromPort, 0u); // nothing stored
    EXPECT_TRUE(log.contains("dropped a datagram of 200 bytes from 127.0.0.1:"));
    EXPECT_NE(receiver->getHandle(), kKvInvalidSocket);
    ASSERT_EQ(receiver->receiveFrom(buffer, sizeof buffer, from, fromPort), 5);
    EXPECT_EQ(std::string(buffer, 5), "small");
    EXPECT_EQ(from, loopback());
    EXPECT_EQ(fromPort, boundPort(*sender));
}

TEST(KvSocketImpl, CloseAllSocketsClosesAndForgetsEveryOne) {
    kvsock::LogCapture log;
    KvHandle<KvDatagramSocket> kept(new KvDatagramSocket(0, loopback(), false, 1500));
    TcpPair pair;
    EXPECT_EQ(kept->getRefCount(), 2); // ours and the registry's
    KvSocketImpl::closeAllSockets();
    EXPECT_TRUE(log.contains("Closing all sockets\n\n"));
    EXPECT_EQ(kept->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(pair.client->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(pair.accepted->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(pair.server->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(kept->getRefCount(), 1); // the registry let go of it
    // Sockets made afterwards are registered again.
    KvHandle<KvDatagramSocket> later(new KvDatagramSocket(0, loopback(), false, 64));
    EXPECT_EQ(later->getRefCount(), 2);
    KvSocketImpl::closeAllSockets();
    EXPECT_EQ(later->getHandle(), kKvInvalidSocket);
    EXPECT_EQ(later->getRefCount(), 1);
}

TEST(KvSocketImpl, ClosingAgainNeverTouchesASocketThatReusedTheHandle) {
    KvHandle<KvDatagramSocket> first(new KvDatagramSocket(0, loopback(), false, 64));
    KvSocketHandle handle = first->getHandle();
    first->close();
    KvHandle<KvDatagramSocket> second(new KvDatagramSocket(0, loopback(), false, 64));
    EXPECT_EQ(second->getHandle(), handle); // the system reuses the lowest free number
    first->close();
    EXPECT_EQ(second->getHandle(), handle);
    EXPECT_EQ(second->getRefCount(), 2);
    // The second socket is still registered under the number.
    KvSocketImpl::closeAllSockets();
    EXPECT_EQ(second->getHandle(), kKvInvalidSocket);
}

} // namespace
