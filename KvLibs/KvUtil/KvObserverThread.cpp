#include "KvObserverThread.h"

#include "KvByteArrayOutputStream.h"
#include "KvErrorStream.h"
#include "KvOutputStream.h"

KvObserverThread::KvObserverThread() = default;

KvObserverThread::~KvObserverThread() = default;

KvHandle<KvObserverThread> KvObserverThread::sStart(KvHandle<KvObservable> source) {
    KvHandle<KvObserverThread> thread(new KvObserverThread());
    thread->m_blockSource = source; // set before the thread exists: no race with its reads
    thread->fork();
    thread->wakeup();
    return thread;
}

void KvObserverThread::run() {
    for (;;) {
        waitForWakeup(KV_INFINITE);
        if (getState() == EXITING)
            break;
        KvHandle<KvObservable> source = m_blockSource;
        bool more = true;
        bool returned = sRunCaught("KvObserverThread::block", [&] {
            while (getState() != EXITING && !source.isNull() && (more = source->block())) {
            }
        });
        if (!returned) {
            wakeup(); // call the source again at once
            continue;
        }
        if (!more || source.isNull())
            break;
    }
    m_blockSource.release(); // an ended thread keeps its source alive no longer
    // The thread's print ends the line itself.
    // The thread's print, which may be a caller's, is made before the line takes the log's lock;
    // it ends the line itself.
    if (KvErrorStream::instance()->isLevelEnabled(5)) {
        KvHandle<KvByteArrayOutputStream> line(new KvByteArrayOutputStream);
        *line << "Terminated: " << KvThread::currentThread();
        line->writeTo(KvErrorLine(5).stream());
    }
}
