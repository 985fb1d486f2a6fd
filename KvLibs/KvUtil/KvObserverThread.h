// A thread that calls the blocking operation (block()) of one observable over and over: the
// receive thread of a datagram socket. It ends when block() returns false, for a source that has
// nothing more to give (a closed socket) could never wake it again.
#pragma once

#include "KvThread.h"

class KvObserverThread : public KvThread {
public:
    KvObserverThread();
    ~KvObserverThread() override;

    void run() override;

    // Makes, starts and wakes a thread calling source->block(). The thread keeps itself alive
    // while it runs; the returned handle is for a caller that wants to stop it later.
    static KvHandle<KvObserverThread> sStart(KvHandle<KvObservable> source);

private:
    KvHandle<KvObservable> m_blockSource; // set before the first wakeup, then only read
};
