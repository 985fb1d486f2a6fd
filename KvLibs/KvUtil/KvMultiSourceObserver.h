// Fans several observables into one observer, which accepts a single source only.
#pragma once

#include "KvObserver.h"

#include <cstddef>
#include <vector>

class KvMutex;
class KvMultiSourceObserver;

class KvAggregatedObserver : public KvObserver {
public:
    explicit KvAggregatedObserver(KvMultiSourceObserver* owner) : m_owner(owner) {}
    // Handles to it count its owner, so it never deletes itself through its own count.
    int32_t addReference() override;
    int32_t removeReference(bool deleteAtZero) override;
    void update(KvHandle<KvObject> source, KvHandle<KvObject> argument) override;

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
