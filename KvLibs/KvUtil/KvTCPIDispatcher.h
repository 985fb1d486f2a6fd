// Incoming TCP data: each event's (observable, argument) goes to a pool worker as a notify job.
#pragma once

#include "KvDispatcherThread.h"

class KvTCPIDispatcher : public KvDispatcherThread {
public:
    KvTCPIDispatcher();
    ~KvTCPIDispatcher() override;
    void dispatch(KvBaseEvent* event) override;
    void clearInstance() override;

    // The process-wide dispatcher, made and started on first use.
    static KvTCPIDispatcher* instance();
    // The queue of the instance, or null when there is none (makes nothing).
    static KvDispatchQueue* getInstanceQueue();
};
