#include "KvPlatformThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

TEST(KvPlatformEvent, SignalIsKeptUntilOneWaitTakesIt) {
    KvPlatformEvent event;
    EXPECT_EQ(KvPlatformEvent::TIMED_OUT, event.wait(0));
    event.set();
    event.set(); // a second signal before the wait adds nothing
    EXPECT_EQ(KvPlatformEvent::SIGNALLED, event.wait(0));
    EXPECT_EQ(KvPlatformEvent::TIMED_OUT, event.wait(0));
    EXPECT_EQ(KvPlatformEvent::TIMED_OUT, event.wait(1));
}

TEST(KvPlatformEvent, SetFromAnotherThreadEndsAnUnlimitedWait) {
    KvPlatformEvent event;
    std::thread setter([&] { event.set(); });
    EXPECT_EQ(KvPlatformEvent::SIGNALLED, event.wait(KV_INFINITE));
    setter.join();
}

TEST(KvPlatformSemaphore, CountsAndRefusesToPassItsMaximum) {
    KvPlatformSemaphore semaphore(1, 2);
    EXPECT_TRUE(semaphore.release());
    EXPECT_FALSE(semaphore.release());
    EXPECT_FALSE(semaphore.release(0));
    EXPECT_EQ(2, semaphore.getCount());
    EXPECT_TRUE(semaphore.tryAcquire());
    EXPECT_TRUE(semaphore.tryAcquire());
    EXPECT_FALSE(semaphore.tryAcquire());
    EXPECT_FALSE(semaphore.release(3));
    EXPECT_TRUE(semaphore.release(2));
    EXPECT_EQ(2, semaphore.getCount());
}

TEST(KvPlatformSemaphore, AcquireWaitsForRelease) {
    KvPlatformSemaphore semaphore(0, 100);
    std::atomic<int> taken{0};
    std::vector<std::thread> takers;
    for (int i = 0; i < 4; ++i)
        takers.emplace_back([&] {
            for (int j = 0; j < 1000; ++j) {
                semaphore.acquire();
                taken.fetch_add(1);
            }
        });
    for (int i = 0; i < 4000; ++i) {
        while (!semaphore.release())
            std::this_thread::yield();
    }
    for (auto& t : takers)
        t.join();
    EXPECT_EQ(4000, taken.load());
    EXPECT_EQ(0, semaphore.getCount());
}

TEST(KvPlatformThread, StartedThreadsRunWithTheirOwnIds) {
    struct Shared {
        std::atomic<int> done{0};
        std::mutex mutex;
        std::set<uint32_t> ids;
    } shared;
    auto entry = [](void* raw) {
        auto* s = static_cast<Shared*>(raw);
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            s->ids.insert(kvCurrentThreadId());
        }
        s->done.fetch_add(1);
    };
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(kvStartThread(entry, &shared));
    while (shared.done.load() < 8)
        kvYield();
    std::lock_guard<std::mutex> lock(shared.mutex);
    EXPECT_EQ(0u, shared.ids.count(kvCurrentThreadId()));
    EXPECT_GE(shared.ids.size(), 1u);
    EXPECT_EQ(kvCurrentThreadId(), kvCurrentThreadId());
}

TEST(KvPlatformClock, WallClockIsCountedFrom1601) {
    // 2020-01-01 is 13,222,598,400 s after 1601-01-01.
    EXPECT_GT(kvSystemTimeMicroseconds(), 13222598400ull * 1000000ull);
    uint64_t first = kvSteadyMicroseconds();
    EXPECT_LE(first, kvSteadyMicroseconds());
}
