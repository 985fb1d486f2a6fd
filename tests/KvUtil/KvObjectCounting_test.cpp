// Counting across threads, and permanent objects (shared static tokens), which are never counted
// nor deleted.
#include "KvObject.h"
#include "KvStringBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_deleted{0};

class Tracked : public KvObject {
public:
    ~Tracked() override { g_deleted.fetch_add(1); }
};

} // namespace

TEST(KvObjectCounting, SoleAndSharedHoldersCountAlike) {
    g_deleted = 0;
    auto* object = new Tracked;
    EXPECT_EQ(object->addReference(), 1);
    EXPECT_EQ(object->addReference(), 2);
    EXPECT_EQ(object->removeReference(true), 1);
    EXPECT_EQ(g_deleted.load(), 0);
    EXPECT_EQ(object->addReference(), 2);
    EXPECT_EQ(object->removeReference(false), 1);
    EXPECT_EQ(object->removeReference(false), 0); // the last holder, but no delete asked
    EXPECT_EQ(g_deleted.load(), 0);
    EXPECT_EQ(object->addReference(), 1);
    EXPECT_EQ(object->removeReference(true), 0);
    EXPECT_EQ(g_deleted.load(), 1);
}

TEST(KvObjectCounting, HandsOverBetweenThreadsDeleteOnce) {
    // Handles pass from thread to thread, each at times the only holder: every object is deleted
    // exactly once, by whichever holder is last.
    g_deleted = 0;
    constexpr int kObjects = 2000;
    std::vector<KvHandle<Tracked>> first(kObjects);
    for (auto& handle : first)
        handle = new Tracked;
    std::vector<KvHandle<Tracked>> second(first);
    std::thread a([&] {
        for (auto& handle : first)
            handle.release();
    });
    std::thread b([&] {
        for (auto& handle : second) {
            KvHandle<Tracked> copy = handle;
            handle.release();
        }
    });
    a.join();
    b.join();
    EXPECT_EQ(g_deleted.load(), kObjects);
}

TEST(KvObjectCounting, FirstHandlesTakenOnTwoThreadsAtOnceBothCount) {
    // Two threads wrap the same fresh objects at the same time: each object must end with two
    // holders, or the first release deletes it under the other's handle.
    g_deleted = 0;
    constexpr int kObjects = 200000;
    std::vector<Tracked*> fresh(kObjects);
    for (auto& object : fresh)
        object = new Tracked;
    std::vector<KvHandle<Tracked>> first(kObjects), second(kObjects);
    // The threads meet before every small batch, so that they wrap the same objects together.
    constexpr int kBatch = 16;
    std::atomic<int> arrived{0};
    auto wrapAll = [&](std::vector<KvHandle<Tracked>>& handles) {
        for (int start = 0; start < kObjects; start += kBatch) {
            const int round = start / kBatch + 1;
            arrived.fetch_add(1);
            while (arrived.load() < 2 * round)
                std::this_thread::yield();
            for (int i = start; i < start + kBatch; ++i)
                handles[i] = fresh[i];
        }
    };
    std::thread a(wrapAll, std::ref(first));
    std::thread b(wrapAll, std::ref(second));
    a.join();
    b.join();
    int lost = 0;
    for (Tracked* object : fresh)
        if (object->getRefCount() != 2) {
            ++lost;
            object->addReference(); // so that releasing both handles stays safe
        }
    EXPECT_EQ(lost, 0);
    first.clear();
    second.clear();
    EXPECT_EQ(g_deleted.load(), kObjects);
}

TEST(KvObjectCounting, PermanentObjectsAreNeverCountedNorDeleted) {
    g_deleted = 0;
    auto* object = new Tracked;
    KvHandle<Tracked> holder(object);
    object->setPermanent();
    const int32_t count = object->getRefCount();
    EXPECT_GT(count, 1000000);
    object->setPermanent(); // a second marking changes nothing
    EXPECT_EQ(object->getRefCount(), count);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([object] {
                for (int i = 0; i < 10000; ++i) {
                    KvHandle<Tracked> copy(object);
                    KvHandle<KvObject> base = copy;
                }
            });
        for (auto& thread : threads)
            thread.join();
    }
    EXPECT_EQ(object->getRefCount(), count);
    holder.release();
    EXPECT_EQ(object->removeReference(true), count);
    EXPECT_EQ(g_deleted.load(), 0);
}

TEST(KvObjectCounting, PermanentStringsAreCopiedBeforeAnyChange) {
    KvString token("Via");
    token->setPermanent();
    KvString copy = token;
    EXPECT_EQ(copy.get(), token.get());
    copy += ";x";
    copy.toUpperCase();
    copy.trim();
    EXPECT_TRUE(token == "Via");
    EXPECT_TRUE(copy == "VIA;X");
    KvString assigned = token;
    assigned = "other";
    EXPECT_TRUE(token == "Via");
}
