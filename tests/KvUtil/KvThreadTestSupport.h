// Helpers shared by the tests of threads, dispatchers, the pool and timers. The log capture
// (KvCapturedLog) comes from support/KvTestLog.h.
#pragma once

#include "KvObserver.h"
#include "KvThread.h"
#include "support/KvTestLog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvtest {

// Polls the condition until it holds or a generous bound has passed; returns whether it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// An observer whose update runs a function and records where it ran.
class JobObserver : public KvObserver {
public:
    explicit JobObserver(std::function<void()> job = {}) : m_job(std::move(job)) {}
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override {
        m_source = source.get();
        m_argument = argument.get();
        m_thread = KvThread::currentThread();
        m_threadId = std::this_thread::get_id();
        if (m_job)
            m_job();
        m_done = true;
    }
    std::function<void()> m_job;
    std::atomic<KvObject*> m_source{nullptr};
    std::atomic<KvObject*> m_argument{nullptr};
    std::atomic<KvThread*> m_thread{nullptr};
    std::atomic<std::thread::id> m_threadId{};
    std::atomic<bool> m_done{false};
};

// A stack thread whose body is the given function.
class FunctionThread : public KvThread {
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> body) : m_body(std::move(body)) {}
    void run() override { m_body(*this); }

private:
    std::function<void(FunctionThread&)> m_body;
};

// A gate that threads wait at until it is opened. Going out of scope it opens and waits until
// every thread that waited has left it.
class Gate {
public:
    ~Gate() {
        open();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_left.wait(lock, [this] { return m_inside == 0; });
    }
    void open() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_condition.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_inside;
        m_condition.wait(lock, [this] { return m_open; });
        if (--m_inside == 0)
            m_left.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::condition_variable m_left;
    bool m_open = false;
    int m_inside = 0;
};

} // namespace kvtest
