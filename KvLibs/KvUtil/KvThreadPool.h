// The workers of one dispatcher. A job (notify an observable's observer, or update an observer)
// goes to the worker that became idle last, or to a new worker while fewer than the maximum exist;
// otherwise the calling thread (the dispatcher) runs it itself.
#pragma once

#include "KvObserver.h"

#include <cstdint>
#include <vector>

class KvMutex;
class KvThread;
class KvWorkerThread;

class KvThreadPool {
public:
    enum JobKind : uint32_t { NO_JOB = 0, NOTIFY = 1, UPDATE = 2 };

    // The owner, the dispatcher that holds the pool, is not kept: a count back would keep one that
    // never ran alive for good, and while it runs its thread's own reference keeps it.
    KvThreadPool(KvThread* owner, uint32_t maximum);
    // Stops the workers and cuts them loose: a worker that was given a job runs it on its own.
    virtual ~KvThreadPool();
    KvThreadPool(const KvThreadPool&) = delete;
    KvThreadPool& operator=(const KvThreadPool&) = delete;

    void submitNotify(KvHandle<KvObservable> observable, KvHandle<KvObject> argument);
    void submitUpdate(KvHandle<KvObserver> observer, KvHandle<KvObject> argument);

    // The idle worker returned last, a new worker, or null when the pool is exhausted.
    KvWorkerThread* getIdleWorker();
    void returnWorker(KvWorkerThread* worker);
    void removeWorker(KvWorkerThread* worker);
    // Runs a job on the calling thread; what the job throws is logged, never passed on.
    void mDoItYourSelf(uint32_t kind, KvHandle<KvObservable> observable,
                       KvHandle<KvObserver> observer, KvHandle<KvObject> argument);

    uint32_t getMaximum() const { return m_maximum; }
    uint32_t getWorkerCount() const;
    uint32_t getIdleCount() const;

protected:
    // Makes and starts one worker of this pool; null or an exception when it cannot be started.
    virtual KvWorkerThread* createWorker();

private:
    friend class KvWorkerThread;
    // A worker's way back to its pool: safe against the pool being destroyed meanwhile.
    static void sReturn(KvWorkerThread* worker);
    static void sRemove(KvWorkerThread* worker);
    bool unlist(KvWorkerThread* worker);

    uint32_t m_maximum;
    uint32_t m_workerCount;
    std::vector<KvWorkerThread*> m_idleWorkers;
    std::vector<KvWorkerThread*> m_allWorkers;
    KvMutex* m_mutex;
};
