#include "KvException.h"
#include "KvMutex.h"
#include "KvTokenTable.h"
#include "KvTableTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

using kvtable::Counted;
using kvtable::valueOf;

TEST(KvTokenTable, PutTwiceReturnsFirstValueAndKeepsOneEntry) {
    {
        KvTokenTable table;
        KvHandle<KvObject> first(new Counted(1));
        EXPECT_TRUE(table.put(7, first).isNull());
        EXPECT_EQ(first->getRefCount(), 2);
        KvHandle<KvObject> previous = table.put(7, KvHandle<KvObject>(new Counted(2)));
        EXPECT_EQ(valueOf(previous), 1);
        EXPECT_EQ(table.getEntryCount(), 1u);
        EXPECT_EQ(first->getRefCount(), 2); // ours and the returned handle; the table let go
        EXPECT_EQ(valueOf(table.get(7)), 2);
    }
    EXPECT_EQ(Counted::alive.load(), 0);
}

TEST(KvTokenTable, RemoveReportsWhetherSomethingWasRemoved) {
    KvTokenTable table;
    EXPECT_FALSE(table.remove(3));
    table.put(3, KvHandle<KvObject>(new Counted(3)));
    EXPECT_TRUE(table.containsKey(3));
    EXPECT_TRUE(table.remove(3));
    EXPECT_EQ(Counted::alive.load(), 0);
    EXPECT_FALSE(table.remove(3));
    EXPECT_FALSE(table.containsKey(3));
    EXPECT_TRUE(table.get(3).isNull());
}

TEST(KvTokenTable, CollidingTokensStayReachable) {
    KvTokenTable table; // 101 buckets: 5 and 106 share a chain
    table.put(5, KvHandle<KvObject>(new Counted(5)));
    table.put(106, KvHandle<KvObject>(new Counted(106)));
    table.put(207, KvHandle<KvObject>());
    EXPECT_EQ(valueOf(table.get(5)), 5);
    EXPECT_EQ(valueOf(table.get(106)), 106);
    EXPECT_TRUE(table.containsKey(207)); // a null value is still an entry
    EXPECT_TRUE(table.remove(5));
    EXPECT_EQ(valueOf(table.get(106)), 106);
    EXPECT_TRUE(table.remove(207));
    EXPECT_EQ(valueOf(table.get(106)), 106);
}

TEST(KvTokenTable, WideTokensAreNotCutToThirtyTwoBits) {
    KvTokenTable table;
    const KvTokenTable::Token low = 42, high = (uint64_t{1} << 32) | 42;
    table.put(low, KvHandle<KvObject>(new Counted(1)));
    table.put(high, KvHandle<KvObject>(new Counted(2)));
    EXPECT_EQ(table.getEntryCount(), 2u);
    EXPECT_EQ(valueOf(table.get(low)), 1);
    EXPECT_EQ(valueOf(table.get(high)), 2);
    static_assert(sizeof(KvTokenTable::Entry) >= sizeof(void*) + sizeof(KvTokenTable::Token));
    EXPECT_EQ(table.getEntrySize(), sizeof(KvTokenTable::Entry));
}

TEST(KvTokenTable, RemoveAllAndDestructionReleaseEveryValue) {
    KvHandle<KvObject> kept(new Counted(0));
    {
        KvTokenTable table(7);
        for (int i = 0; i < 50; ++i)
            table.put(i, KvHandle<KvObject>(new Counted(i)));
        table.put(99, kept);
        EXPECT_EQ(Counted::alive.load(), 51);
        table.removeAll();
        EXPECT_EQ(table.getEntryCount(), 0u);
        EXPECT_EQ(Counted::alive.load(), 1);
        EXPECT_EQ(kept->getRefCount(), 1);
        for (int i = 0; i < 5; ++i)
            table.put(i, KvHandle<KvObject>(new Counted(i)));
    }
    EXPECT_EQ(Counted::alive.load(), 1);
}

// A value whose destruction uses the table it was removed from.
struct Reentrant : KvObject {
    explicit Reentrant(KvTokenTable* t) : table(t) {}
    ~Reentrant() override { table->remove(1000); }
    KvTokenTable* table;
};

TEST(KvTokenTable, ValuesAreReleasedAfterTheTableIsConsistent) {
    KvTokenTable table;
    table.put(1000, KvHandle<KvObject>(new Counted(1)));
    for (int i = 0; i < 3; ++i)
        table.put(i, KvHandle<KvObject>(new Reentrant(&table)));
    EXPECT_TRUE(table.remove(0));
    EXPECT_FALSE(table.containsKey(1000));
    table.put(1000, KvHandle<KvObject>(new Counted(1)));
    table.removeAll();
    EXPECT_EQ(table.getEntryCount(), 0u);
    EXPECT_EQ(Counted::alive.load(), 0);
}

TEST(KvTokenTable, SearchByValueIsNotImplemented) {
    KvTokenTable table;
    try {
        table.containsValue(KvHandle<KvObject>());
        FAIL() << "no exception";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "Not implemented!");
    }
}

TEST(KvHashTableBase, IterationVisitsEveryEntryOnce) {
    KvTokenTable table(13);
    {
        KvHashTableBase::Iterator it(table);
        EXPECT_FALSE(it.hasNext());
        EXPECT_FALSE(it.hasNext());
        EXPECT_EQ(it.next(), nullptr);
    }
    std::set<uint64_t> expected;
    for (uint64_t t = 0; t < 200; t += 3) {
        table.put(t, KvHandle<KvObject>());
        expected.insert(t);
    }
    std::multiset<uint64_t> seen;
    KvHashTableBase::Iterator it(table);
    while (it.hasNext())
        seen.insert(static_cast<KvTokenTable::Entry*>(it.next())->key);
    EXPECT_EQ(seen, std::multiset<uint64_t>(expected.begin(), expected.end()));
}

TEST(KvHashTableBase, StripeLocksFollowTheBucket) {
    KvTokenTable single;
    KvTokenTable::Entry a{1, nullptr}, b{50, nullptr};
    EXPECT_EQ(single.getMutexCount(), 1u);
    EXPECT_EQ(single.getMutex(&a), single.getMutex(&b));

    // Four stripes over ten buckets: token t locks stripe (t mod 10) mod 4.
    struct Striped : KvHashTableBase {
        Striped() : KvHashTableBase(sizeof(KvTokenTable::Entry), hash, equal, nullptr, 10, 4) {}
        static uint32_t hash(const void* e) {
            return static_cast<uint32_t>(static_cast<const KvTokenTable::Entry*>(e)->key);
        }
        static bool equal(const void* l, const void* r) {
            return static_cast<const KvTokenTable::Entry*>(l)->key ==
                   static_cast<const KvTokenTable::Entry*>(r)->key;
        }
    } striped;
    KvTokenTable::Entry e3{3, nullptr}, e17{17, nullptr}, e13{13, nullptr}, e6{6, nullptr};
    EXPECT_EQ(striped.getMutex(&e3), striped.getMutex(&e17)); // 3 and 7 mod 4 = 3
    EXPECT_EQ(striped.getMutex(&e13), striped.getMutex(&e3)); // bucket 3 again
    EXPECT_NE(striped.getMutex(&e6), striped.getMutex(&e3));  // bucket 6, stripe 2

    EXPECT_EQ(striped.insert(&e3), nullptr);
    EXPECT_EQ(static_cast<KvTokenTable::Entry*>(striped.insert(&e3))->key, 3u);
    EXPECT_EQ(striped.lockedInsert(&e13), nullptr);
    EXPECT_NE(striped.lockedFind(&e13), nullptr);
    EXPECT_TRUE(striped.lockedRemove(&e3));
    EXPECT_FALSE(striped.remove(&e3));
    EXPECT_EQ(striped.getEntryCount(), 1u);
}

TEST(KvTokenTable, ConcurrentPutsAndRemovesKeepCountsRight) {
    KvTokenTable table;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&table, t] {
            for (int i = 0; i < 2000; ++i) {
                KvTokenTable::Token token = static_cast<uint64_t>(t * 100000 + i % 50);
                table.put(token, KvHandle<KvObject>(new Counted(i)));
                table.get(token);
                if (i % 3 == 0)
                    table.remove(token);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    uint32_t count = 0;
    KvHashTableBase::Iterator it(table);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    EXPECT_EQ(count, table.getEntryCount());
    EXPECT_EQ(Counted::alive.load(), static_cast<int>(count));
    table.removeAll();
    EXPECT_EQ(Counted::alive.load(), 0);
}

} // namespace
