#include "KvErrorStream.h"
#include "KvException.h"
#include "KvObject.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {
std::atomic<int> g_destroyed{0};

class Counted : public KvObject {
public:
    ~Counted() override { ++g_destroyed; }
};
class Derived : public Counted {};
class Unrelated : public KvObject {};
} // namespace

TEST(KvHandle, CountsCopiesAndDeletesOnce) {
    g_destroyed = 0;
    auto* object = new Counted;
    {
        KvHandle<Counted> a(object);
        EXPECT_EQ(object->getRefCount(), 1);
        {
            KvHandle<Counted> b = a;
            EXPECT_EQ(object->getRefCount(), 2);
            b = a; // same object: count unchanged
            b = b;
            EXPECT_EQ(object->getRefCount(), 2);
        }
        EXPECT_EQ(object->getRefCount(), 1);
        EXPECT_EQ(g_destroyed, 0);
    }
    EXPECT_EQ(g_destroyed, 1);

    KvHandle<Counted> empty(nullptr);
    EXPECT_TRUE(empty.isNull());
    empty.release();
    EXPECT_TRUE(empty.isNull());
}

TEST(KvHandle, RemoveReferenceWithoutDeleteKeepsObject) {
    Counted local;
    local.addReference();
    EXPECT_EQ(local.removeReference(false), 0);
}

TEST(KvHandle, ConversionsCheckTheDynamicType) {
    KvHandle<KvObject> nothing;
    KvHandle<Derived> stillNothing(nothing);
    EXPECT_TRUE(stillNothing.isNull());

    KvHandle<KvObject> base(new Derived);
    KvHandle<Counted> middle(base);
    EXPECT_EQ(middle.get(), base.get());
    EXPECT_EQ(base->getRefCount(), 2);

    KvHandle<KvObject> other(new Unrelated);
    try {
        KvHandle<Counted> wrong(other);
        FAIL() << "conversion of an unrelated object must throw";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "dynamic_cast failed on KvHandle construnction");
    }
    EXPECT_EQ(other->getRefCount(), 1);

    KvHandle<Counted> target(new Counted);
    try {
        target = other;
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "dynamic_cast failed on KvHandle assignment");
    }
    EXPECT_TRUE(target.isNull());
}

TEST(KvHandle, ComparisonWithNullSides) {
    KvHandle<KvObject> a(new Unrelated), b(new Unrelated), none, none2;
    EXPECT_TRUE(a == a);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(none == none2);
    EXPECT_FALSE(none == a);
    EXPECT_FALSE(a == none);
    EXPECT_TRUE(none != a);
}

TEST(KvObject, DefaultCompareIsTheSignOfTheAddressOrder) {
    // Two objects whose addresses differ by a multiple of 2^32 must still differ.
    Unrelated a, b;
    EXPECT_EQ(a.compareWith(&a), 0);
    EXPECT_NE(a.compareWith(&b), 0);
    EXPECT_EQ(a.compareWith(&b), -b.compareWith(&a));
    int32_t c = a.compareWith(&b);
    EXPECT_TRUE(c == 1 || c == -1);
}

TEST(KvObject, PrintsCountAddressAndBareClassName) {
    KvHandle<Derived> h(new Derived);
    KvHandle<Derived> h2 = h;
    char address[32];
    std::snprintf(address, sizeof address, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(h.get())));
    EXPECT_EQ(kvPrinted(h.get()),
              std::string("2 \t(") + address + ")\t(anonymous namespace)::Derived");
    EXPECT_EQ(kvPrinted<KvObject>(nullptr), "Nil KvObject");
    KvException e("x");
    EXPECT_STREQ(e.getClassName(), "KvException");
    EXPECT_TRUE(h->isSameClass(h2.get()));
    EXPECT_FALSE(h->isSameClass(&e));
}

TEST(KvObject, CloneIsNotSupportedByDefault) {
    Unrelated u;
    try {
        u.clone();
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "cloning is not supported");
        EXPECT_STREQ(e->getClassName(), "KvAssertionFailure");
    }
}

TEST(KvObjectDeathTest, DestroyingACountedObjectIsReported) {
    EXPECT_DEATH(
        {
            auto* object = new Unrelated;
            object->addReference();
            delete object;
        },
        "Destructing KvObject with live references");
}

TEST(KvObjectDeathTest, TheReportReachesASinkThatAnotherThreadIsIn) {
    // A sink on the standard error output that takes its time over a line another thread wrote.
    struct SlowSink : KvOutputStream {
        using KvOutputStream::write;
        void write(uint8_t byte) override { write(&byte, 1, 0); }
        void write(const void* buffer, uint32_t length, uint32_t offset) override {
            const std::string text(static_cast<const char*>(buffer) + offset, length);
            if (text == "slow") {
                inside = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
            std::fwrite(text.data(), 1, text.size(), stderr);
        }
        std::atomic<bool> inside{false};
    };
    EXPECT_DEATH(
        {
            KvHandle<SlowSink> sink(new SlowSink);
            KvErrorStream::setInstance(KvHandle<KvErrorStream>(new KvErrorStream(sink)));
            std::thread other([] { KvErrorStream::instance()->writeText("slow"); });
            other.detach();
            while (!sink->inside)
                std::this_thread::yield();
            auto* object = new Unrelated;
            object->addReference();
            delete object;
        },
        "Destructing KvObject with live references");
}

TEST(KvHandle, CopiesAndReleasesAcrossThreads) {
    g_destroyed = 0;
    KvHandle<Counted> shared(new Counted);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([shared] {
            for (int i = 0; i < 20000; ++i) {
                KvHandle<Counted> copy = shared;
                KvHandle<KvObject> base = copy;
                KvHandle<Counted> back(base);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(shared->getRefCount(), 1);
    shared.release();
    EXPECT_EQ(g_destroyed, 1);
}
