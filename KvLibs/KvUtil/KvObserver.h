// Notification upward: an observable holds one observer and calls its update with itself and an
// argument. Several sources watched by one observer go through a KvMultiSourceObserver.
#pragma once

#include "KvObject.h"

#include <atomic>

class KvObservable;
class KvObserverGraph;

class KvObserver : public KvObject {
public:
    KvObserver() = default;
    ~KvObserver() override;

    virtual void update(KvHandle<KvObject> source, KvHandle<KvObject> argument);

    void detach();
    // The source watched now (a relay when several are), counted: another thread may change the
    // link meanwhile.
    KvHandle<KvObservable> getSource() const;

protected:
    friend class KvObserverGraph;
    friend class KvObservable;
    friend class KvMultiSourceObserver;
    KvHandle<KvObservable> m_source;

private:
    // Set when it first watches or is watched, never cleared: the destructor of one that never
    // was (most streams) takes no lock, and one that was cannot miss a link another thread moves.
    std::atomic<bool> m_linked{false};
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

    // Calls the observer linked when it starts, which it holds until the update returns.
    void notifyObserver(KvHandle<KvObject> argument);
    // The linked observer (the relay's entry when the observer watches several sources), counted.
    KvHandle<KvObserver> getObserver() const;

protected:
    friend class KvObserverGraph;
    friend class KvObserver;
    friend class KvMultiSourceObserver;
    KvHandle<KvObserver> m_observer;
};
