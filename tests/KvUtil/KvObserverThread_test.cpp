#include "KvThreadTestSupport.h"

#include "KvException.h"
#include "KvObserverThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using kvtest::waitUntil;

namespace {

// An observable whose block() runs the given function with the number of the call.
class ScriptedSource : public KvObservable {
public:
    explicit ScriptedSource(std::function<bool(int)> script) : m_script(std::move(script)) {}
    bool block() override {
        m_thread = KvThread::currentThread();
        return m_script(m_calls.fetch_add(1) + 1);
    }
    std::function<bool(int)> m_script;
    std::atomic<int> m_calls{0};
    std::atomic<KvThread*> m_thread{nullptr};
};

} // namespace

TEST(KvObserverThread, CallsBlockUntilItReturnsFalseAndThenEnds) {
    KvHandle<ScriptedSource> source(new ScriptedSource([](int call) { return call < 5; }));
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(source);
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
    EXPECT_EQ(5, source->m_calls.load());
    EXPECT_EQ(thread.get(), source->m_thread.load());
    // The thread let go of its source.
    ASSERT_TRUE(waitUntil([&] { return source->getRefCount() == 1; }));
}

TEST(KvObserverThread, AFailingBlockIsLoggedAndCalledAgainAtOnce) {
    KvCapturedLog log;
    KvHandle<ScriptedSource> source(new ScriptedSource([](int call) -> bool {
        if (call == 2)
            KvException::sThrow("receive failed");
        return call < 4;
    }));
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(source);
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
    EXPECT_EQ(4, source->m_calls.load());
    EXPECT_EQ("catch exception in KvObserverThread::block(): receive failed\n", log.text());
}

TEST(KvObserverThread, StopEndsTheLoop) {
    KvHandle<ScriptedSource> source(new ScriptedSource([](int) {
        KvThread::currentThread()->waitForWakeup(1);
        return true;
    }));
    KvHandle<KvObserverThread> thread = KvObserverThread::sStart(source);
    ASSERT_TRUE(waitUntil([&] { return source->m_calls.load() > 3; }));
    thread->stop();
    ASSERT_TRUE(waitUntil([&] { return thread->getState() == KvThread::DETACHED; }));
}
