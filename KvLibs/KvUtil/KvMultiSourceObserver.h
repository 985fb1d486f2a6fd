// Fans several observables into one observer, which accepts a single source only.
#pragma once

#include "KvObserver.h"

#include <cstddef>
#include <vector>

class KvMultiSourceObserver;

class KvAggregatedObserver : public KvObserver {
public:
    // Its own count starts with the owner's list as its one holder.
    explicit KvAggregatedObserver(KvMultiSourceObserver* owner) : m_owner(owner) { m_refCount = 1; }
    // Handles to it count its owner too, which thus outlives every handle to it.
    int32_t addReference() override;
    int32_t removeReference(bool deleteAtZero) override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    // The owner's list lets go of it. A notification under way through it may still hold it: the
    // last handle deletes it.
    void retire();
    KvMultiSourceObserver* getOwner() const { return m_owner; }

private:
    KvMultiSourceObserver* m_owner;
};

class KvMultiSourceObserver : public KvObservable {
public:
    // Takes the observer's present source over, and adds the new one. Throws, changing nothing,
    // when the new source has an observer already. Linked as it is made, it is held by its links
    // alone until its maker takes a handle: a detach on another thread meanwhile may free it.
    KvMultiSourceObserver(KvObserver* observer, KvObservable* newSource);
    ~KvMultiSourceObserver() override;

    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;
    void detachObserver(KvObserver* observer) override;

    void addSource(KvObservable* source);
    // A null or unknown source: nothing. When the last source goes, the relay and its observer
    // let go of each other.
    void removeSource(KvObservable* source);
    void removeAllSources();
    size_t getSourceCount() const;

private:
    friend class KvObserverGraph;
    struct Linked {}; // made by an attach that holds the graph's lock already
    KvMultiSourceObserver(Linked);

    std::vector<KvAggregatedObserver*> m_sources;
};
