#include "KvThreadTestSupport.h"

#include "KvBaseEvent.h"
#include "KvDispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using kvtest::FunctionThread;
using kvtest::waitUntil;

namespace {

std::atomic<int> g_liveEvents{0};

// An event that carries a producer and a sequence number and counts the live ones.
class NumberedEvent : public KvBaseEvent {
public:
    NumberedEvent(int producer, int number) : m_producer(producer), m_number(number) {
        g_liveEvents.fetch_add(1);
    }
    ~NumberedEvent() override { g_liveEvents.fetch_sub(1); }
    int m_producer;
    int m_number;
};

int numberOf(KvBaseEvent* event) {
    std::unique_ptr<KvBaseEvent> owned(event);
    auto* numbered = dynamic_cast<NumberedEvent*>(event);
    return numbered ? numbered->m_number : -1;
}

// Runs the function on a stack thread and waits for it to end.
void runOnStackThread(std::function<void(FunctionThread&)> body) {
    KvHandle<FunctionThread> thread(new FunctionThread(std::move(body)));
    thread->fork();
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
}

} // namespace

TEST(KvDispatchQueue, KeepsOrderAcrossTheWrapOfTheRing) {
    int live = g_liveEvents.load();
    for (bool locked : {false, true}) {
        KvDispatchQueue queue(locked);
        EXPECT_EQ(locked, queue.isLocked());
        int next = 0;
        int expected = 0;
        // Batches of 3000 move the indexes past 4095 and back to 0 several times.
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 3000; ++i)
                ASSERT_TRUE(queue.put(new NumberedEvent(0, next++)));
            EXPECT_EQ(3000u, queue.getCount());
            for (int i = 0; i < 3000; ++i)
                ASSERT_EQ(expected++, numberOf(queue.get()));
            EXPECT_EQ(0u, queue.getCount());
        }
        EXPECT_FALSE(queue.put(nullptr));
    }
    EXPECT_EQ(live, g_liveEvents.load());
}

TEST(KvDispatchQueue, TheOneMorePutThanSlotsWaitsForAGet) {
    KvDispatchQueue queue(true);
    std::atomic<int> stored{0};
    std::thread producer([&] {
        for (int i = 0; i <= static_cast<int>(KvDispatchQueue::kSlotCount); ++i) {
            queue.put(new NumberedEvent(0, i));
            stored.fetch_add(1);
        }
    });
    ASSERT_TRUE(waitUntil([&] { return stored.load() == 4096; }));
    // Not a measurement: the extra put has had ample time to (wrongly) get through.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(4096, stored.load());
    EXPECT_EQ(4096u, queue.getCount());
    EXPECT_EQ(0, numberOf(queue.get()));
    ASSERT_TRUE(waitUntil([&] { return stored.load() == 4097; }));
    producer.join();
    EXPECT_EQ(4096u, queue.getCount());
    for (int i = 1; i <= 4096; ++i)
        ASSERT_EQ(i, numberOf(queue.get()));
}

TEST(KvDispatchQueue, APutFromAnExitingThreadStoresNothingAndLosesNothing) {
    int live = g_liveEvents.load();
    KvDispatchQueue queue(false);
    std::atomic<bool> result{true};
    runOnStackThread([&](FunctionThread& self) {
        self.stop();
        result = queue.put(new NumberedEvent(0, 1));
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(0u, queue.getCount());
    EXPECT_EQ(live, g_liveEvents.load()); // refused, and deleted rather than leaked
    // The refused put gave its slot back: the ring still holds 4096.
    for (int i = 0; i < 4096; ++i)
        ASSERT_TRUE(queue.put(new NumberedEvent(0, i)));
    EXPECT_EQ(4096u, queue.getCount());
}

TEST(KvDispatchQueue, AGetFromAnExitingThreadLeavesTheEventQueued) {
    KvDispatchQueue queue(false);
    queue.put(new NumberedEvent(0, 7));
    std::atomic<bool> gotNull{false};
    runOnStackThread([&](FunctionThread& self) {
        self.stop();
        gotNull = queue.get() == nullptr;
    });
    EXPECT_TRUE(gotNull);
    EXPECT_EQ(1u, queue.getCount());
    // The event is still there and still counted: a later get receives it.
    EXPECT_EQ(7, numberOf(queue.get()));
}

TEST(KvDispatchQueue, WakeEndsTheWaitOfAStoppedConsumer) {
    KvDispatchQueue queue(false);
    std::atomic<bool> waiting{false};
    std::atomic<bool> gotNull{false};
    KvHandle<FunctionThread> consumer(new FunctionThread([&](FunctionThread&) {
        waiting = true;
        gotNull = queue.get() == nullptr;
    }));
    consumer->fork();
    ASSERT_TRUE(waitUntil([&] { return waiting.load(); }));
    consumer->stop();
    queue.wake();
    ASSERT_TRUE(waitUntil([&] { return consumer->getState() == KvThread::DETACHED; }));
    EXPECT_TRUE(gotNull);
}

TEST(KvDispatchQueue, WakeNeverHandsOutAnEmptyOrOverwrittenSlot) {
    int live = g_liveEvents.load();
    KvDispatchQueue queue(true);
    // An empty ring woken for a consumer that goes on: it must wait for a real event.
    std::atomic<int> received{-2};
    std::thread consumer([&] { received = numberOf(queue.get()); });
    queue.wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(-2, received.load());
    queue.put(new NumberedEvent(0, 42));
    consumer.join();
    EXPECT_EQ(42, received.load());

    // A full ring woken for a producer that goes on: it must not overwrite the oldest event.
    for (int i = 0; i < 4096; ++i)
        queue.put(new NumberedEvent(0, i));
    queue.wake();
    std::atomic<bool> stored{false};
    std::thread producer([&] {
        queue.put(new NumberedEvent(0, 4096));
        stored = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(stored);
    for (int i = 0; i <= 4096; ++i)
        ASSERT_EQ(i, numberOf(queue.get()));
    producer.join();
    EXPECT_EQ(0u, queue.getCount());
    EXPECT_EQ(live, g_liveEvents.load());
}

TEST(KvDispatchQueue, ManyProducersOneConsumerLoseNothing) {
    const int producers = 4;
    const int perProducer = 20000;
    KvDispatchQueue queue(true);
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&queue, p] {
            for (int i = 0; i < perProducer; ++i)
                queue.put(new NumberedEvent(p, i));
        });
    std::vector<int> next(producers, 0);
    for (int n = 0; n < producers * perProducer; ++n) {
        std::unique_ptr<KvBaseEvent> event(queue.get());
        auto* numbered = dynamic_cast<NumberedEvent*>(event.get());
        ASSERT_NE(nullptr, numbered);
        // Each producer's events arrive in the order it put them.
        ASSERT_EQ(next[numbered->m_producer]++, numbered->m_number);
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0u, queue.getCount());
}

TEST(KvDispatchQueue, DestroyingAQueueDeletesWhatItHolds) {
    int live = g_liveEvents.load();
    {
        KvDispatchQueue queue(false);
        for (int i = 0; i < 10; ++i)
            queue.put(new NumberedEvent(0, i));
        numberOf(queue.get());
    }
    EXPECT_EQ(live, g_liveEvents.load());
}

TEST(KvDispatchQueue, EventsHoldTheirObjectsUntilDeleted) {
    KvHandle<KvObserver> observer(new KvObserver);
    KvHandle<KvObject> argument(new KvObject);
    auto* udp = new KvUDPEvent(observer, argument);
    auto* tcp = new KvTCPEvent(KvHandle<KvObject>(observer), argument);
    auto* timer = new KvTimerEvent(observer, argument);
    EXPECT_EQ(4, observer->getRefCount());
    EXPECT_EQ(4, argument->getRefCount());
    EXPECT_EQ(observer.get(), tcp->m_first.get());
    EXPECT_EQ(argument.get(), tcp->m_second.get());
    KvBaseEvent* events[] = {udp, tcp, timer};
    for (KvBaseEvent* event : events)
        delete event;
    EXPECT_EQ(1, observer->getRefCount());
    EXPECT_EQ(1, argument->getRefCount());
}
