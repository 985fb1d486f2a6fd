// Notification upward: an observable holds one observer and calls its update with itself and an
// argument. Several sources watched by one observer go through a KvMultiSourceObserver.
#pragma once

#include "KvObject.h"

class KvObservable;

class KvObserver : public KvObject {
public:
    KvObserver() = default;
    ~KvObserver() override;

    virtual void update(KvHandle<KvObject> source, KvHandle<KvObject> argument);

    void detach();
    const KvHandle<KvObservable>& getSource() const { return m_source; }

protected:
    friend class KvObservable;
    friend class KvMultiSourceObserver;
    KvHandle<KvObservable> m_source;
};

class KvObservable : public KvObserver {
public:
    KvObservable() = default;
    ~KvObservable() override;

    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    virtual void attachObserver(KvHandle<KvObserver> observer);
    virtual void detachObserver(KvObserver* observer);
    virtual bool hasObserver() const;
    virtual bool block();

    // Attaching, detaching and notifying may run on different threads: the link is read and
    // changed under a lock, and a notification holds the observer it calls.
    void notifyObserver(KvHandle<KvObject> argument);
    // The linked observer, counted, read under the lock.
    KvHandle<KvObserver> currentObserver() const;
    // For the thread that attaches and detaches; others ask hasObserver.
    const KvHandle<KvObserver>& getObserver() const { return m_observer; }

protected:
    friend class KvObserver;
    friend class KvMultiSourceObserver;
    // Unlinks the observer when it is still the one linked: the counted handle comes back, to be
    // let go outside the lock (abandon: the link's count is dropped uncounted).
    KvHandle<KvObserver> takeObserver(KvObserver* observer);
    // Unlinks the observer when it is still the one linked, and its link back to us.
    void unlinkObserver(KvObserver* observer);
    void abandonObserver(KvObserver* observer);
    KvHandle<KvObserver> m_observer;
};
