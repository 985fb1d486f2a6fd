#include "KvThreadPool.h"

#include "KvException.h"
#include "KvMutex.h"
#include "KvThread.h"
#include "KvWorkerThread.h"

#include <algorithm>
#include <exception>
#include <mutex>

namespace {
// Guards every worker's link to its pool, so that a worker never reaches a pool being destroyed.
// Taken before a pool's own mutex, never after it.
std::mutex s_linkMutex;

} // namespace

KvThreadPool::KvThreadPool(KvThread* /*owner*/, uint32_t maximum)
    : m_maximum(maximum), m_workerCount(0), m_mutex(new KvMutex) {}

KvThreadPool::~KvThreadPool() {
    std::vector<KvWorkerThread*> workers;
    {
        std::lock_guard<std::mutex> link(s_linkMutex);
        KvLockGuard guard(m_mutex);
        workers.swap(m_allWorkers);
        m_idleWorkers.clear();
        m_workerCount = 0;
        // Each is still alive here: a worker leaves the list (under these locks) before it ends.
        for (KvWorkerThread* worker : workers) {
            worker->m_pool = nullptr;
            worker->stop();
        }
    }
    KvMutex::destroy(m_mutex);
}

void KvThreadPool::submitNotify(KvHandle<KvObservable> observable, KvHandle<KvObject> argument) {
    if (KvWorkerThread* worker = getIdleWorker())
        worker->assignNotify(observable, argument);
    else
        mDoItYourSelf(NOTIFY, observable, KvHandle<KvObserver>(), argument);
}

void KvThreadPool::submitUpdate(KvHandle<KvObserver> observer, KvHandle<KvObject> argument) {
    if (KvWorkerThread* worker = getIdleWorker())
        worker->assignUpdate(observer, argument);
    else
        mDoItYourSelf(UPDATE, KvHandle<KvObservable>(), observer, argument);
}

KvWorkerThread* KvThreadPool::getIdleWorker() {
    {
        KvLockGuard guard(m_mutex);
        if (!m_idleWorkers.empty()) {
            KvWorkerThread* worker = m_idleWorkers.back();
            m_idleWorkers.pop_back();
            return worker;
        }
        if (m_workerCount >= m_maximum || KvThread::isProcessEnding())
            return nullptr;
        ++m_workerCount; // reserved now, so that the maximum holds whoever asks meanwhile
    }
    KvWorkerThread* worker = nullptr;
    KvThread::sRunCaught("KvThreadPool::getIdleWorker", [&] { worker = createWorker(); });
    std::lock_guard<std::mutex> link(s_linkMutex);
    KvLockGuard guard(m_mutex);
    if (worker)
        m_allWorkers.push_back(worker);
    else
        --m_workerCount; // the caller runs the job itself
    return worker;
}

KvWorkerThread* KvThreadPool::createWorker() {
    // Held here until it runs: a worker that cannot be started is deleted again.
    KvHandle<KvWorkerThread> worker(new KvWorkerThread(this));
    worker->fork();
    return worker.get(); // the started thread keeps its object alive
}

void KvThreadPool::returnWorker(KvWorkerThread* worker) {
    if (KvThread::isProcessEnding())
        return;
    KvLockGuard guard(m_mutex);
    m_idleWorkers.push_back(worker);
}

bool KvThreadPool::unlist(KvWorkerThread* worker) {
    KvLockGuard guard(m_mutex);
    auto idle = std::find(m_idleWorkers.begin(), m_idleWorkers.end(), worker);
    if (idle != m_idleWorkers.end())
        m_idleWorkers.erase(idle);
    auto any = std::find(m_allWorkers.begin(), m_allWorkers.end(), worker);
    if (any == m_allWorkers.end())
        return false;
    m_allWorkers.erase(any);
    --m_workerCount;
    return true;
}

void KvThreadPool::removeWorker(KvWorkerThread* worker) {
    unlist(worker);
}

void KvThreadPool::sReturn(KvWorkerThread* worker) {
    std::lock_guard<std::mutex> link(s_linkMutex);
    if (worker->m_pool)
        worker->m_pool->returnWorker(worker);
}

void KvThreadPool::sRemove(KvWorkerThread* worker) {
    std::lock_guard<std::mutex> link(s_linkMutex);
    if (worker->m_pool)
        worker->m_pool->unlist(worker);
    worker->m_pool = nullptr;
}

void KvThreadPool::mDoItYourSelf(uint32_t kind, KvHandle<KvObservable> observable,
                                 KvHandle<KvObserver> observer, KvHandle<KvObject> argument) {
    KvThread::sRunCaught("KvThreadPool::mDoItYourSelf", [&] {
        if (kind == NOTIFY && !observable.isNull())
            observable->notifyObserver(argument);
        else if (kind == UPDATE && !observer.isNull())
            observer->update(KvHandle<KvObject>(), argument);
    });
}

uint32_t KvThreadPool::getWorkerCount() const {
    KvLockGuard guard(m_mutex);
    return m_workerCount;
}

uint32_t KvThreadPool::getIdleCount() const {
    KvLockGuard guard(m_mutex);
    return static_cast<uint32_t>(m_idleWorkers.size());
}
