#include "KvException.h"
#include "KvMultiSourceObserver.h"
#include "KvMutex.h"
#include "KvObserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <string>
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

    // An observer on the stack goes while watched, directly, through a relay, or as the middle of
    // a chain: its sources let go of it, and what watched the middle hears "Disconnecting".
    KvHandle<Source> a(new Source), b(new Source);
    for (int sources = 1; sources <= 2; ++sources) {
        {
            Recorder local;
            a->attachObserver(&local);
            if (sources == 2)
                b->attachObserver(&local);
        }
        EXPECT_FALSE(a->hasObserver());
        EXPECT_FALSE(b->hasObserver());
    }
    KvHandle<Recorder> end(new Recorder);
    {
        Source middle;
        middle.attachObserver(end);
        a->attachObserver(&middle);
    }
    EXPECT_FALSE(a->hasObserver());
    EXPECT_TRUE(end->getSource().isNull());
    ASSERT_EQ(end->arguments.size(), 1u);
    EXPECT_EQ(a->getRefCount(), 1);
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
        // A source destroyed while watched: the observer leaves on "Disconnecting", or removes
        // the notifier, which is then no source (null) and no longer counted.
        for (bool removeNotifier : {false, true}) {
            Source* doomed = new Source; // its owner deletes it whoever still counts it
            KvHandle<Source> kept(new Source);
            KvHandle<Leaver> observer(new Leaver(removeNotifier));
            (fired ? kept : KvHandle<Source>(doomed))->attachObserver(observer);
            (fired ? KvHandle<Source>(doomed) : kept)->attachObserver(observer);
            delete doomed;
            EXPECT_EQ(observer->calls, 1);
            EXPECT_EQ(kept->hasObserver(), removeNotifier);
            if (removeNotifier) {
                auto* multi = dynamic_cast<KvMultiSourceObserver*>(observer->getSource().get());
                ASSERT_NE(multi, nullptr);
                EXPECT_EQ(multi->getSourceCount(), 1u);
                // The last source lets go: nothing holds the observer but its maker.
                kept->detachObserver(observer.get());
            }
            EXPECT_TRUE(observer->getSource().isNull());
            EXPECT_EQ(observer->getRefCount(), 1);
        }
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
    std::atomic<int> notifies{0};
    std::thread notifier([&] {
        while (!done) {
            source->notifyObserver(KvHandle<KvObject>());
            second->notifyObserver(KvHandle<KvObject>());
            ++notifies;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        KvHandle<KvObserver> observer(new Counter(&calls));
        source->attachObserver(observer);
        if (round % 2)
            second->attachObserver(observer); // through a relay
        observer->detach();
    }
    // A notify begun after the last detach reaches no one.
    const int detachedAt = notifies;
    while (notifies < detachedAt + 2)
        std::this_thread::yield();
    const int settled = calls;
    while (notifies < detachedAt + 200)
        std::this_thread::yield();
    EXPECT_EQ(calls, settled);
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

namespace {
// Counts the updates that name one source; any other source is counted apart.
class SourceCounter : public KvObserver {
public:
    explicit SourceCounter(const KvObject* watched) : m_watched(watched) {}
    void update(KvHandle<KvObject> source, KvHandle<KvObject>) override {
        ++(source.get() == m_watched ? watched : others);
    }
    std::atomic<int> watched{0}, others{0};

private:
    const KvObject* m_watched;
};

// Runs both functions at once, each on a thread of its own, started together.
void together(const std::function<void()>& first, const std::function<void()>& second) {
    std::atomic<int> ready{0};
    auto run = [&ready](const std::function<void()>& job) {
        ++ready;
        while (ready < 2)
            std::this_thread::yield();
        job();
    };
    std::thread other(run, std::cref(second));
    run(first);
    other.join();
}
} // namespace

TEST(KvObservable, ObserverGainingASecondSourceMissesNoNotification) {
    // A source attached throughout delivers every notify while its observer becomes an observer
    // of several on another thread.
    constexpr int kRounds = 100, kNotifies = 200;
    int lostRounds = 0;
    for (int round = 0; round < kRounds; ++round) {
        KvHandle<Source> a(new Source), b(new Source);
        KvHandle<SourceCounter> observer(new SourceCounter(a.get()));
        a->attachObserver(observer);
        together(
            [&] {
                for (int i = 0; i < kNotifies; ++i)
                    a->notifyObserver(KvHandle<KvObject>());
            },
            [&] { b->attachObserver(observer); });
        lostRounds += observer->watched != kNotifies;
        observer->detach();
    }
    EXPECT_EQ(lostRounds, 0) << "rounds that lost a notification, of " << kRounds;
}

TEST(KvObservable, ObserverDestructorMayWaitForAThreadThatAttaches) {
    // Its destructor joins a worker that attaches and detaches meanwhile: the detach that lets go
    // of its last count must not hold what the worker needs.
    class Joining : public KvObserver {
    public:
        Joining() {
            m_worker = std::thread([this] {
                KvHandle<Source> other(new Source);
                while (!m_stop) // it sees a stop only between batches
                    for (int i = 0; i < 100; ++i) {
                        KvHandle<Recorder> watcher(new Recorder);
                        other->attachObserver(watcher);
                        watcher->detach();
                    }
            });
        }
        ~Joining() override {
            m_stop = true;
            m_worker.join();
        }

    private:
        std::atomic<bool> m_stop{false};
        std::thread m_worker;
    };
    std::atomic<bool> done{false};
    std::thread scenario([&] {
        for (int round = 0; round < 50; ++round) {
            KvHandle<Source> source(new Source);
            source->attachObserver(KvHandle<KvObserver>(new Joining));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            source->detachObserver(source->getObserver().get()); // its last count
        }
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!done) {
        ADD_FAILURE() << "a detach that destroyed the observer hung";
        std::fflush(nullptr);
        std::_Exit(1); // the hung threads cannot be joined
    }
    scenario.join();
}

TEST(KvObservable, AStackSourceGoesWhileAnotherThreadMakesItsObserverARelay) {
    // Its thread alone reaches the source; the other only adds and removes a source of its own,
    // which moves the stack source's link into a relay and back.
    KvHandle<Recorder> observer(new Recorder);
    KvHandle<Source> a(new Source);
    std::atomic<bool> done{false};
    together(
        [&] {
            while (!done) {
                Source local;
                local.attachObserver(observer);
            }
        },
        [&] {
            for (int i = 0; i < 20000; ++i) {
                a->attachObserver(observer);
                a->detachObserver(observer.get());
            }
            done = true;
        });
    EXPECT_TRUE(observer->getSource().isNull());
    EXPECT_EQ(a->getRefCount(), 1);
}

TEST(KvObservable, LinksReadWhileAnotherThreadChangesThem) {
    // getSource() of an observer moved between a source and a relay, and block() of a relay whose
    // source only the relay holds, while another thread detaches: each reads a whole, live link.
    class Relay : public KvObservable {};
    KvHandle<Source> a(new Source), b(new Source);
    KvHandle<Recorder> observer(new Recorder);
    KvHandle<Relay> relay(new Relay);
    std::atomic<bool> done{false};
    std::atomic<int> seen{0};
    together(
        [&] {
            while (!done) {
                KvHandle<KvObservable> source = observer->getSource();
                seen += !source.isNull();
                relay->block();
            }
        },
        [&] {
            for (int round = 0; round < 20000; ++round) {
                a->attachObserver(observer);
                b->attachObserver(observer);
                KvHandle<Source>(new Source)->attachObserver(relay); // held by the relay alone
                relay->detach();
                observer->detach();
            }
            done = true;
        });
    EXPECT_TRUE(observer->getSource().isNull());
    EXPECT_EQ(relay->getRefCount(), 1);
}

namespace {

// The randomized model: several threads apply random steps to one graph of shared sources and
// observers, and each thread to a part of its own whose counts it can check exactly.
class ModelObjects {
public:
    static void add(KvObject* object) {
        std::lock_guard<std::mutex> guard(s_lock);
        s_live.insert(object);
    }
    static void remove(KvObject* object) {
        std::lock_guard<std::mutex> guard(s_lock);
        s_live.erase(object);
    }
    // Counted handles to every live object; for the end, when no thread is left.
    static std::vector<KvHandle<KvObject>> all() {
        std::lock_guard<std::mutex> guard(s_lock);
        return {s_live.begin(), s_live.end()};
    }
    static size_t count() {
        std::lock_guard<std::mutex> guard(s_lock);
        return s_live.size();
    }

private:
    static inline std::mutex s_lock;
    static inline std::set<KvObject*> s_live;
};

bool isDisconnecting(const KvHandle<KvObject>& argument) {
    auto* e = dynamic_cast<KvException*>(argument.get());
    return e && std::strcmp(e->getText(), "Disconnecting") == 0;
}

class ModelSource : public KvObservable {
public:
    ModelSource() { ModelObjects::add(this); }
    ~ModelSource() override { ModelObjects::remove(this); }
};

class ModelObserver : public KvObserver {
public:
    ModelObserver() { ModelObjects::add(this); }
    ~ModelObserver() override { ModelObjects::remove(this); }
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        if (source.get() == m_anchor)
            ++anchored;
        if (isDisconnecting(argument)) {
            ++disconnected;
            // As the suite's leaver: remove whichever source told, here none.
            KvHandle<KvObservable> watched = getSource();
            if (auto* relay = dynamic_cast<KvMultiSourceObserver*>(watched.get()))
                relay->removeSource(dynamic_cast<KvObservable*>(source.get()));
        }
    }
    KvObject* m_anchor = nullptr;
    std::atomic<long> anchored{0}, disconnected{0};
};

// An observer that is a source too: its updates pass on, and block() asks its own source.
class ModelRelay : public KvObservable {
public:
    ModelRelay() { ModelObjects::add(this); }
    ~ModelRelay() override { ModelObjects::remove(this); }
};

template <class T> class ModelSlots {
public:
    explicit ModelSlots(size_t size) : m_slots(size) {}
    KvHandle<T> get(size_t i) {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_slots[i];
    }
    // The old one goes with its last count, wherever that is let go of.
    void replace(size_t i, KvHandle<T> made) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            std::swap(m_slots[i], made);
        }
    }
    size_t size() const { return m_slots.size(); }

private:
    std::mutex m_lock;
    std::vector<KvHandle<T>> m_slots;
};

KvHandle<KvObserver> makeModelObserver(uint32_t kind) {
    if (kind % 2)
        return KvHandle<KvObserver>(new ModelRelay);
    return KvHandle<KvObserver>(new ModelObserver);
}

void attachCaught(KvObservable* source, KvHandle<KvObserver> observer) {
    try {
        source->attachObserver(observer);
    } catch (KvHandle<KvException>&) { // it has one already
    }
}

int modelSeconds() {
    const char* text = std::getenv("KV_OBSERVER_MODEL_SECONDS");
    return text ? std::max(1, std::atoi(text)) : 2;
}

uint64_t modelSeed() {
    const char* text = std::getenv("KV_OBSERVER_MODEL_SEED");
    return text
               ? std::strtoull(text, nullptr, 10)
               : static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace

TEST(KvObserverModel, RandomStepsOnSeveralThreadsKeepEveryNotifyAndLeaveNothing) {
    const uint64_t seed = modelSeed();
    const int seconds = modelSeconds();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (KV_OBSERVER_MODEL_SEED reruns it)");
    constexpr int kThreads = 6;
    const size_t before = ModelObjects::count();
    ModelSlots<ModelSource> sources(8);
    ModelSlots<KvObserver> observers(6);
    for (size_t i = 0; i < sources.size(); ++i)
        sources.replace(i, KvHandle<ModelSource>(new ModelSource));
    for (size_t i = 0; i < observers.size(); ++i)
        observers.replace(i, makeModelObserver(static_cast<uint32_t>(i)));

    struct Outcome {
        long anchorSent = 0, anchorSeen = 0, ownedDeleted = 0, disconnected = 0, steps = 0;
    };
    std::vector<Outcome> outcomes(kThreads);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937_64 random(seed + static_cast<uint64_t>(t));
            auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
            Outcome& out = outcomes[t];
            // Its own: an observer others attach shared sources to, watching an anchor that only
            // this thread detaches, so every notify of the anchor made while attached must arrive.
            KvHandle<ModelObserver> own(new ModelObserver);
            KvHandle<ModelSource> anchor(new ModelSource);
            own->m_anchor = anchor.get();
            anchor->attachObserver(own);
            // A second one that only this thread reaches, whose sources it deletes directly.
            KvHandle<ModelObserver> alone(new ModelObserver);
            KvHandle<ModelSource> kept(new ModelSource);
            kept->attachObserver(alone);
            while (std::chrono::steady_clock::now() < end) {
                ++out.steps;
                KvHandle<ModelSource> source = sources.get(pick(sources.size()));
                KvHandle<KvObserver> observer = observers.get(pick(observers.size()));
                switch (pick(14)) {
                case 0:
                    attachCaught(source.get(), observer);
                    break;
                case 1:
                    attachCaught(source.get(), own);
                    break;
                case 2: // a relay watched by a plain observer, never a cycle
                    if (auto* relay = dynamic_cast<ModelRelay*>(observer.get()))
                        if (KvHandle<KvObserver> watcher = observers.get(pick(observers.size()));
                            dynamic_cast<ModelObserver*>(watcher.get()))
                            attachCaught(relay, watcher);
                    break;
                case 3:
                    observer->detach();
                    break;
                case 4:
                    source->detachObserver(pick(2) ? observer.get() : source->getObserver().get());
                    break;
                case 5:
                case 6: {
                    KvHandle<KvObservable> watched = observer->getSource();
                    if (auto* relay = dynamic_cast<KvMultiSourceObserver*>(watched.get())) {
                        if (pick(4))
                            relay->removeSource(pick(4) ? source.get() : nullptr);
                        else
                            relay->removeAllSources();
                    }
                    break;
                }
                case 7:
                    sources.replace(pick(sources.size()), KvHandle<ModelSource>(new ModelSource));
                    break;
                case 8:
                    observers.replace(pick(observers.size()),
                                      makeModelObserver(static_cast<uint32_t>(random())));
                    break;
                case 9:
                    source->notifyObserver(KvHandle<KvObject>());
                    break;
                case 10:
                    if (auto* relay = dynamic_cast<ModelRelay*>(observer.get()))
                        relay->block();
                    else
                        source->block();
                    break;
                case 11: {
                    KvHandle<KvObservable> watched = observer->getSource();
                    if (!watched.isNull())
                        watched->hasObserver();
                    break;
                }
                case 12: {
                    const long sent = 1 + static_cast<long>(pick(20));
                    for (long i = 0; i < sent; ++i)
                        anchor->notifyObserver(KvHandle<KvObject>());
                    out.anchorSent += sent;
                    if (pick(8) == 0) { // all of it let go, then watched again, directly first
                        own->detach();
                        anchor->attachObserver(own);
                    }
                    break;
                }
                case 13: {
                    // A source deleted while watched, alone or beside the kept one.
                    auto* owned = new ModelSource;
                    if (pick(2))
                        alone->detach();
                    owned->attachObserver(alone);
                    if (pick(2))
                        attachCaught(kept.get(), alone);
                    owned->notifyObserver(KvHandle<KvObject>());
                    delete owned;
                    ++out.ownedDeleted;
                    break;
                }
                }
            }
            own->detach();
            out.anchorSeen = own->anchored;
            alone->detach();
            out.disconnected = alone->disconnected;
        });
    for (std::thread& thread : threads)
        thread.join();
    long steps = 0;
    for (const Outcome& out : outcomes) {
        EXPECT_EQ(out.anchorSent, out.anchorSeen) << "notifies of an attached source were lost";
        EXPECT_EQ(out.ownedDeleted, out.disconnected);
        steps += out.steps;
    }
    EXPECT_GT(steps, kThreads);
    // Pairs live until one lets go: cut every link left, then nothing may stay.
    for (size_t i = 0; i < sources.size(); ++i)
        sources.replace(i, KvHandle<ModelSource>());
    for (size_t i = 0; i < observers.size(); ++i)
        observers.replace(i, KvHandle<KvObserver>());
    {
        std::vector<KvHandle<KvObject>> left = ModelObjects::all();
        for (const KvHandle<KvObject>& object : left) {
            if (auto* observable = dynamic_cast<KvObservable*>(object.get()))
                observable->detachObserver(observable->getObserver().get());
            if (auto* observer = dynamic_cast<KvObserver*>(object.get()))
                observer->detach();
        }
    }
    EXPECT_EQ(ModelObjects::count(), before) << "objects left alive after every link was cut";
}
