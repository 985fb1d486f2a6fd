// The events that cross threads on the dispatchers' queues. They are not counted objects: the
// queue owns an event while it waits, and the dispatcher thread deletes it after dispatch. Each
// holds a reference on its two objects until it is deleted.
#pragma once

#include "KvObject.h"
#include "KvObserver.h"

class KvBaseEvent {
public:
    KvBaseEvent() = default;
    KvBaseEvent(const KvBaseEvent&) = delete;
    KvBaseEvent& operator=(const KvBaseEvent&) = delete;
    virtual ~KvBaseEvent();
};

// A received datagram (or the exception that ended the receiving) for the observer's update.
class KvUDPEvent : public KvBaseEvent {
public:
    KvUDPEvent(KvHandle<KvObserver> observer, KvHandle<KvObject> argument);
    ~KvUDPEvent() override;

    KvHandle<KvObserver> m_observer;
    KvHandle<KvObject> m_argument;
};

// Incoming: the observable that received the data and its argument. Outgoing: the client socket
// to send on and the byte array to send.
class KvTCPEvent : public KvBaseEvent {
public:
    KvTCPEvent(KvHandle<KvObject> first, KvHandle<KvObject> second);
    ~KvTCPEvent() override;

    KvHandle<KvObject> m_first;
    KvHandle<KvObject> m_second;
};

// A timer that came due: the observer to update and the argument it was scheduled with (or a
// KvTimer carrying its id).
class KvTimerEvent : public KvBaseEvent {
public:
    KvTimerEvent(KvHandle<KvObserver> observer, KvHandle<KvObject> argument);
    ~KvTimerEvent() override;

    KvHandle<KvObserver> m_observer;
    KvHandle<KvObject> m_argument;
};
