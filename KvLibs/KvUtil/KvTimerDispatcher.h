// Timer expiries: each event's (observer, argument) goes to a pool worker as an update job, so
// that no observer runs on the timer scheduler's thread.
#pragma once

#include "KvDispatcherThread.h"

class KvTimerDispatcher : public KvDispatcherThread {
public:
    KvTimerDispatcher();
    ~KvTimerDispatcher() override;
    void dispatch(KvBaseEvent* event) override;
    void clearInstance() override;

    // The process-wide dispatcher, made and started on first use.
    static KvTimerDispatcher* instance();
    // The same, counted: it stays alive while the handle is held, even when stopped meanwhile.
    static KvHandle<KvTimerDispatcher> sInstanceHandle();
    // The queue of the instance, or null when there is none (makes nothing).
    static KvDispatchQueue* getInstanceQueue();
};
