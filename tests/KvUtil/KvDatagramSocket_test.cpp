#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"
#include "KvException.h"
#include "KvMulticastSocket.h"
#include "KvObserverThread.h"
#include "KvThread.h"

#include "KvSocketTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using kvsock::boundPort;
using kvsock::Collector;
using kvsock::loopback;
using kvsock::waitUntil;

KvHandle<KvDatagramSocket> udp(uint32_t bufferSize = 49152) {
    return KvHandle<KvDatagramSocket>(new KvDatagramSocket(0, loopback(), false, bufferSize));
}

KvDatagramPacket packetTo(const std::string& text, const KvInetAddress& address, uint32_t port) {
    return KvDatagramPacket(KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()),
                            0, 0, address, port);
}

bool ended(const KvHandle<KvObserverThread>& thread) {
    return thread->getState() == KvThread::DETACHED;
}

TEST(KvDatagramPacket, OffsetAndLengthAreClampedToTheData) {
    KvHandle<KvByteArray> data = KvByteArray::sCreate(10);
    KvDatagramPacket whole(data, 3, 0, loopback(), 5060);
    EXPECT_EQ(whole.getOffset(), 3u);
    EXPECT_EQ(whole.getLength(), 7u);
    EXPECT_EQ(whole.getPort(), 5060u);
    EXPECT_EQ(whole.getAddress(), loopback());
    KvDatagramPacket part(data, 2, 4, loopback(), 1);
    EXPECT_EQ(part.getLength(), 4u);
    KvDatagramPacket tooLong(data, 2, 100, loopback(), 1);
    EXPECT_EQ(tooLong.getLength(), 8u);
    KvDatagramPacket pastEnd(data, 50, 5, loopback(), 1);
    EXPECT_EQ(pastEnd.getOffset(), 10u);
    EXPECT_EQ(pastEnd.getLength(), 0u);
    KvDatagramPacket none(KvHandle<KvByteArray>(), 4, 4, loopback(), 1);
    EXPECT_EQ(none.getOffset(), 0u);
    EXPECT_EQ(none.getLength(), 0u);
}

TEST(KvDatagramSocket, DatagramsTravelThroughTheDispatcherToTheObserver) {
    KvHandle<KvDatagramSocket> receiver = udp();
    KvHandle<KvDatagramSocket> sender = udp();
    KvHandle<Collector> collector(new Collector);
    receiver->attachObserver(collector);
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(receiver);

    uint32_t port = boundPort(*receiver);
    std::set<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        std::string text = "datagram " + std::to_string(i) + std::string(i * 20, 'x');
        sent.insert(text);
        ASSERT_EQ(sender->send(packetTo(text, loopback(), port)),
                  static_cast<int32_t>(text.size()));
    }
    ASSERT_TRUE(waitUntil([&] { return collector->packetCount() == sent.size(); }));
    std::set<std::string> received;
    for (const kvsock::Delivery& delivery : collector->deliveries()) {
        ASSERT_TRUE(delivery.isPacket);
        // Handed over on a pool worker by the socket itself, with the sender as the peer.
        EXPECT_EQ(delivery.source.get(), static_cast<KvObject*>(receiver.get()));
        EXPECT_EQ(delivery.address, loopback());
        EXPECT_EQ(delivery.port, boundPort(*sender));
        received.insert(delivery.bytes);
    }
    EXPECT_EQ(received, sent);

    receiver->close();
    EXPECT_TRUE(waitUntil([&] { return ended(thread); }));
    sender->close();
    receiver->detachObserver(collector.get());
}

TEST(KvDatagramSocket, ClosingDuringABlockedReceiveEndsTheThread) {
    KvHandle<KvDatagramSocket> receiver = udp();
    KvHandle<Collector> collector(new Collector);
    receiver->attachObserver(collector);
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(receiver);
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::RUNNING; }));
    waitUntil([] { return false; }, std::chrono::milliseconds(50)); // into the receive
    receiver->close();
    EXPECT_TRUE(waitUntil([&] { return ended(thread); }));
    EXPECT_EQ(collector->count(), 0u); // the wake-up is no datagram
    // A closed socket's block() gives up at once instead of spinning.
    EXPECT_FALSE(receiver->block());
    receiver->detachObserver(collector.get());
}

TEST(KvDatagramSocket, OversizedDatagramIsDroppedNotCut) {
    kvsock::LogCapture log;
    KvHandle<KvDatagramSocket> receiver = udp(100);
    KvHandle<KvDatagramSocket> sender = udp();
    KvHandle<Collector> collector(new Collector);
    receiver->attachObserver(collector);
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(receiver);
    uint32_t port = boundPort(*receiver);
    sender->send(packetTo(std::string(101, 'L'), loopback(), port));
    sender->send(packetTo(std::string(100, 'F'), loopback(), port));
    ASSERT_TRUE(waitUntil([&] { return collector->packetCount() == 1; }));
    EXPECT_EQ(collector->packets()[0], std::string(100, 'F'));
    EXPECT_TRUE(log.contains("dropped a datagram of 101 bytes"));
    receiver->close();
    EXPECT_TRUE(waitUntil([&] { return ended(thread); }));
    receiver->detachObserver(collector.get());
}

TEST(KvDatagramSocket, EachSocketReceivesIntoItsOwnBuffer) {
    constexpr int kSockets = 3;
    constexpr int kDatagrams = 200;
    // Every datagram in flight is acknowledged within this; none is ever lost on loopback.
    constexpr auto kBound = std::chrono::seconds(10);
    KvHandle<KvDatagramSocket> receivers[kSockets];
    KvHandle<Collector> collectors[kSockets];
    KvHandle<KvObserverThread> threads[kSockets];
    for (int i = 0; i < kSockets; ++i) {
        receivers[i] = udp(4000 + i * 1000);
        collectors[i] = new Collector;
        receivers[i]->attachObserver(collectors[i]);
        threads[i] = KvObserverThread::sStart(receivers[i]);
    }
    std::string stalls[kSockets];
    std::thread senders[kSockets];
    for (int i = 0; i < kSockets; ++i) {
        senders[i] = std::thread([&, i] {
            KvHandle<KvDatagramSocket> sender = udp();
            std::string text(3000 + i * 1000, static_cast<char>('a' + i));
            uint32_t port = boundPort(*receivers[i]);
            for (int n = 0; n < kDatagrams; ++n) {
                sender->send(packetTo(text, loopback(), port));
                // Keep within the receive buffers: at most 30 datagrams in flight.
                size_t wanted = n % 20 == 19 ? size_t(n) - 10 : 0;
                if (wanted &&
                    !waitUntil([&] { return collectors[i]->count() >= wanted; }, kBound)) {
                    stalls[i] = "from port " + std::to_string(boundPort(*sender)) + " to port " +
                                std::to_string(port) + ": " + std::to_string(n + 1) + " sent, " +
                                std::to_string(collectors[i]->count()) + " received";
                    break;
                }
            }
            sender->close();
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    for (int i = 0; i < kSockets; ++i) {
        EXPECT_EQ(stalls[i], "") << "socket " << i;
        EXPECT_TRUE(
            waitUntil([&] { return collectors[i]->count() >= size_t(kDatagrams); }, kBound));
        std::vector<std::string> packets = collectors[i]->packets();
        EXPECT_EQ(packets.size(), size_t(kDatagrams))
            << "socket " << i << " on port " << boundPort(*receivers[i]);
        std::string expected(3000 + i * 1000, static_cast<char>('a' + i));
        for (const std::string& packet : packets)
            ASSERT_EQ(packet, expected) << "socket " << i;
        receivers[i]->close();
        EXPECT_TRUE(waitUntil([&] { return ended(threads[i]); }));
        receivers[i]->detachObserver(collectors[i].get());
    }
}

TEST(KvDatagramSocket, AHeldPortIsNotShared) {
    KvHandle<KvDatagramSocket> holder = udp();
    uint32_t port = boundPort(*holder);
    try {
        KvHandle<KvDatagramSocket> second(new KvDatagramSocket(port, loopback(), false, 1500));
        FAIL() << "a second socket bound port " << port;
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "bind");
    }
    // The holder still gets what is sent to its port.
    KvHandle<KvDatagramSocket> sender = udp();
    ASSERT_EQ(sender->send(packetTo("mine", loopback(), port)), 4);
    ASSERT_TRUE(kvsock::readable(*holder));
    KvDatagramPacket into(KvByteArray::sCreate(64), 0, 0, KvInetAddress(), 0);
    holder->receive(into);
    EXPECT_EQ(into.getLength(), 4u);
    // Receivers of one multicast group share the port they name; port 0 is a port of one's own.
    std::set<uint32_t> ports;
    std::vector<KvHandle<KvMulticastSocket>> own;
    for (int i = 0; i < 400; ++i) {
        own.emplace_back(new KvMulticastSocket(0));
        EXPECT_TRUE(ports.insert(boundPort(*own.back())).second) << boundPort(*own.back());
    }
    for (KvHandle<KvMulticastSocket>& socket : own)
        socket->close();
    KvHandle<KvDatagramSocket> probe = udp();
    uint32_t groupPort = boundPort(*probe);
    probe->close();
    KvHandle<KvMulticastSocket> first(new KvMulticastSocket(groupPort));
    KvHandle<KvMulticastSocket> other(new KvMulticastSocket(groupPort));
    EXPECT_EQ(boundPort(*first), groupPort);
    EXPECT_EQ(boundPort(*other), groupPort);
    for (KvSocketImpl* socket : {(KvSocketImpl*)holder.get(), (KvSocketImpl*)sender.get(),
                                 (KvSocketImpl*)first.get(), (KvSocketImpl*)other.get()})
        socket->close();
}

TEST(KvDatagramSocket, ConnectedSocketReachesItsPeerAndOthers) {
    KvHandle<KvDatagramSocket> peer = udp();
    KvHandle<KvDatagramSocket> other = udp();
    uint32_t peerPort = boundPort(*peer);
    KvHandle<KvDatagramSocket> connected(new KvDatagramSocket(peerPort, loopback(), true, 1500));
    EXPECT_TRUE(connected->isConnected());
    EXPECT_EQ(connected->getPeerPort(), peerPort);
    EXPECT_EQ(connected->send(packetTo("to peer", loopback(), peerPort)), 7);
    EXPECT_EQ(connected->send(packetTo("to other", loopback(), boundPort(*other))), 8);

    KvDatagramPacket into(KvByteArray::sCreate(64), 4, 0, KvInetAddress(), 0);
    ASSERT_TRUE(kvsock::readable(*peer)) << "nothing reached port " << peerPort;
    peer->receive(into);
    ASSERT_EQ(into.getLength(), 7u);
    EXPECT_EQ(std::string(into.getData()->getData() + 4, 7), "to peer");
    EXPECT_EQ(into.getPort(), connected->getLocalPort());
    KvDatagramPacket second(KvByteArray::sCreate(64), 0, 0, KvInetAddress(), 0);
    ASSERT_TRUE(kvsock::readable(*other)) << "nothing reached port " << boundPort(*other);
    other->receive(second);
    ASSERT_EQ(second.getLength(), 8u);
    EXPECT_EQ(second.getAddress(), loopback());

    connected->close();
    KvDatagramPacket failed(KvByteArray::sCreate(8), 0, 0, KvInetAddress(), 0);
    connected->receive(failed);
    EXPECT_EQ(failed.getLength(), KvDatagramPacket::kFailedLength);
}

TEST(KvDatagramSocket, SendNeverReachesPastThePacketData) {
    KvHandle<KvDatagramSocket> receiver = udp();
    KvHandle<KvDatagramSocket> sender = udp();
    uint32_t port = boundPort(*receiver);
    KvDatagramPacket packet = packetTo("abcd", loopback(), port);
    packet.setLength(1000);
    EXPECT_EQ(sender->send(packet), 4);
    // A packet whose receive failed sends nothing.
    packet.setLength(KvDatagramPacket::kFailedLength);
    EXPECT_EQ(sender->send(packet), -1);
    EXPECT_NE(sender->getHandle(), kKvInvalidSocket);
    KvDatagramPacket into(KvByteArray::sCreate(64), 0, 0, KvInetAddress(), 0);
    ASSERT_TRUE(kvsock::readable(*receiver)) << "nothing reached port " << port;
    receiver->receive(into);
    ASSERT_EQ(into.getLength(), 4u);
    EXPECT_EQ(std::string(into.getData()->getData(), 4), "abcd");
}

TEST(KvMulticastSocket, TimeToLiveAndGroupFailures) {
    KvHandle<KvMulticastSocket> socket(new KvMulticastSocket(0));
    EXPECT_EQ(socket->getBufferSize(), 49152u);
    EXPECT_EQ(socket->getLocalAddress(), KvInetAddress());
    EXPECT_EQ(socket->setTimeToLive(7), 0);
    EXPECT_EQ(socket->getTimeToLive(), 7);
    KvHandle<KvDatagramSocket> receiver = udp();
    EXPECT_EQ(socket->send(packetTo("ttl", loopback(), boundPort(*receiver)), 3), 3);
    EXPECT_EQ(socket->getTimeToLive(), 3);
    // Leaving a group never joined fails.
    try {
        socket->leaveGroup(KvInetAddress("239.255.7.7"));
        FAIL() << "left a group not joined";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "error in setsockopt()");
    }
    socket->close();
    EXPECT_THROW(socket->joinGroup(KvInetAddress("239.255.7.7")), KvHandle<KvException>);
}

} // namespace
