// A thread that takes events off its bounded queue one by one and hands each to dispatch. Any
// thread may put; only the dispatcher thread gets. The incoming and timer dispatchers pass the
// work on to their thread pool.
#pragma once

#include "KvDispatchQueue.h"
#include "KvThread.h"
#include "KvThreadPool.h"

#include <atomic>
#include <mutex>

class KvBaseEvent;

class KvDispatcherThread : public KvThread {
public:
    KvDispatcherThread(uint32_t poolMaximum, bool lockedQueue);
    ~KvDispatcherThread() override;

    void run() override;
    // Also closes the queue, which wakes a dispatcher waiting for an event and releases every
    // sender, and stops this dispatcher being its class's process-wide instance, whether or not
    // its body has begun.
    void stop() override;

    // Handles one event; the event is deleted by the caller afterwards.
    virtual void dispatch(KvBaseEvent* event) = 0;
    // Forgets this dispatcher as its class's process-wide instance.
    virtual void clearInstance() {}

    KvDispatchQueue* getQueue() { return &m_queue; }
    KvThreadPool* getPool() { return &m_pool; }
    // Queues the event (see KvDispatchQueue::put); the queue owns it from here on. Once the
    // dispatcher is stopped the event is deleted instead and false returned. The caller's own
    // pointer must be good when it calls: a counted handle, or one it knows to be alive.
    bool put(KvBaseEvent* event) { return m_queue.put(event); }

    // The process-wide instance of one dispatcher class, made and forked on first use.
    template <class Dispatcher> struct Singleton {
        std::atomic<Dispatcher*> instance{nullptr};
        std::mutex mutex;

        Dispatcher* get() {
            if (Dispatcher* present = instance.load(std::memory_order_acquire))
                return present;
            std::lock_guard<std::mutex> lock(mutex);
            return getLocked();
        }
        // Counted under the lock: a dispatcher that ends forgets itself under it first.
        KvHandle<Dispatcher> handle() {
            std::lock_guard<std::mutex> lock(mutex);
            return KvHandle<Dispatcher>(getLocked());
        }
        void clear(Dispatcher* dispatcher) {
            std::lock_guard<std::mutex> lock(mutex);
            if (instance.load(std::memory_order_acquire) == dispatcher)
                instance.store(nullptr, std::memory_order_release);
        }
        KvDispatchQueue* queue() {
            Dispatcher* present = instance.load(std::memory_order_acquire);
            return present ? present->getQueue() : nullptr;
        }

    private:
        Dispatcher* getLocked() {
            Dispatcher* present = instance.load(std::memory_order_acquire);
            // One told to stop is still alive here, but no longer the instance.
            if (present && present->getState() != KvThread::EXITING)
                return present;
            KvHandle<KvThread> made(new Dispatcher());
            auto* dispatcher = static_cast<Dispatcher*>(made.get());
            made->fork(); // one that fails goes with our handle
            instance.store(dispatcher, std::memory_order_release);
            return dispatcher; // alive while its thread runs
        }
    };

protected:
    void atEnd() override;

    KvThreadPool m_pool;
    KvDispatchQueue m_queue;
};
