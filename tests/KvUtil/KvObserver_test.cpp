#include "KvException.h"
#include "KvMultiSourceObserver.h"
#include "KvMutex.h"
#include "KvObserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
class Recorder : public KvObserver {
public:
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        sources.push_back(source.get());
        arguments.push_back(argument);
    }
    std::vector<KvObject*> sources;
    std::vector<KvHandle<KvObject>> arguments;
};
class Source : public KvObservable {};
} // namespace

TEST(KvObservable, OneObserverOnly) {
    KvHandle<Source> source(new Source);
    KvHandle<Recorder> first(new Recorder), second(new Recorder);
    source->attachObserver(first);
    EXPECT_TRUE(source->hasObserver());
    try {
        source->attachObserver(second);
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "KvObservable::attachObserver() ... The current implementation "
                                   "only allows a single observer");
    }
    source->detachObserver(second.get()); // not the attached one: nothing
    EXPECT_TRUE(source->hasObserver());
    source->notifyObserver(KvHandle<KvObject>());
    EXPECT_EQ(first->sources.size(), 1u);
    EXPECT_EQ(first->sources[0], source.get());
    first->detach();
    EXPECT_FALSE(source->hasObserver());
    EXPECT_TRUE(first->getSource().isNull());
}

TEST(KvObservable, TwoSourcesFanIntoOneObserver) {
    KvHandle<Source> a(new Source), b(new Source), c(new Source);
    KvHandle<Recorder> observer(new Recorder);
    a->attachObserver(observer);
    b->attachObserver(observer);
    c->attachObserver(observer);
    a->notifyObserver(KvHandle<KvObject>());
    b->notifyObserver(KvHandle<KvObject>());
    c->notifyObserver(KvHandle<KvObject>());
    ASSERT_EQ(observer->sources.size(), 3u);
    EXPECT_EQ(observer->sources[0], a.get());
    EXPECT_EQ(observer->sources[1], b.get());
    EXPECT_EQ(observer->sources[2], c.get());
    auto* multi = dynamic_cast<KvMultiSourceObserver*>(observer->getSource().get());
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->getSourceCount(), 3u);
    multi->removeSource(b.get());
    EXPECT_FALSE(b->hasObserver());
    // A source watched by another observer is refused, and the relay made for it freed.
    KvHandle<Source> taken(new Source);
    taken->attachObserver(KvHandle<Recorder>(new Recorder));
    EXPECT_THROW(multi->addSource(taken.get()), KvHandle<KvException>);
    multi->addSource(nullptr);
    EXPECT_EQ(multi->getSourceCount(), 2u);
    taken->detachObserver(taken->getObserver().get());
    observer->detach();
    EXPECT_FALSE(a->hasObserver());
    EXPECT_FALSE(c->hasObserver());
    EXPECT_TRUE(observer->getSource().isNull());
}

TEST(KvObservable, ASourceLetsGoOfAnObserverOfSeveralSources) {
    // As a connection that has ended leaves the one observer of every connection.
    KvHandle<Source> a(new Source), b(new Source), c(new Source);
    KvHandle<Recorder> observer(new Recorder);
    a->attachObserver(observer);
    b->attachObserver(observer);
    c->attachObserver(observer);
    auto* multi = dynamic_cast<KvMultiSourceObserver*>(observer->getSource().get());
    ASSERT_NE(multi, nullptr);
    b->detachObserver(observer.get()); // named by the observer
    EXPECT_FALSE(b->hasObserver());
    EXPECT_EQ(multi->getSourceCount(), 2u);
    c->detachObserver(c->getObserver().get()); // named by what is linked
    EXPECT_FALSE(c->hasObserver());
    EXPECT_EQ(multi->getSourceCount(), 1u);
    a->notifyObserver(KvHandle<KvObject>());
    b->notifyObserver(KvHandle<KvObject>());
    ASSERT_EQ(observer->sources.size(), 1u);
    EXPECT_EQ(observer->sources[0], a.get());
    // The last source gone, the relay lets go of the observer, which may watch again.
    a->detachObserver(observer.get());
    EXPECT_FALSE(a->hasObserver());
    EXPECT_TRUE(observer->getSource().isNull());
    b->attachObserver(observer);
    EXPECT_EQ(observer->getSource().get(), static_cast<KvObject*>(b.get()));
    observer->detach();
}

TEST(KvObservable, DestroyedSourceSaysDisconnecting) {
    KvHandle<Recorder> observer(new Recorder);
    {
        Source local; // never counted: destroyed while observed
        local.attachObserver(observer);
    }
    ASSERT_EQ(observer->arguments.size(), 1u);
    EXPECT_EQ(observer->sources[0], nullptr);
    KvHandle<KvException> e(observer->arguments[0]);
    ASSERT_FALSE(e.isNull());
    EXPECT_STREQ(e->getText(), "Disconnecting");
    EXPECT_TRUE(observer->getSource().isNull());
}

// Watches two sources and, on its first update, lets go of its source or of the notifier.
class Leaver : public KvObserver {
public:
    explicit Leaver(bool removeNotifier) : m_removeNotifier(removeNotifier) {}
    void update(KvHandle<KvObject> source, KvHandle<KvObject>) override {
        if (++calls > 1)
            return;
        auto* multi = dynamic_cast<KvMultiSourceObserver*>(getSource().get());
        ASSERT_NE(multi, nullptr);
        if (m_removeNotifier)
            multi->removeSource(dynamic_cast<KvObservable*>(source.get()));
        else
            detach();
    }
    int calls = 0;

private:
    bool m_removeNotifier;
};

TEST(KvObservable, ObserverOfTwoSourcesMayLeaveWhileNotified) {
    for (int fired = 0; fired < 2; ++fired) {
        for (bool removeNotifier : {false, true}) {
            KvHandle<Source> sources[2] = {KvHandle<Source>(new Source), new Source};
            KvHandle<Leaver> observer(new Leaver(removeNotifier));
            sources[0]->attachObserver(observer);
            sources[1]->attachObserver(observer);
            sources[fired]->notifyObserver(KvHandle<KvObject>());
            EXPECT_EQ(observer->calls, 1);
            EXPECT_FALSE(sources[fired]->hasObserver());
            // Removing the notifier leaves the other source watched.
            EXPECT_EQ(sources[1 - fired]->hasObserver(), removeNotifier);
            sources[1 - fired]->notifyObserver(KvHandle<KvObject>());
            EXPECT_EQ(observer->calls, removeNotifier ? 2 : 1);
            observer->detach();
            EXPECT_FALSE(sources[1 - fired]->hasObserver());
        }
        // A source destroyed while watched: the observer detaches on "Disconnecting".
        Source* doomed = new Source; // its owner deletes it whoever still counts it
        KvHandle<Source> kept(new Source);
        KvHandle<Leaver> observer(new Leaver(false));
        (fired ? kept : KvHandle<Source>(doomed))->attachObserver(observer);
        (fired ? KvHandle<Source>(doomed) : kept)->attachObserver(observer);
        delete doomed;
        EXPECT_EQ(observer->calls, 1);
        EXPECT_FALSE(kept->hasObserver());
        EXPECT_TRUE(observer->getSource().isNull());
    }
}

TEST(KvObservable, BlockWithoutSourceIsTrueAndNotifies) {
    KvHandle<Source> source(new Source);
    KvHandle<Recorder> observer(new Recorder);
    source->attachObserver(observer);
    EXPECT_TRUE(source->block());
    EXPECT_EQ(observer->sources.size(), 1u);
    observer->detach();
}

TEST(KvObservable, BlockSurvivesTheObserverLeavingItsSource) {
    // A source that still counts its blocks once its observer has been told.
    class Counting : public KvObservable {
    public:
        bool block() override {
            notifyObserver(KvHandle<KvObject>());
            ++blocks;
            return true;
        }
        int blocks = 0;
    };
    class Leaving : public KvObservable {
    public:
        void update(KvHandle<KvObject>, KvHandle<KvObject>) override { detach(); }
    };
    KvHandle<Leaving> relay(new Leaving);
    KvHandle<Recorder> observer(new Recorder);
    relay->attachObserver(observer);
    KvHandle<Counting>(new Counting)->attachObserver(relay); // held by the relay alone
    EXPECT_TRUE(relay->block());
    EXPECT_TRUE(relay->getSource().isNull());
    EXPECT_EQ(observer->sources.size(), 1u);
    observer->detach();
}

TEST(KvMutex, RecursiveAndReleasedOnException) {
    KvMutex* mutex = new KvMutex;
    {
        KvLockGuard outer(mutex);
        KvLockGuard inner(mutex); // same thread again
    }
    try {
        KvLockGuard guard(mutex);
        KvException::sThrow("leave");
    } catch (KvHandle<KvException>&) {
    }
    std::atomic<bool> done{false};
    std::thread other([&] {
        KvLockGuard guard(mutex);
        done = true;
    });
    other.join();
    EXPECT_TRUE(done);
    KvMutex::destroy(mutex);
    KvMutex::destroy(nullptr);
}

TEST(KvMutex, SecondThreadWaitsForTheHolder) {
    KvMutex* mutex = new KvMutex;
    mutex->lock();
    mutex->lock(); // the holder may take it again at once
    std::atomic<bool> tried{false};
    std::atomic<bool> released{false};
    std::atomic<bool> sawRelease{false};
    std::thread other([&] {
        EXPECT_FALSE(mutex->tryLock()); // held by the main thread
        tried = true;
        KvLockGuard guard(mutex); // spins, then blocks until the holder lets go
        sawRelease = released.load();
    });
    while (!tried)
        std::this_thread::yield();
    released = true;
    mutex->unlock();
    mutex->unlock();
    other.join();
    EXPECT_TRUE(sawRelease);
    KvMutex::destroy(mutex);
}

TEST(KvMutex, ContendedCountIsExact) {
    KvMutex mutex;
    int64_t count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                KvLockGuard guard(&mutex);
                ++count;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(count, 80000);
}

TEST(KvObservable, NotifyOnOneThreadWhileAnotherAttachesAndDetaches) {
    // As a socket's pool worker notifies while the application leaves the socket: the observer is
    // freed by neither side under the other.
    class Counter : public KvObserver {
    public:
        explicit Counter(std::atomic<int>* calls) : m_calls(calls) {}
        void update(KvHandle<KvObject>, KvHandle<KvObject>) override { ++*m_calls; }

    private:
        std::atomic<int>* m_calls;
    };
    KvHandle<Source> source(new Source);
    KvHandle<Source> second(new Source);
    std::atomic<int> calls{0};
    std::atomic<bool> done{false};
    std::thread notifier([&] {
        while (!done) {
            source->notifyObserver(KvHandle<KvObject>());
            second->notifyObserver(KvHandle<KvObject>());
        }
    });
    for (int round = 0; round < 2000; ++round) {
        KvHandle<KvObserver> observer(new Counter(&calls));
        source->attachObserver(observer);
        if (round % 2)
            second->attachObserver(observer); // through a relay
        observer->detach();
    }
    done = true;
    notifier.join();
    EXPECT_FALSE(source->hasObserver());
    EXPECT_FALSE(second->hasObserver());
}

TEST(KvObservable, OneObserverAttachedToSourcesOnSeveralThreads) {
    // Each thread's attach may be the one that turns the observer into an observer of several.
    KvHandle<Recorder> observer(new Recorder);
    constexpr int kThreads = 4, kSources = 300;
    std::vector<KvHandle<Source>> sources[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kSources; ++i) {
                sources[t].emplace_back(new Source);
                sources[t].back()->attachObserver(observer);
                if (i % 3 == 2)
                    sources[t][i - 1]->detachObserver(observer.get());
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    auto* multi = dynamic_cast<KvMultiSourceObserver*>(observer->getSource().get());
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->getSourceCount(), size_t(kThreads * kSources * 2 / 3));
    observer->detach();
    for (const std::vector<KvHandle<Source>>& list : sources)
        for (const KvHandle<Source>& source : list)
            EXPECT_FALSE(source->hasObserver());
}
