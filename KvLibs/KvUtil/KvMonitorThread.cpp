#include "KvMonitorThread.h"

#include "KvBaseEvent.h"
#include "KvMutex.h"
#include "KvTimer.h"
#include "KvTimerDispatcher.h"

#include <mutex>

namespace {
std::mutex s_instanceMutex;
KvMonitorThread* s_instance = nullptr; // guarded by s_instanceMutex
} // namespace

KvTimerQueue::KvTimerQueue(KvMonitorThread* /*owner*/) : m_mutex(new KvMutex) {}

KvTimerQueue::~KvTimerQueue() {
    clear();
    KvMutex::destroy(m_mutex);
}

bool KvTimerQueue::insert(KvTime due, KvHandle<KvObserver> observer, KvHandle<KvObject> argument) {
    KvLockGuard guard(m_mutex);
    bool earliest = m_entries.empty() || due < m_entries.begin()->first;
    // A multimap puts an equal key behind those already there: scheduling order is kept.
    m_entries.emplace(due, Entry{std::move(observer), std::move(argument)});
    return earliest;
}

bool KvTimerQueue::remove(const KvHandle<KvObserver>& observer, uint64_t id) {
    if (id == 0)
        return false;
    std::multimap<KvTime, Entry> removed; // released after unlocking: destructors may run
    {
        KvLockGuard guard(m_mutex);
        auto range = m_entries.equal_range(KvTime(id));
        if (observer.isNull()) {
            while (range.first != range.second)
                removed.insert(m_entries.extract(range.first++));
            return true;
        }
        for (auto it = range.first; it != range.second; ++it) {
            const KvObserver* present = it->second.observer.get();
            if (present == observer.get() ||
                (present && present->compareWith(observer.get()) == 0)) {
                removed.insert(m_entries.extract(it));
                return true;
            }
        }
    }
    return false;
}

int64_t KvTimerQueue::takeDue(KvTime now, KvTime& due, Entry& entry) {
    KvLockGuard guard(m_mutex);
    if (m_entries.empty())
        return -1;
    auto first = m_entries.begin();
    int64_t remaining = first->first - now;
    if (remaining > 1000)
        return remaining;
    due = first->first;
    entry = std::move(first->second);
    m_entries.erase(first);
    return 0;
}

void KvTimerQueue::clear() {
    std::multimap<KvTime, Entry> removed;
    KvLockGuard guard(m_mutex);
    removed.swap(m_entries);
}

size_t KvTimerQueue::size() const {
    KvLockGuard guard(m_mutex);
    return m_entries.size();
}

KvMonitorThread::KvMonitorThread() : m_timerQueue(this) {}

KvMonitorThread::~KvMonitorThread() = default;

uint64_t KvMonitorThread::schedule(uint32_t delayMs, KvHandle<KvObserver> observer,
                                   KvHandle<KvObject> argument) {
    KvTime due = KvTime::now() + static_cast<uint64_t>(delayMs) * 1000u;
    if (m_timerQueue.insert(due, std::move(observer), std::move(argument)))
        wakeup(); // the scheduler sleeps until a later time: make it look again
    return due.get();
}

bool KvMonitorThread::cancel(KvHandle<KvObserver> observer, uint64_t id) {
    return m_timerQueue.remove(observer, id);
}

int64_t KvMonitorThread::fire() {
    // Counted: a dispatcher stopped meanwhile stays alive until our put to it has returned.
    KvHandle<KvTimerDispatcher> dispatcher;
    for (;;) {
        KvTime due;
        KvTimerQueue::Entry entry;
        int64_t remaining = m_timerQueue.takeDue(KvTime::now(), due, entry);
        if (remaining < 0)
            return 0;
        if (remaining > 0)
            return remaining;
        if (entry.argument.isNull())
            entry.argument = new KvTimer(due.get());
        if (dispatcher.isNull())
            dispatcher = KvTimerDispatcher::sInstanceHandle();
        // A stopped dispatcher refuses the event; the one that replaced it takes it instead.
        while (!dispatcher->put(new KvTimerEvent(entry.observer, entry.argument))) {
            KvHandle<KvTimerDispatcher> next = KvTimerDispatcher::sInstanceHandle();
            if (next.get() == dispatcher.get())
                break;
            dispatcher = next;
        }
    }
}

uint32_t KvMonitorThread::sWaitTime(int64_t untilDue) {
    if (untilDue <= 0)
        return KV_INFINITE;
    uint64_t quotient = static_cast<uint64_t>(untilDue) / 1000u;
    // Never the all-ones value, which would wait for ever on a timer weeks away.
    return quotient == 0             ? 1
           : quotient >= KV_INFINITE ? KV_INFINITE - 1
                                     : static_cast<uint32_t>(quotient);
}

void KvMonitorThread::run() {
    while (getState() != EXITING)
        waitForWakeup(sWaitTime(fire()));
}

void KvMonitorThread::stop() {
    StopScope scope(*this); // the process-wide scheduler lives only by its thread's own reference
    KvThread::stop();
    sForget(this);
}

void KvMonitorThread::atEnd() {
    sForget(this);
    m_timerQueue.clear();
}

void KvMonitorThread::sForget(KvMonitorThread* scheduler) {
    std::lock_guard<std::mutex> lock(s_instanceMutex);
    if (s_instance == scheduler)
        s_instance = nullptr; // the next instance() makes a new scheduler
}

KvHandle<KvMonitorThread> KvMonitorThread::sInstanceHandle() {
    if (auto* own = dynamic_cast<KvMonitorThread*>(KvThread::currentThread()))
        return KvHandle<KvMonitorThread>(own);
    std::lock_guard<std::mutex> lock(s_instanceMutex);
    // One told to stop is alive until it has forgotten itself under this lock, but no longer ours.
    if (!s_instance || s_instance->getState() == EXITING) {
        KvHandle<KvMonitorThread> made(new KvMonitorThread());
        made->fork(); // one that fails goes with our handle
        s_instance = made.get();
    }
    // Counted under the lock: a scheduler that is ending forgets itself under it first.
    return KvHandle<KvMonitorThread>(s_instance);
}

KvMonitorThread* KvMonitorThread::instance() {
    return sInstanceHandle().get();
}

uint64_t KvMonitorThread::forwardSchedule(KvMonitorThread* scheduler, uint32_t delayMs,
                                          KvHandle<KvObserver> observer,
                                          KvHandle<KvObject> argument) {
    return scheduler->schedule(delayMs, std::move(observer), std::move(argument));
}

uint64_t KvMonitorThread::scheduleTimer(uint32_t delayMs, KvHandle<KvObserver> observer,
                                        KvHandle<KvObject> argument) {
    KvHandle<KvMonitorThread> scheduler = sInstanceHandle();
    return forwardSchedule(scheduler.get(), delayMs, std::move(observer), std::move(argument));
}

bool KvMonitorThread::cancelTimer(KvHandle<KvObserver> observer, uint64_t id) {
    KvHandle<KvMonitorThread> scheduler = sInstanceHandle();
    return scheduler->cancel(std::move(observer), id);
}
