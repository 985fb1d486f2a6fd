#include "KvSocketTestSupport.h"
#include "KvThreadTestSupport.h"

#include "KvBaseEvent.h"
#include "KvByteArray.h"
#include "KvClientSocket.h"
#include "KvDatagramPacket.h"
#include "KvDatagramSocket.h"
#include "KvDispatcherThread.h"
#include "KvMonitorThread.h"
#include "KvException.h"
#include "KvObserverThread.h"
#include "KvServerSocket.h"
#include "KvTCPIDispatcher.h"
#include "KvTCPODispatcher.h"
#include "KvTimerDispatcher.h"
#include "KvUDPIDispatcher.h"
#include "KvUDPODispatcher.h"
#include "KvWorkerThread.h"
#include "KvPlatformSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using kvsock::boundPort;
using kvsock::loopback;
using kvtest::Gate;
using kvtest::JobObserver;
using kvtest::waitUntil;

namespace {

class NumberedEvent : public KvBaseEvent {
public:
    explicit NumberedEvent(int number) : m_number(number) {}
    int m_number;
};

// An event that counts the live ones.
class CountedEvent : public NumberedEvent {
public:
    explicit CountedEvent(int number) : NumberedEvent(number) { s_live.fetch_add(1); }
    ~CountedEvent() override { s_live.fetch_sub(1); }
    static inline std::atomic<int> s_live{0};
};

// Records what it dispatches; negative numbers fail.
class RecordingDispatcher : public KvDispatcherThread {
public:
    RecordingDispatcher() : KvDispatcherThread(0, true) {}
    void dispatch(KvBaseEvent* event) override {
        int number = static_cast<NumberedEvent*>(event)->m_number;
        if (number == -1)
            KvException::sThrow("bad event");
        if (number == -2)
            throw std::runtime_error("foreign failure");
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.push_back(number);
        m_threadOk = m_threadOk && KvThread::currentThread() == this;
    }
    std::vector<int> seen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }
    bool threadOk() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threadOk;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_seen;
    bool m_threadOk = true;
};

// Holds event 0 at the gate.
class GatedDispatcher : public RecordingDispatcher {
public:
    explicit GatedDispatcher(Gate& gate) : m_gate(gate) {}
    void dispatch(KvBaseEvent* event) override {
        if (static_cast<NumberedEvent*>(event)->m_number == 0) {
            m_holding = true;
            m_gate.wait();
        }
        RecordingDispatcher::dispatch(event);
    }
    Gate& m_gate;
    std::atomic<bool> m_holding{false};
};

// Holds event 0 until it is told to stop; it lives by its thread's own reference alone.
class StoppingDispatcher : public RecordingDispatcher {
public:
    void dispatch(KvBaseEvent*) override {
        m_holding = true;
        while (getState() != EXITING)
            std::this_thread::yield();
    }
    // The counted events alive when it goes: its queued ones, and those of senders still inside
    // put.
    ~StoppingDispatcher() override { s_liveAtEnd = CountedEvent::s_live.load(); }
    std::atomic<bool> m_holding{false};
    static inline std::atomic<int> s_liveAtEnd{-1};
};

} // namespace

TEST(KvDispatcherThread, DispatchesInQueueOrderOnItsOwnThreadAndSurvivesFailures) {
    KvCapturedLog log;
    KvHandle<RecordingDispatcher> dispatcher(new RecordingDispatcher);
    dispatcher->fork();
    dispatcher->put(new NumberedEvent(1));
    dispatcher->put(new NumberedEvent(-1));
    dispatcher->put(new NumberedEvent(2));
    dispatcher->put(new NumberedEvent(-2));
    for (int i = 3; i < 1000; ++i)
        dispatcher->put(new NumberedEvent(i));
    ASSERT_TRUE(waitUntil([&] { return dispatcher->seen().size() == 999; }));
    std::vector<int> seen = dispatcher->seen();
    for (int i = 0; i < 999; ++i)
        ASSERT_EQ(i + 1, seen[i]);
    EXPECT_TRUE(dispatcher->threadOk());
    EXPECT_TRUE(log.contains("catch exception in KvDispatcherThread::run(): bad event\n"));
    EXPECT_TRUE(log.contains("catch exception in KvDispatcherThread::run(): foreign failure\n"));
    dispatcher->stop();
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getState() == KvThread::DETACHED; }));
}

TEST(KvDispatcherThread, StopEndsADispatcherWaitingOnAnEmptyQueue) {
    KvHandle<RecordingDispatcher> dispatcher(new RecordingDispatcher);
    dispatcher->fork();
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getState() == KvThread::RUNNING; }));
    dispatcher->stop();
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getState() == KvThread::DETACHED; }));
    EXPECT_TRUE(dispatcher->seen().empty());
    // Its pool let go of it: ours is the last handle.
    EXPECT_EQ(1, dispatcher->getRefCount());
}

TEST(KvDispatcherThread, StopReleasesASenderBlockedOnAFullQueueAndRefusesLaterPuts) {
    Gate gate;
    KvHandle<GatedDispatcher> dispatcher(new GatedDispatcher(gate));
    dispatcher->fork();
    // The dispatcher holds event 0 at the gate; 4096 more fill its queue.
    dispatcher->put(new NumberedEvent(0));
    ASSERT_TRUE(waitUntil([&] { return dispatcher->m_holding.load(); }));
    for (int i = 1; i <= static_cast<int>(KvDispatchQueue::kSlotCount); ++i)
        ASSERT_TRUE(dispatcher->put(new CountedEvent(i)));
    std::atomic<int> result{-1};
    std::thread sender([&] { result = dispatcher->put(new CountedEvent(-3)) ? 1 : 0; });
    dispatcher->stop();
    bool returned = waitUntil([&] { return result.load() != -1; }, std::chrono::seconds(10));
    if (!returned)
        delete dispatcher->getQueue()->get(); // let the sender go
    sender.join();
    ASSERT_TRUE(returned);
    EXPECT_EQ(0, result.load());
    EXPECT_FALSE(dispatcher->put(new CountedEvent(-4)));
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getState() == KvThread::DETACHED; }));
    // Refused events are freed; queued ones stay queued, in order, none overwritten.
    EXPECT_EQ(static_cast<int>(KvDispatchQueue::kSlotCount), CountedEvent::s_live.load());
    for (int i = 1; i <= static_cast<int>(KvDispatchQueue::kSlotCount); ++i) {
        std::unique_ptr<KvBaseEvent> event(dispatcher->getQueue()->get());
        ASSERT_EQ(i, static_cast<NumberedEvent*>(event.get())->m_number);
    }
    EXPECT_EQ(0, CountedEvent::s_live.load());
}

// Counts its live objects in a counter of the test's.
template <class Base> class Counting : public Base {
public:
    explicit Counting(std::atomic<int>* live) : m_live(live) { m_live->fetch_add(1); }
    ~Counting() override { m_live->fetch_sub(1); }

private:
    std::atomic<int>* m_live;
};

TEST(KvDispatcherThread, OneNeverStartedGoesWithItsLastHandle) {
    // As after a failure between making a dispatcher or scheduler and starting it.
    std::atomic<int> live{0};
    {
        KvHandle<KvDispatcherThread> dispatcher(new Counting<RecordingDispatcher>(&live));
        ASSERT_TRUE(dispatcher->put(new CountedEvent(1)));
        KvHandle<KvMonitorThread> scheduler(new Counting<KvMonitorThread>(&live));
        dispatcher->stop();
    }
    EXPECT_EQ(0, live.load());
    EXPECT_EQ(0, CountedEvent::s_live.load()); // the queue deleted what it held
}

TEST(KvDispatcherThread, AStoppedDispatcherOutlivesTheSendersItReleased) {
    auto* dispatcher = new StoppingDispatcher;
    dispatcher->fork();
    ASSERT_TRUE(dispatcher->put(new NumberedEvent(0)));
    ASSERT_TRUE(waitUntil([&] { return dispatcher->m_holding.load(); }));
    for (int i = 1; i <= static_cast<int>(KvDispatchQueue::kSlotCount); ++i)
        ASSERT_TRUE(dispatcher->put(new CountedEvent(i)));

    // Senders blocked on the full queue: the stop refuses each, and a refused put deletes its
    // event before it leaves.
    constexpr int kSenders = 128;
    std::mutex mutex;
    std::condition_variable changed;
    int sending = 0, returned = 0, refused = 0;
    std::vector<std::thread> senders;
    for (int i = 0; i < kSenders; ++i)
        // Each sender holds the dispatcher from before the stop until its put has returned.
        senders.emplace_back([&, held = KvHandle<StoppingDispatcher>(dispatcher)] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++sending;
            }
            changed.notify_all();
            const bool queued = held->put(new CountedEvent(-1));
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++returned;
                refused += queued ? 0 : 1;
            }
            changed.notify_all();
        });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return sending == kSenders; });
    }
    dispatcher->stop();
    bool allReturned = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        allReturned =
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return returned == kSenders; });
    }
    for (auto& sender : senders)
        sender.join();
    ASSERT_TRUE(allReturned);
    EXPECT_EQ(kSenders, refused);
    // It went after the last sender had left put, and its queued events with it.
    EXPECT_TRUE(waitUntil([&] { return CountedEvent::s_live.load() == 0; }));
    EXPECT_EQ(static_cast<int>(KvDispatchQueue::kSlotCount), StoppingDispatcher::s_liveAtEnd);
}

TEST(KvDispatcherThread, EachDispatcherIsMadeOnceWhoeverAsksFirst) {
    std::vector<std::thread> threads;
    std::vector<KvTCPIDispatcher*> seen(8, nullptr);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[i] = KvTCPIDispatcher::instance(); });
    for (auto& t : threads)
        t.join();
    for (KvTCPIDispatcher* one : seen)
        EXPECT_EQ(seen[0], one);
    EXPECT_EQ(seen[0]->getQueue(), KvTCPIDispatcher::getInstanceQueue());
    EXPECT_EQ(10u, seen[0]->getPool()->getMaximum());
    EXPECT_EQ(0u, KvTCPODispatcher::instance()->getPool()->getMaximum());
    EXPECT_EQ(0u, KvUDPODispatcher::instance()->getPool()->getMaximum());
    EXPECT_EQ(10u, KvUDPIDispatcher::instance()->getPool()->getMaximum());
    EXPECT_EQ(10u, KvTimerDispatcher::instance()->getPool()->getMaximum());
}

TEST(KvDispatcherThread, IncomingEventsRunOnPoolWorkers) {
    KvHandle<KvObject> argument(new KvObject);

    KvHandle<JobObserver> datagramObserver(new JobObserver);
    KvUDPIDispatcher::instance()->put(new KvUDPEvent(datagramObserver, argument));
    ASSERT_TRUE(waitUntil([&] { return datagramObserver->m_done.load(); }));
    EXPECT_EQ(nullptr, datagramObserver->m_source.load());
    EXPECT_EQ(argument.get(), datagramObserver->m_argument.load());
    EXPECT_NE(nullptr, dynamic_cast<KvWorkerThread*>(datagramObserver->m_thread.load()));

    // TCP input notifies the observable's observer, naming the observable as the source.
    KvHandle<KvObservable> connection(new KvObservable);
    KvHandle<JobObserver> connectionObserver(new JobObserver);
    connection->attachObserver(connectionObserver);
    KvTCPIDispatcher::instance()->put(new KvTCPEvent(connection, argument));
    ASSERT_TRUE(waitUntil([&] { return connectionObserver->m_done.load(); }));
    EXPECT_EQ(connection.get(), connectionObserver->m_source.load());
    EXPECT_EQ(argument.get(), connectionObserver->m_argument.load());
    EXPECT_NE(nullptr, dynamic_cast<KvWorkerThread*>(connectionObserver->m_thread.load()));
    connection->detachObserver(connectionObserver.get());

    // The events have been deleted: they no longer hold the argument.
    ASSERT_TRUE(waitUntil([&] { return argument->getRefCount() == 1; }));
}

TEST(KvDispatcherThread, TheEleventhJobRunsOnTheDispatcherWhileTenWorkersAreBusy) {
    KvTimerDispatcher* dispatcher = KvTimerDispatcher::instance();
    Gate workersGate, dispatcherGate;
    std::vector<KvHandle<JobObserver>> busy;
    for (int i = 0; i < 10; ++i) {
        busy.emplace_back(new JobObserver([&] { workersGate.wait(); }));
        dispatcher->put(new KvTimerEvent(busy.back(), KvHandle<KvObject>()));
    }
    ASSERT_TRUE(waitUntil([&] {
        for (auto& job : busy)
            if (!job->m_thread)
                return false;
        return true;
    }));
    KvHandle<JobObserver> eleventh(new JobObserver([&] { dispatcherGate.wait(); }));
    dispatcher->put(new KvTimerEvent(eleventh, KvHandle<KvObject>()));
    ASSERT_TRUE(waitUntil([&] { return eleventh->m_thread.load() != nullptr; }));
    EXPECT_EQ(dispatcher, eleventh->m_thread.load());

    // While the dispatcher runs a job the queue takes the events that come meanwhile.
    KvHandle<JobObserver> twelfth(new JobObserver);
    dispatcher->put(new KvTimerEvent(twelfth, KvHandle<KvObject>()));
    EXPECT_EQ(1u, dispatcher->getQueue()->getCount());
    dispatcherGate.open();
    ASSERT_TRUE(waitUntil([&] { return twelfth->m_done.load(); }));
    EXPECT_EQ(dispatcher, twelfth->m_thread.load());

    workersGate.open();
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getPool()->getIdleCount() == 10; }));
    KvHandle<JobObserver> after(new JobObserver);
    dispatcher->put(new KvTimerEvent(after, KvHandle<KvObject>()));
    ASSERT_TRUE(waitUntil([&] { return after->m_done.load(); }));
    EXPECT_NE(nullptr, dynamic_cast<KvWorkerThread*>(after->m_thread.load()));
}

TEST(KvDispatcherThread, OutgoingTcpDataIsSentInQueueOrder) {
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<KvClientSocket> client(new KvClientSocket(loopback(), boundPort(*server)));
    KvHandle<KvClientSocket> accepted = server->accept();
    KvTCPODispatcher* dispatcher = KvTCPODispatcher::instance();
    // A send that fails drops that event's bytes; the events behind it go out as usual.
    KvHandle<KvClientSocket> closed(new KvClientSocket(loopback(), boundPort(*server)));
    closed->close();
    dispatcher->put(new KvTCPEvent(closed, KvByteArray::sFromString("dropped;")));
    std::string expected;
    for (int i = 0; i < 50; ++i) {
        std::string part = "message " + std::to_string(i) + ";";
        expected += part;
        dispatcher->put(new KvTCPEvent(client, KvByteArray::sFromString(part.c_str())));
    }
    // Events of the wrong kind or with nothing to send are skipped.
    dispatcher->put(new KvTCPEvent(client, KvHandle<KvObject>()));
    dispatcher->put(new KvTimerEvent(KvHandle<KvObserver>(), KvHandle<KvObject>()));
    std::string received;
    char buffer[4096];
    while (received.size() < expected.size()) {
        int32_t count = accepted->receive(buffer, sizeof buffer, 0);
        ASSERT_GT(count, 0);
        received.append(buffer, static_cast<size_t>(count));
    }
    EXPECT_EQ(expected, received);
    client->close();
    accepted->close();
    server->close();
}

TEST(KvDispatcherThread, APeerThatStopsReadingHoldsUpNoOtherPeer) {
    kvsock::LogCapture log;
    KvHandle<KvServerSocket> server(new KvServerSocket(0, loopback()));
    KvHandle<KvClientSocket> idlePeer(new KvClientSocket(loopback(), boundPort(*server)));
    KvHandle<KvClientSocket> stalled = server->accept();
    KvHandle<KvClientSocket> otherPeer(new KvClientSocket(loopback(), boundPort(*server)));
    KvHandle<KvClientSocket> other = server->accept();
    stalled->setSendTimeout(300);
    // The stalled connection's reader, to be told when the connection ends.
    KvHandle<kvsock::Collector> reader(new kvsock::Collector);
    stalled->getInputStream()->attachObserver(reader);
    KvHandle<KvObserverThread> readThread = KvObserverThread::sStart(stalled);

    // More than the two sides' buffers hold: the send stalls once they are full.
    KvTCPODispatcher* dispatcher = KvTCPODispatcher::instance();
    dispatcher->put(new KvTCPEvent(stalled, KvByteArray::sCreate(8 * 1024 * 1024)));
    dispatcher->put(new KvTCPEvent(stalled, KvByteArray::sFromString("dropped")));
    dispatcher->put(new KvTCPEvent(other, KvByteArray::sFromString("hello")));
    ASSERT_TRUE(waitUntil([&] { return otherPeer->available() == 4; }, std::chrono::seconds(10)));
    char buffer[8];
    EXPECT_EQ(otherPeer->receive(buffer, 5, 0), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(stalled->getHandle(), kKvInvalidSocket);
    EXPECT_TRUE(waitUntil([&] { return reader->nullCount() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return readThread->getState() == KvThread::DETACHED; }));
    EXPECT_TRUE(log.contains("did not take a message of 8388608 bytes within 300 ms; closing the "
                             "connection"));
    idlePeer->close();
    other->close();
    otherPeer->close();
    server->close();
}

TEST(KvDispatcherThread, OutgoingDatagramsLeaveFromTheDispatchersSocket) {
    KvUDPODispatcher* dispatcher = KvUDPODispatcher::instance();
    KvHandle<KvDatagramSocket> receiver(new KvDatagramSocket(0, loopback(), false, 2048));
    auto send = [&](const char* text) {
        KvHandle<KvDatagramPacket> packet(new KvDatagramPacket(KvByteArray::sFromString(text), 0, 0,
                                                               loopback(), boundPort(*receiver)));
        dispatcher->put(new KvUDPEvent(KvHandle<KvObserver>(), packet));
    };
    auto receive = [&](uint32_t& fromPort) {
        KvHandle<KvDatagramPacket> packet(
            new KvDatagramPacket(KvByteArray::sCreate(2048), 0, 0, KvInetAddress(), 0));
        receiver->receive(*packet);
        fromPort = packet->getPort();
        return std::string(packet->getData()->getData(), packet->getLength());
    };

    // Without a socket of its own the dispatcher makes one, bound to an ephemeral port.
    send("first");
    uint32_t fromPort = 0;
    EXPECT_EQ("first", receive(fromPort));
    KvHandle<KvDatagramSocket> made = dispatcher->getSocket();
    ASSERT_FALSE(made.isNull());
    EXPECT_NE(0u, boundPort(*made));
    EXPECT_EQ(boundPort(*made), fromPort);

    // A socket set later takes over, and the one used so far is closed.
    KvHandle<KvDatagramSocket> listening(new KvDatagramSocket(0, loopback(), false, 2048));
    dispatcher->setSocket(KvHandle<KvDatagramSocket>());
    EXPECT_EQ(made.get(), dispatcher->getSocket().get());
    dispatcher->setSocket(listening);
    EXPECT_EQ(-1, static_cast<int64_t>(made->getHandle()));
    send("second");
    EXPECT_EQ("second", receive(fromPort));
    EXPECT_EQ(boundPort(*listening), fromPort);
    receiver->close();
}
