#include "KvThreadTestSupport.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvProcess.h"
#include "KvThread.h"
#include "KvThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using kvtest::FunctionThread;
using kvtest::Gate;
using kvtest::JobObserver;
using kvtest::waitUntil;

namespace {

std::string printed(const KvObject* object) {
    KvHandle<KvCapturingSink> sink(new KvCapturingSink);
    *sink << object;
    return sink->text();
}

// Counts its destructions, to see when the last holder let go.
std::atomic<int> g_destroyed{0};
class CountedThread : public FunctionThread {
public:
    using FunctionThread::FunctionThread;
    ~CountedThread() override { g_destroyed.fetch_add(1); }
};

} // namespace

// Must stay the first test: it looks at the process before any thread object exists.
TEST(KvThread, CurrentThreadMakesTheProcessObjectFirstAndIsNullOnTheMainThreadAfter) {
    if (!KvProcess::peekInstance()) {
        KvThread* first = KvThread::currentThread();
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(KvProcess::peekInstance(), first);
    }
    KvHandle<KvThread> thread(new FunctionThread([](FunctionThread&) {}));
    EXPECT_EQ(nullptr, KvThread::currentThread());
    KvProcess* process = KvProcess::instance();
    EXPECT_EQ(process, KvProcess::instance());
    EXPECT_EQ(KvThread::INITIALIZING, process->getState());
    EXPECT_EQ(kvCurrentThreadId(), process->getThreadId());
}

TEST(KvThread, ThereIsOnlyOneProcessObject) {
    KvProcess::instance();
    try {
        KvProcess second;
        FAIL() << "a second process object was made";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ("There can only be one KvProcess object", e->getText());
    }
    // The process object is a thread whose state is not DETACHED: it cannot be forked.
    EXPECT_THROW(KvProcess::instance()->fork(), KvHandle<KvException>);
}

TEST(KvThread, RunsItsBodyOnANewThreadThatKnowsItself) {
    std::atomic<KvThread*> seen{nullptr};
    std::atomic<uint32_t> idInside{0};
    std::atomic<int32_t> stateInside{-1};
    KvHandle<FunctionThread> thread(new FunctionThread([&](FunctionThread& self) {
        idInside = kvCurrentThreadId();
        stateInside = self.getState();
        seen = KvThread::currentThread();
    }));
    EXPECT_EQ(KvThread::DETACHED, thread->getState());
    EXPECT_EQ(0u, thread->getThreadId());
    thread->fork();
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED && seen; }));
    EXPECT_EQ(thread.get(), seen.load());
    EXPECT_EQ(KvThread::RUNNING, stateInside.load());
    EXPECT_EQ(idInside.load(), thread->getThreadId());
    EXPECT_NE(kvCurrentThreadId(), thread->getThreadId());
}

TEST(KvThread, ForkOnAThreadThatIsNotDetachedFails) {
    Gate gate;
    KvHandle<FunctionThread> running(new FunctionThread([&](FunctionThread&) { gate.wait(); }));
    running->fork();
    try {
        running->fork();
        FAIL() << "forked twice";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ("KvThread::fork() on already running thread", e->getText());
    }
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return running->getState() == KvThread::DETACHED; }));

    // A thread told to stop before it was ever started is EXITING and cannot be forked.
    KvHandle<FunctionThread> stopped(new FunctionThread([](FunctionThread&) {}));
    stopped->stop();
    EXPECT_EQ(KvThread::EXITING, stopped->getState());
    EXPECT_THROW(stopped->fork(), KvHandle<KvException>);
}

TEST(KvThread, AThreadThatEndedCanBeForkedAgain) {
    std::atomic<int> runs{0};
    KvHandle<FunctionThread> thread(
        new FunctionThread([&](FunctionThread&) { runs.fetch_add(1); }));
    for (int i = 1; i <= 3; ++i) {
        thread->fork();
        ASSERT_TRUE(waitUntil(
            [&] { return runs.load() == i && thread->getState() == KvThread::DETACHED; }));
    }
}

TEST(KvThread, WakeupsAndWaits) {
    KvHandle<FunctionThread> thread(new FunctionThread([](FunctionThread&) {}));
    // A wakeup that comes first makes the next wait return at once, and leaves the state alone.
    thread->wakeup();
    thread->wakeup();
    thread->waitForWakeup(KV_INFINITE);
    EXPECT_EQ(KvThread::RUNNING, thread->getState());
    // A time-out is no error.
    thread->waitForWakeup(1);

    // A thread that is EXITING does not wait at all and stays EXITING.
    thread->stop();
    thread->waitForWakeup(KV_INFINITE);
    EXPECT_EQ(KvThread::EXITING, thread->getState());
}

TEST(KvThread, StopEndsABodyThatSleepsUntilStopped) {
    // Stops racing the thread's own start and its first wait: none may be lost.
    for (int i = 0; i < 300; ++i) {
        std::atomic<bool> ended{false};
        KvHandle<FunctionThread> thread(new FunctionThread([&](FunctionThread& self) {
            while (self.getState() != KvThread::EXITING)
                self.waitForWakeup(KV_INFINITE);
            ended = true;
        }));
        thread->fork();
        if (i % 3 == 1)
            std::this_thread::yield();
        if (i % 3 == 2)
            waitUntil([&] { return thread->getState() == KvThread::BLOCKED; });
        thread->stop();
        ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }))
            << "stop lost in round " << i;
        if (i % 3 == 2) {
            EXPECT_TRUE(ended);
        }
    }
}

TEST(KvThread, ExitingIsLeftOnlyForDetached) {
    KvHandle<FunctionThread> thread(new FunctionThread([](FunctionThread&) {}));
    thread->stop();
    thread->setState(KvThread::RUNNING);
    EXPECT_EQ(KvThread::EXITING, thread->getState());
    thread->setState(KvThread::BLOCKED);
    EXPECT_EQ(KvThread::EXITING, thread->getState());
    thread->setState(KvThread::DETACHED);
    EXPECT_EQ(KvThread::DETACHED, thread->getState());
}

TEST(KvThread, ExceptionsEscapingTheBodyAreLoggedAndEndTheThread) {
    KvCapturedLog log;
    KvHandle<FunctionThread> ours(
        new FunctionThread([](FunctionThread&) { KvException::sThrow("body failed"); }));
    ours->fork();
    ASSERT_TRUE(waitUntil([&] { return ours->getState() == KvThread::DETACHED; }));
    ASSERT_TRUE(waitUntil([&] { return log.contains("\n"); }));
    EXPECT_EQ("catch exception in KvThread::block(): body failed\n", log.text());

    // Not ours: without the catch it would end the whole process.
    KvHandle<FunctionThread> foreign(
        new FunctionThread([](FunctionThread&) { throw std::runtime_error("foreign failure"); }));
    foreign->fork();
    ASSERT_TRUE(waitUntil([&] { return log.contains("foreign failure"); }));
    ASSERT_TRUE(waitUntil([&] { return foreign->getState() == KvThread::DETACHED; }));
}

TEST(KvThread, ACatchSiteWhoseLogCannotBeWrittenDropsTheLineAndGoesOn) {
    KvUnwritableLog full;
    KvHandle<FunctionThread> thread(
        new FunctionThread([](FunctionThread&) { KvException::sThrow("body failed"); }));
    thread->fork();
    bool ended = waitUntil([&] { return thread->getState() == KvThread::DETACHED; });
    std::atomic<bool> ran{false};
    {
        KvThreadPool pool(nullptr, 1);
        KvHandle<JobObserver> job(new JobObserver([&] {
            ran = true;
            KvException::sThrow("job failed");
        }));
        pool.submitUpdate(job, KvHandle<KvObject>());
        EXPECT_TRUE(waitUntil([&] { return job->m_thread.load() && pool.getIdleCount() == 1; }));
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(ran);
}

TEST(KvThread, AStartedThreadKeepsItsObjectAliveUntilItsBodyEnds) {
    int before = g_destroyed.load();
    Gate gate;
    std::atomic<bool> touched{false};
    {
        KvHandle<CountedThread> thread(new CountedThread([&](FunctionThread& self) {
            gate.wait();
            self.setState(KvThread::RUNNING); // uses the object after its last handle went
            touched = true;
        }));
        thread->fork();
    }
    EXPECT_EQ(before, g_destroyed.load());
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return g_destroyed.load() == before + 1; }));
    EXPECT_TRUE(touched);
}

TEST(KvThread, WhoeverSeesDetachedSeesTheFinalCount) {
    // The registry's and the started thread's own references are gone before DETACHED shows.
    for (int i = 0; i < 200; ++i) {
        KvHandle<FunctionThread> thread(new FunctionThread([](FunctionThread&) {}));
        thread->fork();
        while (thread->getState() != KvThread::DETACHED)
            std::this_thread::yield();
        ASSERT_EQ(1, thread->getRefCount()) << "run " << i;
    }
}

TEST(KvThread, PrintShowsIdAndStateName) {
    KvHandle<FunctionThread> thread(new FunctionThread([](FunctionThread&) {}));
    std::string text = printed(thread.get());
    EXPECT_NE(std::string::npos, text.find("FunctionThread\t0\tDETACHED\n")) << text;
    thread->setState(KvThread::BLOCKED);
    EXPECT_NE(std::string::npos, printed(thread.get()).find("\tBLOCKED\n"));
    thread->setState(7);
    EXPECT_NE(std::string::npos, printed(thread.get()).find("\t0\tUNKNOWN STATE\n"));
}

TEST(KvThread, BlockIsNotImplemented) {
    KvHandle<FunctionThread> thread(new FunctionThread([](FunctionThread&) {}));
    try {
        thread->block();
        FAIL();
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ("Not yet implemented", e->getText());
    }
}
