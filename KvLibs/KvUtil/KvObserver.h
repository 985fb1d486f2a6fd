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
    virtual bool hasObserver() const { return !m_observer.isNull(); }
    virtual bool block();

    void notifyObserver(KvHandle<KvObject> argument);
    const KvHandle<KvObserver>& getObserver() const { return m_observer; }

protected:
    friend class KvObserver;
    friend class KvMultiSourceObserver;
    KvHandle<KvObserver> m_observer;
};
