// The timer scheduler: one thread keeping absolute due times in order. A due timer is not run
// here: it becomes a KvTimerEvent on the timer dispatcher, so that its observer is updated on a
// pool worker, never on this thread and never under the queue's lock.
#pragma once

#include "KvThread.h"
#include "KvTime.h"

#include <cstddef>
#include <cstdint>
#include <map>

class KvMonitorThread;
class KvMutex;

// Due time -> (observer, argument); entries with equal due times keep their scheduling order.
class KvTimerQueue {
public:
    struct Entry {
        KvHandle<KvObserver> observer;
        KvHandle<KvObject> argument; // may be null
    };

    // The owner, the scheduler that holds the queue, is not kept, as a thread pool's is not.
    explicit KvTimerQueue(KvMonitorThread* owner);
    ~KvTimerQueue();
    KvTimerQueue(const KvTimerQueue&) = delete;
    KvTimerQueue& operator=(const KvTimerQueue&) = delete;

    // Enters the timer; true when it is now the earliest, so the scheduler must recompute its wait.
    bool insert(KvTime due, KvHandle<KvObserver> observer, KvHandle<KvObject> argument);
    // With an observer: removes the first entry of that due time whose observer equals it. Without
    // one: removes every entry of that due time (true even when there was none).
    bool remove(const KvHandle<KvObserver>& observer, uint64_t id);
    // Takes the first entry when it is due within a millisecond of now and returns 0; otherwise
    // returns the microseconds until it is due, or -1 when the queue is empty.
    int64_t takeDue(KvTime now, KvTime& due, Entry& entry);
    void clear();
    size_t size() const;

private:
    std::multimap<KvTime, Entry> m_entries;
    KvMutex* m_mutex;
};

class KvMonitorThread : public KvThread {
public:
    KvMonitorThread();
    ~KvMonitorThread() override;

    void run() override;
    // Also stops it being the process-wide scheduler, whether or not its body has begun.
    void stop() override;

    // Schedules a timer delayMs milliseconds from now; returns its id, the due time.
    uint64_t schedule(uint32_t delayMs, KvHandle<KvObserver> observer, KvHandle<KvObject> argument);
    // Removes the timer (see KvTimerQueue::remove); true when something was removed. A timer that
    // has fired is gone: cancelling it then returns false (with an observer).
    bool cancel(KvHandle<KvObserver> observer, uint64_t id);
    // Hands every due timer to the timer dispatcher; returns the microseconds until the next one,
    // or 0 when none is pending.
    int64_t fire();
    // The scheduler's wait in milliseconds for a result of fire: no limit for 0, else at least 1.
    static uint32_t sWaitTime(int64_t untilDue);
    size_t getPendingCount() const { return m_timerQueue.size(); }

    // The calling thread's own scheduler when it is one, else the process-wide scheduler, made
    // and started on first use.
    static KvMonitorThread* instance();
    static uint64_t forwardSchedule(KvMonitorThread* scheduler, uint32_t delayMs,
                                    KvHandle<KvObserver> observer, KvHandle<KvObject> argument);
    static uint64_t scheduleTimer(uint32_t delayMs, KvHandle<KvObserver> observer,
                                  KvHandle<KvObject> argument = KvHandle<KvObject>());
    static bool cancelTimer(KvHandle<KvObserver> observer, uint64_t id);

protected:
    void atEnd() override;

private:
    static KvHandle<KvMonitorThread> sInstanceHandle();
    static void sForget(KvMonitorThread* scheduler);

    KvTimerQueue m_timerQueue;
};
