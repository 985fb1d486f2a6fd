// Outgoing TCP data: each event's byte array is sent on its client socket, in queue order, by the
// dispatcher thread itself.
#pragma once

#include "KvDispatcherThread.h"

class KvTCPODispatcher : public KvDispatcherThread {
public:
    KvTCPODispatcher();
    ~KvTCPODispatcher() override;
    // A KvTCPEvent (client socket, byte array); a failed send drops the rest of that array. A
    // send fails too when the peer has not taken the array within the socket's send time limit,
    // so that one slow peer holds up the others' messages no longer than that.
    void dispatch(KvBaseEvent* event) override;
    void clearInstance() override;

    // The process-wide dispatcher, made and started on first use.
    static KvTCPODispatcher* instance();
    // The queue of the instance, or null when there is none (makes nothing).
    static KvDispatchQueue* getInstanceQueue();
};
