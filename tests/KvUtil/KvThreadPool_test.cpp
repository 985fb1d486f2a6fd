#include "KvThreadTestSupport.h"

#include "KvException.h"
#include "KvThreadPool.h"
#include "KvWorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using kvtest::Gate;
using kvtest::JobObserver;
using kvtest::waitUntil;

namespace {

// A pool whose workers cannot be started.
class FailingPool : public KvThreadPool {
public:
    explicit FailingPool(bool throwIt) : KvThreadPool(nullptr, 10), m_throw(throwIt) {}

protected:
    KvWorkerThread* createWorker() override {
        if (m_throw)
            KvSystemError::sThrow("CreateThread", 11);
        return nullptr;
    }
    bool m_throw;
};

} // namespace

TEST(KvThreadPool, APoolOfNoWorkersRunsEveryJobOnTheCaller) {
    KvThreadPool pool(nullptr, 0);
    KvHandle<JobObserver> observer(new JobObserver);
    KvHandle<KvObject> argument(new KvObject);
    pool.submitUpdate(observer, argument);
    EXPECT_TRUE(observer->m_done);
    EXPECT_EQ(std::this_thread::get_id(), observer->m_threadId.load());
    EXPECT_EQ(nullptr, observer->m_source.load());
    EXPECT_EQ(argument.get(), observer->m_argument.load());
    EXPECT_EQ(0u, pool.getWorkerCount());
}

TEST(KvThreadPool, NotifyJobsReachTheObservableObserverWithTheObservableAsSource) {
    KvThreadPool pool(nullptr, 10);
    KvHandle<KvObservable> observable(new KvObservable);
    KvHandle<JobObserver> observer(new JobObserver);
    observable->attachObserver(observer);
    KvHandle<KvObject> argument(new KvObject);
    pool.submitNotify(observable, argument);
    ASSERT_TRUE(waitUntil([&] { return observer->m_done.load(); }));
    EXPECT_EQ(observable.get(), observer->m_source.load());
    EXPECT_EQ(argument.get(), observer->m_argument.load());
    EXPECT_NE(nullptr, dynamic_cast<KvWorkerThread*>(observer->m_thread.load()));
    observable->detachObserver(observer.get());
}

TEST(KvThreadPool, TheEleventhJobRunsOnTheCallerWhileTenWorkersAreBusy) {
    KvThreadPool pool(nullptr, 10);
    Gate gate;
    std::vector<KvHandle<JobObserver>> busy;
    for (int i = 0; i < 10; ++i) {
        busy.emplace_back(new JobObserver([&] { gate.wait(); }));
        pool.submitUpdate(busy.back(), KvHandle<KvObject>());
    }
    EXPECT_EQ(10u, pool.getWorkerCount());
    KvHandle<JobObserver> eleventh(new JobObserver);
    pool.submitUpdate(eleventh, KvHandle<KvObject>());
    EXPECT_TRUE(eleventh->m_done); // ran here, before submit returned
    EXPECT_EQ(std::this_thread::get_id(), eleventh->m_threadId.load());
    EXPECT_EQ(10u, pool.getWorkerCount());

    gate.open();
    ASSERT_TRUE(waitUntil([&] { return pool.getIdleCount() == 10; }));
    std::set<KvThread*> workers;
    for (auto& job : busy)
        workers.insert(job->m_thread.load());
    EXPECT_EQ(10u, workers.size());
}

TEST(KvThreadPool, TheWorkerThatBecameIdleLastGetsTheNextJob) {
    KvThreadPool pool(nullptr, 10);
    Gate firstGate, secondGate;
    KvHandle<JobObserver> first(new JobObserver([&] { firstGate.wait(); }));
    KvHandle<JobObserver> second(new JobObserver([&] { secondGate.wait(); }));
    pool.submitUpdate(first, KvHandle<KvObject>());
    pool.submitUpdate(second, KvHandle<KvObject>());
    ASSERT_TRUE(waitUntil([&] { return first->m_thread && second->m_thread; }));
    firstGate.open();
    ASSERT_TRUE(waitUntil([&] { return pool.getIdleCount() == 1; }));
    secondGate.open();
    ASSERT_TRUE(waitUntil([&] { return pool.getIdleCount() == 2; }));

    KvHandle<JobObserver> next(new JobObserver);
    pool.submitUpdate(next, KvHandle<KvObject>());
    ASSERT_TRUE(waitUntil([&] { return next->m_done.load(); }));
    EXPECT_EQ(second->m_thread.load(), next->m_thread.load());
    EXPECT_EQ(2u, pool.getWorkerCount());
}

TEST(KvThreadPool, AFailingJobIsLoggedAndItsWorkerTakesTheNextJob) {
    KvCapturedLog log;
    KvThreadPool pool(nullptr, 1);
    KvHandle<JobObserver> failing(new JobObserver([] { KvException::sThrow("job failed"); }));
    KvHandle<KvObject> argument(new KvObject);
    pool.submitUpdate(failing, argument);
    ASSERT_TRUE(waitUntil([&] { return pool.getIdleCount() == 1; }));
    EXPECT_TRUE(log.contains("catch exception in KvWorkerThread::run(): job failed\n"));
    // The worker let go of the failed job's objects.
    EXPECT_EQ(1, argument->getRefCount());

    KvHandle<JobObserver> foreign(
        new JobObserver([] { throw std::runtime_error("foreign job failed"); }));
    pool.submitUpdate(foreign, KvHandle<KvObject>());
    ASSERT_TRUE(waitUntil([&] { return pool.getIdleCount() == 1; }));
    EXPECT_TRUE(log.contains("catch exception in KvWorkerThread::run(): foreign job failed\n"))
        << log.text();

    KvHandle<JobObserver> next(new JobObserver);
    pool.submitUpdate(next, KvHandle<KvObject>());
    ASSERT_TRUE(waitUntil([&] { return next->m_done.load(); }));
    EXPECT_EQ(failing->m_thread.load(), next->m_thread.load());
    EXPECT_EQ(1u, pool.getWorkerCount());
}

TEST(KvThreadPool, AFailingJobOnTheCallerIsLoggedAndNotPassedOn) {
    KvCapturedLog log;
    KvThreadPool pool(nullptr, 0);
    KvHandle<JobObserver> failing(new JobObserver([] { KvException::sThrow("own job failed"); }));
    EXPECT_NO_THROW(pool.submitUpdate(failing, KvHandle<KvObject>()));
    KvHandle<JobObserver> foreign(new JobObserver([] { throw 42; }));
    EXPECT_NO_THROW(pool.submitUpdate(foreign, KvHandle<KvObject>()));
    EXPECT_TRUE(log.contains("catch exception in KvThreadPool::mDoItYourSelf(): own job failed\n"));
    EXPECT_TRUE(
        log.contains("catch exception in KvThreadPool::mDoItYourSelf(): unknown exception"));
    // Unknown kinds and empty targets do nothing.
    pool.mDoItYourSelf(3, KvHandle<KvObservable>(), failing, KvHandle<KvObject>());
    pool.mDoItYourSelf(KvThreadPool::UPDATE, KvHandle<KvObservable>(), KvHandle<KvObserver>(),
                       KvHandle<KvObject>());
}

TEST(KvThreadPool, AWorkerThatCannotBeStartedLeavesTheJobToTheCaller) {
    for (bool throwIt : {true, false}) {
        KvCapturedLog log;
        FailingPool pool(throwIt);
        KvHandle<JobObserver> job(new JobObserver);
        pool.submitUpdate(job, KvHandle<KvObject>());
        EXPECT_TRUE(job->m_done);
        EXPECT_EQ(std::this_thread::get_id(), job->m_threadId.load());
        EXPECT_EQ(0u, pool.getWorkerCount());
        if (throwIt) {
            EXPECT_TRUE(
                log.contains("catch exception in KvThreadPool::getIdleWorker(): CreateThread"));
        }
    }
}

TEST(KvThreadPool, APoolDestroyedWhileAJobRunsLetsTheWorkerFinishSafely) {
    Gate gate;
    KvHandle<JobObserver> job(new JobObserver([&] { gate.wait(); }));
    KvThread* worker = nullptr;
    {
        KvThreadPool pool(nullptr, 2);
        pool.submitUpdate(job, KvHandle<KvObject>());
        KvHandle<JobObserver> idle(new JobObserver);
        pool.submitUpdate(idle, KvHandle<KvObject>());
        ASSERT_TRUE(waitUntil([&] { return job->m_thread && pool.getIdleCount() == 1; }));
        worker = job->m_thread.load();
    }
    KvHandle<KvThread> keep(worker); // to watch it end
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return keep->getState() == KvThread::DETACHED; }));
    EXPECT_TRUE(job->m_done);
}

TEST(KvThreadPool, JobsHandedToWorkersRunWhenThePoolGoesRightAfter) {
    std::atomic<int> ran{0};
    KvHandle<JobObserver> job(new JobObserver([&] { ran.fetch_add(1); }));
    for (int i = 0; i < 50; ++i) {
        KvThreadPool pool(nullptr, 4);
        for (int j = 0; j < 4; ++j)
            pool.submitUpdate(job, KvHandle<KvObject>());
    }
    EXPECT_TRUE(waitUntil([&] { return ran.load() == 200; }, std::chrono::seconds(10)))
        << ran.load() << " of 200 ran";
}
