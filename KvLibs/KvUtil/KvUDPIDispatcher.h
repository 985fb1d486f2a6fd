// Incoming datagrams: each event's (observer, argument) goes to a pool worker as an update job.
// Every datagram socket's receive thread puts here, so its puts are serialised.
#pragma once

#include "KvDispatcherThread.h"

class KvUDPIDispatcher : public KvDispatcherThread {
public:
    KvUDPIDispatcher();
    ~KvUDPIDispatcher() override;
    void dispatch(KvBaseEvent* event) override;
    void clearInstance() override;

    // The process-wide dispatcher, made and started on first use.
    static KvUDPIDispatcher* instance();
    // The same, counted: it stays alive while the handle is held, even when stopped meanwhile.
    static KvHandle<KvUDPIDispatcher> sInstanceHandle();
    // The queue of the instance, or null when there is none (makes nothing).
    static KvDispatchQueue* getInstanceQueue();
};
