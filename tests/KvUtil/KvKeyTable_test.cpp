#include "KvException.h"
#include "KvKeyTable.h"
#include "KvTableTestSupport.h"
#include "KvOutputStream.h"
#include "support/KvTestExceptions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using kvtable::Counted;
using kvtable::valueOf;

struct TextStream : KvOutputStream {
    void write(uint8_t byte) override { text += static_cast<char>(byte); }
    std::string text;
};

TEST(KvKeyTable, PutReplacesAndReturnsThePreviousValue) {
    {
        KvKeyTable table;
        KvString key("Call-ID");
        EXPECT_TRUE(table.put(key, KvHandle<KvObject>(new Counted(1))).isNull());
        EXPECT_EQ(key->getRefCount(), 2);
        // An equal key in another buffer replaces the entry and its key.
        KvString other("Call-ID");
        KvHandle<KvObject> previous = table.put(other, KvHandle<KvObject>(new Counted(2)));
        EXPECT_EQ(valueOf(previous), 1);
        EXPECT_EQ(table.getEntryCount(), 1u);
        EXPECT_EQ(key->getRefCount(), 1);
        EXPECT_EQ(other->getRefCount(), 2);
        EXPECT_EQ(valueOf(table.get(KvString("Call-ID"))), 2);
        EXPECT_EQ(valueOf(table.getUnlocked(KvString("Call-ID"))), 2);
        EXPECT_TRUE(table.get(KvString("call-id")).isNull()); // keys are case-sensitive
    }
    EXPECT_EQ(Counted::alive.load(), 0);
}

TEST(KvKeyTable, EmptyKeysAreRefused) {
    KvKeyTable table;
    EXPECT_EQ(kvThrownText([&] { table.put(KvString(), KvHandle<KvObject>()); }),
              "NULL key value (KvStringBuffer*)");
    EXPECT_EQ(kvThrownText([&] { table.put(KvString(""), KvHandle<KvObject>(new Counted)); }),
              "NULL key value (KvStringBuffer*)");
    EXPECT_EQ(Counted::alive.load(), 0);
    EXPECT_FALSE(table.remove(KvString()));
    EXPECT_FALSE(table.containsKey(KvString("")));
    EXPECT_TRUE(table.get(KvString()).isNull());
    EXPECT_TRUE(table.getUnlocked(KvString()).isNull());
    EXPECT_EQ(table.getEntryCount(), 0u);
}

TEST(KvKeyTable, RemoveReleasesKeyAndValue) {
    KvKeyTable table;
    KvString key("branch");
    KvHandle<KvObject> value(new Counted(4));
    EXPECT_FALSE(table.remove(key));
    table.put(key, value);
    EXPECT_TRUE(table.containsKey(KvString("branch")));
    EXPECT_TRUE(table.remove(KvString("branch")));
    EXPECT_EQ(key->getRefCount(), 1);
    EXPECT_EQ(value->getRefCount(), 1);
    EXPECT_FALSE(table.remove(key));
    EXPECT_FALSE(table.containsKey(key));
}

TEST(KvKeyTable, CollidingKeysStayReachable) {
    // h*5+c: "aF" = 97*5+70 = 555 and "b" followed by 'A' = 98*5+65 = 555.
    KvString first("aF"), second("bA");
    ASSERT_EQ(first->hash(), second->hash());
    KvKeyTable table(3, 2);
    table.put(first, KvHandle<KvObject>(new Counted(1)));
    table.put(second, KvHandle<KvObject>(new Counted(2)));
    EXPECT_EQ(table.getEntryCount(), 2u);
    EXPECT_EQ(valueOf(table.get(first)), 1);
    EXPECT_EQ(valueOf(table.get(second)), 2);
    EXPECT_TRUE(table.remove(first));
    EXPECT_EQ(valueOf(table.get(second)), 2);
}

TEST(KvKeyTable, CloneHoldsItsOwnReferences) {
    KvHandle<KvObject> value(new Counted(9));
    KvString key("tag");
    KvHandle<KvObject> copy;
    {
        KvKeyTable table(11, 3);
        table.put(key, value);
        table.put(KvString("empty"), KvHandle<KvObject>());
        copy = table.clone();
        EXPECT_EQ(value->getRefCount(), 3);
        EXPECT_EQ(key->getRefCount(), 3);
    }
    auto* cloned = static_cast<KvKeyTable*>(copy.get());
    EXPECT_EQ(cloned->getEntryCount(), 2u);
    EXPECT_EQ(cloned->getBucketCount(), 11u);
    EXPECT_EQ(cloned->getMutexCount(), 3u);
    EXPECT_EQ(valueOf(cloned->get(key)), 9);
    EXPECT_TRUE(cloned->containsKey(KvString("empty")));
    copy.release();
    EXPECT_EQ(value->getRefCount(), 1);
    EXPECT_EQ(key->getRefCount(), 1);
}

TEST(KvKeyTable, PrintListsEveryKeyWithItsOwnPrint) {
    KvKeyTable table;
    KvString key("KvSocket");
    table.put(key, KvHandle<KvObject>(new Counted(1)));
    TextStream keyLine;
    key->print(keyLine); // "2 \t(address)\tKvStringBufferKvSocket": held by us and the table
    TextStream out;
    table.print(out);
    EXPECT_EQ(out.text, "KvKeyTable\n KvSocket\t" + keyLine.text + "\n");
    EXPECT_EQ(keyLine.text.rfind("2 \t(", 0), 0u);
    EXPECT_NE(keyLine.text.find(")\tKvStringBufferKvSocket"), std::string::npos);
}

TEST(KvKeyTable, ConcurrentUseOfSharedKeys) {
    KvKeyTable table(31, 4);
    std::vector<KvString> keys;
    for (int i = 0; i < 40; ++i)
        keys.emplace_back(("k" + std::to_string(i)).c_str());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3000; ++i) {
                const KvString& key = keys[(i * 7 + t) % keys.size()];
                table.put(key, KvHandle<KvObject>(new Counted(i)));
                table.get(key);
                if (i % 4 == t)
                    table.remove(key);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(Counted::alive.load(), static_cast<int>(table.getEntryCount()));
    table.removeAll();
    for (const KvString& key : keys)
        EXPECT_EQ(key->getRefCount(), 1);
}

} // namespace
