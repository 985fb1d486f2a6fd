// Costs of the runtime's hot paths: the dispatch queue, a dispatcher with its pool, and the timer
// scheduler with many pending timers.
#include "KvBaseEvent.h"
#include "KvDispatchQueue.h"
#include "KvDispatcherThread.h"
#include "KvMonitorThread.h"
#include "KvObserver.h"

#include <benchmark/benchmark.h>

#include <atomic>
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

// The incoming dispatchers' work: each event becomes an update job on a pool worker.
class UpdateDispatcher : public KvDispatcherThread {
public:
    UpdateDispatcher() : KvDispatcherThread(10, true) {}
    void dispatch(KvBaseEvent* event) override {
        auto* timer = static_cast<KvTimerEvent*>(event);
        m_pool.submitUpdate(timer->m_observer, timer->m_argument);
    }
};

// Events per second from one producer through a dispatcher queue and its pool to the observer.
void BM_DispatcherWithPool(benchmark::State& state) {
    KvHandle<UpdateDispatcher> dispatcher(new UpdateDispatcher);
    dispatcher->fork();
    KvHandle<CountingObserver> observer(new CountingObserver);
    const int64_t batch = 20000;
    int64_t expected = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < batch; ++i)
            dispatcher->put(new KvTimerEvent(observer, KvHandle<KvObject>()));
        expected += batch;
        while (observer->m_count.load(std::memory_order_relaxed) < expected)
            std::this_thread::yield();
    }
    state.SetItemsProcessed(state.iterations() * batch);
    dispatcher->stop();
    while (dispatcher->getState() != KvThread::DETACHED)
        std::this_thread::yield();
}
BENCHMARK(BM_DispatcherWithPool)->Unit(benchmark::kMillisecond)->UseRealTime();

// Scheduling and cancelling one timer while range(0) others are pending (none of them due).
void BM_ScheduleCancel(benchmark::State& state) {
    KvHandle<KvMonitorThread> scheduler(new KvMonitorThread); // not started: nothing fires
    std::vector<KvHandle<KvObserver>> observers;
    for (int64_t i = 0; i < state.range(0); ++i) {
        observers.emplace_back(new KvObserver);
        // Spread over the same two hours as the new timers, so that these land among them.
        uint32_t spread = static_cast<uint32_t>((i * 7200000 / state.range(0)) % 7200000);
        scheduler->schedule(3600000u + spread, observers.back(), KvHandle<KvObject>());
    }
    KvHandle<KvObserver> observer(new KvObserver);
    uint32_t delay = 3600000u;
    for (auto _ : state) {
        uint64_t id = scheduler->schedule(delay, observer, KvHandle<KvObject>());
        benchmark::DoNotOptimize(scheduler->cancel(observer, id));
        delay = 3600000u + (delay * 7919u) % 7200000u;
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations());
    scheduler->stop();
}
BENCHMARK(BM_ScheduleCancel)->RangeMultiplier(10)->Range(100, 100000)->Complexity(benchmark::oLogN);

} // namespace

BENCHMARK_MAIN();
