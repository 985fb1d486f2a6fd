#include "KvWorkerThread.h"

#include "KvThreadPool.h"

KvWorkerThread::KvWorkerThread(KvThreadPool* pool)
    : m_jobKind(KvThreadPool::NO_JOB), m_pool(pool) {}

KvWorkerThread::~KvWorkerThread() = default;

void KvWorkerThread::assignNotify(KvHandle<KvObservable> observable, KvHandle<KvObject> argument) {
    m_jobKind = KvThreadPool::NOTIFY;
    m_observable = observable;
    m_argument = argument;
    wakeup();
}

void KvWorkerThread::assignUpdate(KvHandle<KvObserver> observer, KvHandle<KvObject> argument) {
    m_jobKind = KvThreadPool::UPDATE;
    m_observer = observer;
    m_argument = argument;
    wakeup();
}

void KvWorkerThread::runJob() {
    if (m_jobKind == KvThreadPool::NOTIFY && !m_observable.isNull())
        m_observable->notifyObserver(m_argument);
    else if (m_jobKind == KvThreadPool::UPDATE && !m_observer.isNull())
        m_observer->update(KvHandle<KvObject>(), m_argument);
}

void KvWorkerThread::clearJob() {
    m_jobKind = KvThreadPool::NO_JOB;
    m_observable.release();
    m_observer.release();
    m_argument.release();
}

void KvWorkerThread::run() {
    for (;;) {
        waitForWakeup(KV_INFINITE);
        if (getState() == EXITING)
            break;
        // Only an assignment gives a job; a worker woken without one is on the idle stack already.
        if (m_jobKind == KvThreadPool::NO_JOB)
            continue;
        runAndClearJob();
        KvThreadPool::sReturn(this);
    }
}

void KvWorkerThread::atEnd() {
    // A job handed over just before the stop (the pool going, say) still runs: it was given to
    // this worker and to nobody else. Stopped before its body began, the worker runs it here.
    if (m_jobKind != KvThreadPool::NO_JOB)
        runAndClearJob();
    KvThreadPool::sRemove(this);
}

void KvWorkerThread::runAndClearJob() {
    sRunCaught("KvWorkerThread::run", [this] { runJob(); });
    // Released after a failed job too: an idle worker keeps nobody's objects alive.
    clearJob();
}
