// Costs of the runtime's hot paths: the dispatch queue, a dispatcher with its pool, and the timer
// scheduler with many pending timers; the last two beside a baseline of the standard library
// doing the same work, measured in the same run.
#include "KvBaseEvent.h"
#include "KvDispatchQueue.h"
#include "KvDispatcherThread.h"
#include "KvMonitorThread.h"
#include "KvObserver.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Put and get on one thread: the queue's own cost, without any waiting.
void BM_QueuePutGet(benchmark::State& state) {
    KvDispatchQueue queue(state.range(0) != 0);
    KvHandle<KvObserver> observer(new KvObserver);
    for (auto _ : state) {
        queue.put(new KvTimerEvent(observer, KvHandle<KvObject>()));
        delete queue.get();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueuePutGet)->Arg(0)->Arg(1)->ArgName("locked");

// One producer thread and one consumer thread through one queue.
void BM_QueueProducerConsumer(benchmark::State& state) {
    KvDispatchQueue queue(true);
    const int64_t batch = 100000;
    for (auto _ : state) {
        std::thread consumer([&] {
            for (int64_t i = 0; i < batch; ++i)
                delete queue.get();
        });
        for (int64_t i = 0; i < batch; ++i)
            queue.put(new KvBaseEvent);
        consumer.join();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_QueueProducerConsumer)->Unit(benchmark::kMillisecond)->UseRealTime();

class CountingObserver : public KvObserver {
public:
    void update(KvHandle<KvObject>, KvHandle<KvObject>) override {
        m_count.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<int64_t> m_count{0};
};

// A notification: each thread its own source and observer, watched directly or through the relay
// of an observer of two sources. Threads share only the library's link bookkeeping.
void BM_Notify(benchmark::State& state) {
    class Source : public KvObservable {};
    KvHandle<Source> source(new Source), other(new Source);
    KvHandle<CountingObserver> observer(new CountingObserver);
    source->attachObserver(observer);
    if (state.range(0))
        other->attachObserver(observer);
    const KvHandle<KvObject> argument;
    for (auto _ : state)
        source->notifyObserver(argument);
    observer->detach();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Notify)->Arg(0)->Arg(1)->ArgName("relayed")->Threads(1)->Threads(8)->UseRealTime();

// The incoming dispatchers' work: each event becomes an update job on a pool worker.
class UpdateDispatcher : public KvDispatcherThread {
public:
    UpdateDispatcher() : KvDispatcherThread(10, true) {}
    void dispatch(KvBaseEvent* event) override {
        auto* timer = static_cast<KvTimerEvent*>(event);
        m_pool.submitUpdate(timer->m_observer, timer->m_argument);
    }
};

// A queue of the standard library: a deque under a mutex, with a condition variable to wait on.
template <class T> class StdQueue {
public:
    void put(T item) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_items.push_back(std::move(item));
        }
        m_ready.notify_one();
    }
    T get() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_items.empty(); });
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<T> m_items;
};

// The baseline for the dispatcher: the same two hops built from the standard library. One thread
// takes the events from its queue and hands each as a job to ten worker threads through a second
// queue; a worker updates the event's observer. A null event stops it.
class StdDispatcher {
public:
    StdDispatcher() : m_dispatcher([this] { dispatch(); }) {
        for (int i = 0; i < 10; ++i)
            m_workers.emplace_back([this] { work(); });
    }
    ~StdDispatcher() {
        m_events.put(nullptr);
        m_dispatcher.join();
        for (std::thread& worker : m_workers)
            worker.join();
    }
    void put(KvTimerEvent* event) { m_events.put(event); }

private:
    void dispatch() {
        while (KvTimerEvent* event = m_events.get())
            m_jobs.put(event);
        for (size_t i = 0; i < m_workers.size(); ++i)
            m_jobs.put(nullptr);
    }
    void work() {
        while (KvTimerEvent* job = m_jobs.get()) {
            job->m_observer->update(KvHandle<KvObject>(), job->m_argument);
            delete job;
        }
    }

    StdQueue<KvTimerEvent*> m_events;
    StdQueue<KvTimerEvent*> m_jobs;
    std::vector<std::thread> m_workers;
    std::thread m_dispatcher;
};

// Puts range(0) events, then waits until the observer has seen them all: 1 is one round trip per
// event, more is a pipeline. "per_event" is the real time per event.
template <class Dispatcher> void feed(benchmark::State& state, Dispatcher& dispatcher) {
    KvHandle<CountingObserver> observer(new CountingObserver);
    const int64_t batch = state.range(0);
    int64_t expected = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < batch; ++i)
            dispatcher.put(new KvTimerEvent(observer, KvHandle<KvObject>()));
        expected += batch;
        while (observer->m_count.load(std::memory_order_relaxed) < expected)
            std::this_thread::yield();
    }
    state.SetItemsProcessed(state.iterations() * batch);
    state.counters["per_event"] =
        benchmark::Counter(static_cast<double>(state.iterations() * batch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Events from one producer through a dispatcher queue and its pool to the observer.
void BM_DispatcherWithPool(benchmark::State& state) {
    KvHandle<UpdateDispatcher> dispatcher(new UpdateDispatcher);
    dispatcher->fork();
    feed(state, *dispatcher);
    dispatcher->stop();
    while (dispatcher->getState() != KvThread::DETACHED)
        std::this_thread::yield();
}
BENCHMARK(BM_DispatcherWithPool)->Arg(1)->Arg(20000)->ArgName("batch")->UseRealTime();

void BM_StdDispatcher(benchmark::State& state) {
    StdDispatcher dispatcher;
    feed(state, dispatcher);
}
BENCHMARK(BM_StdDispatcher)->Arg(1)->Arg(20000)->ArgName("batch")->UseRealTime();

// Scheduling and cancelling one timer while range(0) others are pending (none of them due).
template <class Timers> void scheduleCancel(benchmark::State& state, Timers& timers) {
    std::vector<KvHandle<KvObserver>> observers;
    for (int64_t i = 0; i < state.range(0); ++i) {
        observers.emplace_back(new KvObserver);
        // Spread over the same two hours as the new timers, so that these land among them.
        uint32_t spread = static_cast<uint32_t>((i * 7200000 / state.range(0)) % 7200000);
        timers.schedule(3600000u + spread, observers.back(), KvHandle<KvObject>());
    }
    KvHandle<KvObserver> observer(new KvObserver);
    uint32_t delay = 3600000u;
    for (auto _ : state) {
        uint64_t id = timers.schedule(delay, observer, KvHandle<KvObject>());
        benchmark::DoNotOptimize(timers.cancel(observer, id));
        delay = 3600000u + (delay * 7919u) % 7200000u;
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations());
}

void BM_ScheduleCancel(benchmark::State& state) {
    KvHandle<KvMonitorThread> scheduler(new KvMonitorThread); // not started: nothing fires
    scheduleCancel(state, *scheduler);
    scheduler->stop();
}
BENCHMARK(BM_ScheduleCancel)->RangeMultiplier(10)->Range(100, 100000)->Complexity(benchmark::oLogN);

// The baseline for the scheduler: a std::multimap from due time to observer and argument under a
// std::mutex, doing the same work: read the clock, enter the timer, find it by its due time and
// observer, take it out.
class StdTimers {
public:
    uint64_t schedule(uint32_t delayMs, KvHandle<KvObserver> observer,
                      KvHandle<KvObject> argument) {
        uint64_t due =
            static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count()) +
            uint64_t{delayMs} * 1000u;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.emplace(due, Entry{std::move(observer), std::move(argument)});
        return due;
    }
    bool cancel(const KvHandle<KvObserver>& observer, uint64_t id) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto range = m_entries.equal_range(id);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second.observer.get() == observer.get()) {
                m_entries.erase(it);
                return true;
            }
        }
        return false;
    }

private:
    struct Entry {
        KvHandle<KvObserver> observer;
        KvHandle<KvObject> argument;
    };
    std::mutex m_mutex;
    std::multimap<uint64_t, Entry> m_entries;
};

void BM_StdScheduleCancel(benchmark::State& state) {
    StdTimers timers;
    scheduleCancel(state, timers);
}
BENCHMARK(BM_StdScheduleCancel)
    ->RangeMultiplier(10)
    ->Range(100, 100000)
    ->Complexity(benchmark::oLogN);

} // namespace

BENCHMARK_MAIN();
