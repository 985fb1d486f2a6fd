#include "KvThreadTestSupport.h"

#include "KvMonitorThread.h"
#include "KvTime.h"
#include "KvTimer.h"
#include "KvTimerDispatcher.h"
#include "KvWorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using kvtest::Gate;
using kvtest::waitUntil;

namespace {

// An observer that counts its updates and remembers the last argument and thread.
class CountingObserver : public KvObserver {
public:
    explicit CountingObserver(std::function<void(KvHandle<KvObject>)> job = {})
        : m_job(std::move(job)) {}
    void update(KvHandle<KvObject>, KvHandle<KvObject> argument) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_argument = argument;
        }
        m_thread = KvThread::currentThread();
        if (m_job)
            m_job(argument);
        m_count.fetch_add(1);
    }
    KvHandle<KvObject> argument() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_argument;
    }
    std::function<void(KvHandle<KvObject>)> m_job;
    std::mutex m_mutex;
    KvHandle<KvObject> m_argument;
    std::atomic<KvThread*> m_thread{nullptr};
    std::atomic<int> m_count{0};
};

// A counted integer, to tell timers apart.
class Number : public KvObject {
public:
    explicit Number(int value) : m_value(value) {}
    int m_value;
};

} // namespace

TEST(KvTime, FollowsTheWallClockAndNeverGoesBack) {
    auto wall = std::chrono::system_clock::now().time_since_epoch();
    uint64_t wallMicros = 11644473600ull * 1000000ull +
                          std::chrono::duration_cast<std::chrono::microseconds>(wall).count();
    KvTime first = KvTime::now();
    // Within a minute of the wall clock, counted from 1601.
    EXPECT_LT(std::llabs(static_cast<long long>(first.get() - wallMicros)), 60ll * 1000000);
    KvTime previous = first;
    for (int i = 0; i < 1000; ++i) {
        KvTime next = KvTime::now();
        ASSERT_GE(next - previous, 0);
        previous = next;
    }
    KvTime later = first + 1500;
    EXPECT_EQ(1500, later - first);
    EXPECT_EQ(-1500, first - later);
    EXPECT_EQ(first.get() + 1500, later.get());
    EXPECT_EQ(0u, KvTime().get());

    KvTimer timer(0x123456789ABCDEF0ull);
    EXPECT_EQ(0x123456789ABCDEF0ull, timer.getId());
}

TEST(KvTimerQueue, OrdersByDueTimeAndKeepsSchedulingOrderForEqualTimes) {
    KvTimerQueue queue(nullptr);
    KvHandle<KvObserver> a(new KvObserver), b(new KvObserver), c(new KvObserver);
    KvTime base(1000000);
    EXPECT_TRUE(queue.insert(base + 5000, a, new Number(1)));
    EXPECT_FALSE(queue.insert(base + 5000, b, new Number(2))); // equal: no earlier
    EXPECT_FALSE(queue.insert(base + 9000, c, new Number(3)));
    EXPECT_TRUE(queue.insert(base + 1000, c, new Number(0)));
    EXPECT_EQ(4u, queue.size());

    KvTime due;
    KvTimerQueue::Entry entry;
    // Not due yet: how long until it is. Due within a millisecond: taken.
    EXPECT_EQ(1500, queue.takeDue(KvTime(base.get() - 500), due, entry));
    std::vector<int> order;
    KvTime now = base + 10000;
    while (queue.takeDue(now, due, entry) == 0)
        order.push_back(static_cast<Number*>(entry.argument.get())->m_value);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), order);
    EXPECT_EQ(-1, queue.takeDue(now, due, entry));
    EXPECT_EQ(base + 9000, due);
}

TEST(KvTimerQueue, CancelRemovesByIdAndObserver) {
    KvTimerQueue queue(nullptr);
    KvHandle<KvObserver> a(new KvObserver), b(new KvObserver), other(new KvObserver);
    KvTime due(5000000);
    queue.insert(due, a, KvHandle<KvObject>());
    queue.insert(due, b, KvHandle<KvObject>());
    queue.insert(due, a, KvHandle<KvObject>());
    queue.insert(due + 1, a, KvHandle<KvObject>());

    EXPECT_FALSE(queue.remove(a, 0));
    EXPECT_FALSE(queue.remove(other, due.get()));
    EXPECT_FALSE(queue.remove(a, due.get() + 2));
    EXPECT_TRUE(queue.remove(a, due.get())); // the first of a's two
    EXPECT_EQ(3u, queue.size());
    // Without an observer the whole run of that id goes, and an empty run still answers true.
    EXPECT_TRUE(queue.remove(KvHandle<KvObserver>(), due.get()));
    EXPECT_EQ(1u, queue.size());
    EXPECT_TRUE(queue.remove(KvHandle<KvObserver>(), due.get()));
    EXPECT_EQ(1u, queue.size());
    // The queue let go of the removed entries' observers.
    EXPECT_EQ(1, b->getRefCount());
    EXPECT_EQ(2, a->getRefCount());
}

TEST(KvMonitorThread, WaitsUntilTheNextDueTimeAndWithoutLimitWhenNothingIsPending) {
    EXPECT_EQ(KV_INFINITE, KvMonitorThread::sWaitTime(0));
    // Due within a few milliseconds: the quotient, and never less than 1 ms.
    EXPECT_EQ(1u, KvMonitorThread::sWaitTime(1500));
    EXPECT_EQ(1u, KvMonitorThread::sWaitTime(1001));
    EXPECT_EQ(2u, KvMonitorThread::sWaitTime(2999));
    EXPECT_EQ(3600000u, KvMonitorThread::sWaitTime(3600000000ll));
    // Far away, yet still a limited wait.
    EXPECT_EQ(KV_INFINITE - 1, KvMonitorThread::sWaitTime(int64_t(KV_INFINITE) * 1000));
    EXPECT_EQ(KV_INFINITE - 1, KvMonitorThread::sWaitTime(INT64_MAX));
}

TEST(KvMonitorThread, AnIdleSchedulerSleepsUntilATimerIsScheduled) {
    KvHandle<KvMonitorThread> scheduler(new KvMonitorThread);
    scheduler->fork();
    // Nothing pending: it sleeps, and only a schedule wakes it.
    ASSERT_TRUE(waitUntil([&] { return scheduler->getState() == KvThread::BLOCKED; }));
    KvHandle<CountingObserver> later(new CountingObserver);
    KvHandle<CountingObserver> now(new CountingObserver);
    uint64_t laterId =
        KvMonitorThread::forwardSchedule(scheduler.get(), 3600000, later, KvHandle<KvObject>());
    KvMonitorThread::forwardSchedule(scheduler.get(), 0, now, KvHandle<KvObject>());
    ASSERT_TRUE(waitUntil([&] { return now->m_count.load() == 1; }));
    EXPECT_EQ(1u, scheduler->getPendingCount());
    EXPECT_TRUE(scheduler->cancel(later, laterId));
    EXPECT_EQ(0u, scheduler->getPendingCount());
    // Stopped, it lets go of itself: ours is the last handle.
    scheduler->stop();
    ASSERT_TRUE(waitUntil([&] { return scheduler->getState() == KvThread::DETACHED; }));
    EXPECT_EQ(1, scheduler->getRefCount());
    EXPECT_EQ(0, later->m_count.load());
}

TEST(KvMonitorThread, ADueTimerUpdatesItsObserverOnAPoolWorker) {
    KvHandle<CountingObserver> observer(new CountingObserver);
    uint64_t id = KvMonitorThread::scheduleTimer(0, observer);
    EXPECT_NE(0u, id);
    ASSERT_TRUE(waitUntil([&] { return observer->m_count.load() == 1; }));
    // Scheduled without an argument: the observer gets a KvTimer carrying the id.
    auto* timer = dynamic_cast<KvTimer*>(observer->argument().get());
    ASSERT_NE(nullptr, timer);
    EXPECT_EQ(id, timer->getId());
    EXPECT_NE(nullptr, dynamic_cast<KvWorkerThread*>(observer->m_thread.load()));
    // A timer that has fired is gone.
    EXPECT_FALSE(KvMonitorThread::cancelTimer(observer, id));

    KvHandle<KvObject> argument(new Number(5));
    KvMonitorThread::scheduleTimer(1, observer, argument);
    ASSERT_TRUE(waitUntil([&] { return observer->m_count.load() == 2; }));
    EXPECT_EQ(argument.get(), observer->argument().get());
}

TEST(KvMonitorThread, ASchedulerAndADispatcherStoppedBeforeTheyRanAreReplaced) {
    // Stopped right after they were made: neither body has started yet.
    KvMonitorThread::instance()->stop();
    KvTimerDispatcher::instance()->stop();
    KvHandle<CountingObserver> observer(new CountingObserver);
    KvMonitorThread::scheduleTimer(1, observer);
    EXPECT_TRUE(waitUntil([&] { return observer->m_count.load() == 1; }, std::chrono::seconds(10)));
}

TEST(KvMonitorThread, IsOnePerProcessAndItsOwnOnItsThread) {
    std::vector<std::thread> threads;
    std::vector<KvMonitorThread*> seen(8, nullptr);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[i] = KvMonitorThread::instance(); });
    for (auto& t : threads)
        t.join();
    for (KvMonitorThread* one : seen)
        EXPECT_EQ(seen[0], one);
    EXPECT_EQ(seen[0], KvMonitorThread::instance());
}

TEST(KvMonitorThread, AShortTimerScheduledAfterALongOneFiresFirst) {
    KvHandle<CountingObserver> longOne(new CountingObserver);
    KvHandle<CountingObserver> shortOne(new CountingObserver);
    uint64_t longId = KvMonitorThread::scheduleTimer(10000, longOne);
    uint64_t shortId = KvMonitorThread::scheduleTimer(10, shortOne);
    EXPECT_LT(shortId, longId);
    ASSERT_TRUE(waitUntil([&] { return shortOne->m_count.load() == 1; }));
    EXPECT_EQ(0, longOne->m_count.load());
    EXPECT_TRUE(KvMonitorThread::cancelTimer(longOne, longId));
    EXPECT_FALSE(KvMonitorThread::cancelTimer(longOne, longId));
}

TEST(KvMonitorThread, TimersFireInSchedulingOrder) {
    // Ten workers held busy and the dispatcher held by an eleventh job: what fires meanwhile
    // waits in the dispatcher's queue and then runs, one by one, on the dispatcher thread.
    KvTimerDispatcher* dispatcher = KvTimerDispatcher::instance();
    // Every worker of earlier jobs back on the idle stack, so that the eleventh job is the first
    // to find none.
    KvThreadPool* pool = dispatcher->getPool();
    ASSERT_TRUE(waitUntil([&] { return pool->getIdleCount() == pool->getWorkerCount(); }));
    Gate workers, dispatcherGate;
    std::atomic<int> blocked{0};
    std::vector<KvHandle<CountingObserver>> blockers;
    for (int i = 0; i < 11; ++i) {
        blockers.emplace_back(new CountingObserver([&](KvHandle<KvObject>) {
            blocked.fetch_add(1);
            if (KvThread::currentThread() == dispatcher)
                dispatcherGate.wait();
            else
                workers.wait();
        }));
        KvMonitorThread::scheduleTimer(0, blockers.back());
    }
    ASSERT_TRUE(waitUntil([&] { return blocked.load() == 11; }));

    std::mutex mutex;
    std::vector<int> order;
    KvHandle<CountingObserver> recorder(new CountingObserver([&](KvHandle<KvObject> argument) {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(static_cast<Number*>(argument.get())->m_value);
    }));
    const int count = 40;
    for (int i = 0; i < count; ++i)
        KvMonitorThread::scheduleTimer(i < 20 ? 1000 : 0, recorder, new Number(i));
    ASSERT_TRUE(waitUntil([&] { return dispatcher->getQueue()->getCount() == count; }));
    dispatcherGate.open();
    ASSERT_TRUE(waitUntil([&] { return recorder->m_count.load() == count; }));
    workers.open();
    std::vector<int> expected;
    for (int i = 20; i < count; ++i) // due at once: scheduled later but due earlier
        expected.push_back(i);
    for (int i = 0; i < 20; ++i)
        expected.push_back(i);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(expected, order);
}

TEST(KvMonitorThread, ObserversMayScheduleAndCancelFromTheirUpdate) {
    std::atomic<int> chain{0};
    KvHandle<CountingObserver> observer;
    observer = new CountingObserver([&](KvHandle<KvObject>) {
        if (chain.fetch_add(1) < 4) {
            uint64_t spare = KvMonitorThread::scheduleTimer(60000, observer);
            KvMonitorThread::cancelTimer(observer, spare);
            KvMonitorThread::scheduleTimer(1, observer);
        }
    });
    KvMonitorThread::scheduleTimer(0, observer);
    ASSERT_TRUE(waitUntil([&] { return observer->m_count.load() == 5; }));
}

TEST(KvMonitorThread, ManyThreadsSchedulingAndCancellingFireEachSurvivorExactlyOnce) {
    const int threadCount = 8;
    const int perThread = 10000;
    struct Timer {
        KvHandle<CountingObserver> observer;
        bool cancelled = false;
    };
    std::vector<std::vector<Timer>> timers(threadCount, std::vector<Timer>(perThread));
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&timers, t] {
            for (int i = 0; i < perThread; ++i) {
                Timer& timer = timers[t][i];
                timer.observer = new CountingObserver;
                uint64_t id = KvMonitorThread::scheduleTimer(i % 20, timer.observer);
                if (i % 2 == 0)
                    timer.cancelled = KvMonitorThread::cancelTimer(timer.observer, id);
            }
        });
    for (auto& t : threads)
        t.join();
    int survivors = 0;
    for (auto& row : timers)
        for (auto& timer : row)
            survivors += timer.cancelled ? 0 : 1;
    EXPECT_GE(survivors, threadCount * perThread / 2);
    auto fired = [&] {
        int total = 0;
        for (auto& row : timers)
            for (auto& timer : row)
                total += timer.observer->m_count.load();
        return total;
    };
    ASSERT_TRUE(waitUntil([&] { return fired() >= survivors; }, std::chrono::seconds(60)));
    // A last timer due after all the others: once it has fired, nothing else is pending.
    KvHandle<CountingObserver> last(new CountingObserver);
    KvMonitorThread::scheduleTimer(30, last);
    ASSERT_TRUE(waitUntil([&] { return last->m_count.load() == 1; }));
    for (auto& row : timers)
        for (auto& timer : row)
            ASSERT_EQ(timer.cancelled ? 0 : 1, timer.observer->m_count.load());
}
