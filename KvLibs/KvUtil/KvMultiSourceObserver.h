// Fans several observables into one observer, which accepts a single source only.
#pragma once

#include "KvObserver.h"

#include <cstddef>
#include <vector>

class KvMutex;
class KvMultiSourceObserver;

class KvAggregatedObserver : public KvObserver {
public:
    // Its own count starts with the owner's list as its one holder.
    explicit KvAggregatedObserver(KvMultiSourceObserver* owner) : m_owner(owner) { m_refCount = 1; }
    // Handles to it count its owner too, which thus outlives every handle to it.
    int32_t addReference() override;
    int32_t removeReference(bool deleteAtZero) override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    // The owner's list lets go of it. A notification under way through it may still hold it (the
    // observer left its source, or removed it, inside the update): the last handle deletes it.
    void retire();
    KvMultiSourceObserver* getOwner() const { return m_owner; }
    // Whether it relays to this observer.
    bool isFor(const KvObserver* observer) const;

private:
    KvMultiSourceObserver* m_owner;
};

class KvMultiSourceObserver : public KvObservable {
public:
    KvMultiSourceObserver(KvObserver* observer, KvObservable* newSource);
    ~KvMultiSourceObserver() override;

    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    void detachObserver(KvObserver* observer) override;

    void addSource(KvObservable* source);
    void removeSource(KvObservable* source);
    void removeAllSources();
    size_t getSourceCount() const;

private:
    void clearSources(bool destroying);

    std::vector<KvAggregatedObserver*> m_sources;
    KvMutex* m_mutex;
};
