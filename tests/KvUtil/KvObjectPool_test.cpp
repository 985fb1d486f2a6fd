// Counted objects come from per-thread caches: they may be released on any thread, also after
// the thread that made them has ended, and during a thread's own exit.
#include "KvObjectPool.h"
#include "KvStringBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

TEST(KvObjectPool, ObjectsOutliveAndCrossTheirThreads) {
    std::vector<KvString> made;
    std::thread maker([&] {
        for (int i = 0; i < 1000; ++i)
            made.emplace_back(("text " + std::to_string(i) + std::string(i % 300, 'x')).c_str());
    });
    maker.join();
    // Released here, and some on a third thread, into caches that never gave them out.
    std::thread releaser([&] {
        for (size_t i = 0; i < made.size(); i += 2)
            made[i] = KvString();
    });
    releaser.join();
    for (size_t i = 1; i < made.size(); i += 2) {
        const std::string expected = "text " + std::to_string(i) + std::string(i % 300, 'x');
        EXPECT_EQ(std::string(made[i].c_str()), expected);
        made[i] = KvString();
    }
    // And made again from what came back.
    KvString again("again");
    EXPECT_STREQ(again.c_str(), "again");
}

namespace {
thread_local KvString tLateHolder;
} // namespace

TEST(KvObjectPool, ReleaseDuringThreadExit) {
    // Made before the thread's first pool use, so it goes after the cache has been emptied at the
    // thread's end: its string must then go straight to the allocator.
    std::thread worker([] {
        KvString& holder = tLateHolder; // made here, before the cache is first used
        holder = KvString("held until the thread ends");
        uint64_t before = KvObjectPool::takenBlocks();
        KvString other("another");
        EXPECT_EQ(KvObjectPool::takenBlocks(), before + 1);
    });
    worker.join();
}
