// The base of every stack thread: an object made first and started later with fork, whose body is
// run. Any thread may wake it from its sleep in waitForWakeup or tell it to stop; loops check for
// EXITING after each wait. Thread objects are counted and must live on the heap: a started thread
// keeps its object alive until its body has returned.
#pragma once

#include "KvException.h"
#include "KvObserver.h"
#include "KvPlatformThread.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>

class KvThread : public KvObservable {
public:
    enum State : int32_t {
        DETACHED = 0,     // not started, or its body has returned
        INITIALIZING = 1, // forked, body not yet entered; the process object stays here
        RUNNING = 2,
        BLOCKED = 3, // sleeping in waitForWakeup
        EXITING = 4  // told to stop; stays until the body has returned
    };

    KvThread();
    ~KvThread() override;

    void print(KvOutputStream& stream) const override;
    // Threads offer no blocking operation of their own: throws "Not yet implemented".
    bool block() override;

    virtual void run() = 0;
    // Sets EXITING (for good) and wakes the thread when its body runs; does not wait for its end.
    virtual void stop();
    // Ends the current or the next waitForWakeup; one wakeup ends exactly one wait.
    virtual void wakeup();

    void fork();
    // Sleeps until woken or until timeoutMs milliseconds (KV_INFINITE: no limit) have passed.
    // Returns at once when the thread is EXITING.
    void waitForWakeup(uint32_t timeoutMs);

    int32_t getState() const { return m_state.load(std::memory_order_acquire); }
    // Stores the state; EXITING is only ever left for DETACHED, so no stop is lost.
    void setState(int32_t state);
    uint32_t getThreadId() const { return m_threadId.load(std::memory_order_acquire); }

    // The thread object of the calling thread, or null for a thread the stack did not start.
    static KvThread* currentThread();
    static bool isProcessEnding();

    // Writes "catch exception in <site>(): <text>" on the error stream's "KvException" category.
    // A line that cannot be written is dropped: a catch site goes on either way.
    static void sLogCaught(const char* site, const char* text);
    // Runs the job and logs (unless the process is ending) whatever it throws instead of passing
    // it on. Returns false when the job threw.
    template <class Job> static bool sRunCaught(const char* site, Job&& job);

protected:
    // Runs on the started thread after its body, and in the body's place when the thread was
    // stopped before the body began: what a thread must undo however it ends belongs here.
    virtual void atEnd() {}

    // Held by a stop for the whole of its work: a thread that ends meanwhile lets go of its object
    // only once every such stop has returned, so a stop may still touch the object after it has
    // set EXITING, even when its caller holds no reference.
    class StopScope {
    public:
        explicit StopScope(KvThread& thread);
        ~StopScope();
        StopScope(const StopScope&) = delete;
        StopScope& operator=(const StopScope&) = delete;

    private:
        KvThread& m_thread;
    };

    struct ProcessTag {};
    // The process object's constructor: it stands for the calling thread, started by nobody.
    explicit KvThread(ProcessTag);

private:
    static void sStartRoutine(void* self);
    int32_t entry();
    // Drops the started thread's own reference, then publishes DETACHED, so that whoever sees
    // DETACHED sees the final counts.
    void leave();
    // Moves from `from` to `to` unless the state has meanwhile become something else.
    bool changeState(int32_t from, int32_t to);

    std::atomic<uint32_t> m_threadId;
    std::atomic<int32_t> m_state;
    KvPlatformEvent* m_wakeupEvent;
    // Ending threads that still write to the object after they let go of it; the destructor
    // waits until they are done.
    std::atomic<int32_t> m_leaving;
    // Stops under way (see StopScope).
    std::atomic<int32_t> m_stopping;
};

template <class Job> bool KvThread::sRunCaught(const char* site, Job&& job) {
    // Copied: the exception object is gone once its catch block ends.
    std::string text;
    try {
        job();
        return true;
    } catch (KvHandle<KvException>& e) {
        text = e->getText();
    } catch (const std::exception& e) {
        // Not one of ours, but it must not end the thread (and with it the process).
        text = e.what();
    } catch (...) {
        text = "unknown exception";
    }
    if (!isProcessEnding())
        sLogCaught(site, text.c_str());
    return false;
}
