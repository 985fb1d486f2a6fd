// A thread of a KvThreadPool: it sleeps until it is given a job, runs it, and returns itself to
// its pool's idle stack.
#pragma once

#include "KvThread.h"

#include <cstdint>

class KvThreadPool;

class KvWorkerThread : public KvThread {
public:
    explicit KvWorkerThread(KvThreadPool* pool);
    ~KvWorkerThread() override;

    void run() override;

    void assignNotify(KvHandle<KvObservable> observable, KvHandle<KvObject> argument);
    void assignUpdate(KvHandle<KvObserver> observer, KvHandle<KvObject> argument);

protected:
    void atEnd() override;

private:
    friend class KvThreadPool;
    void runJob();
    void runAndClearJob();
    void clearJob();

    uint32_t m_jobKind;
    KvHandle<KvObservable> m_observable;
    KvHandle<KvObserver> m_observer;
    KvHandle<KvObject> m_argument;
    KvThreadPool* m_pool; // guarded by the pools' link lock; null once the pool is gone
};
