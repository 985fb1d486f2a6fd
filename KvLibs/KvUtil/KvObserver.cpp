#include "KvObserver.h"

#include "KvException.h"
#include "KvMultiSourceObserver.h"
#include "KvMutex.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace {

// Guards an observable's link to its observer, which a pool worker's notify reads while the
// application attaches or detaches on its own thread. One lock per stripe of objects keeps
// observables small; it is held only to read or change the link, never across a call. Never
// destroyed: threads may notify while the process exits.
std::mutex& linkLock(const KvObservable* observable) {
    static std::mutex* const locks = new std::mutex[64];
    return locks[(reinterpret_cast<uintptr_t>(observable) >> 4) % 64];
}

// Guards who watches whom, so that an observer attached to several sources on several threads at
// once becomes one relay, and a detach sees a whole link. Taken before a relay's own lock and the
// link locks; recursive, since a relay attaches and detaches its entries under it. Attaching and
// detaching are rare: one lock serves the process. Never destroyed, as the link locks.
std::recursive_mutex& topologyLock() {
    static auto* const lock = new std::recursive_mutex;
    return *lock;
}

using TopologyGuard = std::lock_guard<std::recursive_mutex>;

} // namespace

KvObserver::~KvObserver() {
    KvObservable* source = m_source.get();
    if (source) {
        // Our source still names us: clear its link without counting us, we are going away.
        source->abandonObserver(this);
        m_source.release();
    }
}

void KvObserver::update(KvHandle<KvObject>, KvHandle<KvObject>) {}

void KvObserver::detach() {
    TopologyGuard topology(topologyLock());
    if (!m_source.isNull()) {
        KvHandle<KvObservable> source = m_source; // keeps it alive while it lets go of us
        source->detachObserver(this);
    }
}

KvObservable::~KvObservable() {
    // Most observables (every stream a message is read from or written to) never had an observer:
    // no lock for them. Nothing attaches to an object that is being destroyed.
    if (m_observer.isNull())
        return;
    KvHandle<KvObserver> observer = takeObserver(m_observer.get());
    if (observer.isNull())
        return;
    // The observer's link to us would dangle; we are no longer counted, so drop it raw.
    if (observer->m_source.get() == this) {
        observer->m_source.abandon();
        kvInterlockedDecrement(&m_refCount);
    }
    observer->update(KvHandle<KvObject>(), KvHandle<KvObject>(new KvException("Disconnecting")));
}

void KvObservable::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}

bool KvObservable::hasObserver() const {
    std::lock_guard<std::mutex> guard(linkLock(this));
    return !m_observer.isNull();
}

void KvObservable::attachObserver(KvHandle<KvObserver> observer) {
    // Every attach holds the topology lock: no other can link an observer between the check and
    // the link. The link lock is for the notifications that read it meanwhile.
    TopologyGuard topology(topologyLock());
    if (hasObserver())
        KvException::sThrow("KvObservable::attachObserver() ... The current implementation only "
                            "allows a single observer");
    if (observer.isNull())
        return;
    KvObservable* present = observer->m_source.get();
    if (!present) {
        {
            std::lock_guard<std::mutex> guard(linkLock(this));
            m_observer = observer;
        }
        observer->m_source = this;
        return;
    }
    if (auto* multi = dynamic_cast<KvMultiSourceObserver*>(present)) {
        multi->addSource(this);
        return;
    }
    new KvMultiSourceObserver(observer.get(), this); // held by the observer and its sources
}

void KvObservable::detachObserver(KvObserver* observer) {
    TopologyGuard topology(topologyLock());
    // An observer of several sources is linked here through its relay: naming either of them
    // takes this source off the relay's list too, which would otherwise keep it for good.
    KvHandle<KvObserver> linked = currentObserver();
    if (auto* relay = dynamic_cast<KvAggregatedObserver*>(linked.get());
        relay && observer && (observer == relay || relay->isFor(observer))) {
        KvMultiSourceObserver* owner = relay->getOwner(); // lives while `linked` counts it
        owner->removeSource(this);
        // The last source gone, the observer and the relay would hold each other for good.
        if (owner->getSourceCount() == 0)
            if (KvHandle<KvObserver> watcher = owner->currentObserver(); !watcher.isNull())
                owner->detachObserver(watcher.get());
        return;
    }
    unlinkObserver(observer);
}

void KvObservable::unlinkObserver(KvObserver* observer) {
    KvHandle<KvObserver> keep = takeObserver(observer); // it may be held by us alone
    if (keep.isNull())
        return;
    if (keep->m_source.get() == this)
        keep->m_source.release();
}

bool KvObservable::block() {
    bool result = true;
    // Our update may let go of the source while its block() still runs.
    if (KvHandle<KvObservable> source = m_source; !source.isNull())
        result = source->block();
    notifyObserver(KvHandle<KvObject>());
    return result;
}

KvHandle<KvObserver> KvObservable::takeObserver(KvObserver* observer) {
    KvHandle<KvObserver> taken;
    std::lock_guard<std::mutex> guard(linkLock(this));
    if (observer && m_observer.get() == observer) {
        taken = m_observer;
        m_observer.release();
    }
    return taken;
}

void KvObservable::abandonObserver(KvObserver* observer) {
    std::lock_guard<std::mutex> guard(linkLock(this));
    if (observer && m_observer.get() == observer)
        m_observer.abandon();
}

KvHandle<KvObserver> KvObservable::currentObserver() const {
    std::lock_guard<std::mutex> guard(linkLock(this));
    return m_observer;
}

void KvObservable::notifyObserver(KvHandle<KvObject> argument) {
    KvHandle<KvObserver> observer = currentObserver();
    if (!observer.isNull())
        observer->update(KvHandle<KvObject>(this), argument);
}

int32_t KvAggregatedObserver::addReference() {
    kvInterlockedIncrement(&m_refCount);
    return m_owner->addReference();
}

int32_t KvAggregatedObserver::removeReference(bool deleteAtZero) {
    KvMultiSourceObserver* owner = m_owner;
    if (kvInterlockedDecrement(&m_refCount) == 0 && deleteAtZero)
        delete this;
    return owner->removeReference(deleteAtZero);
}

void KvAggregatedObserver::retire() {
    if (kvInterlockedDecrement(&m_refCount) == 0)
        delete this;
}

bool KvAggregatedObserver::isFor(const KvObserver* observer) const {
    return m_owner->currentObserver().get() == observer;
}

void KvAggregatedObserver::update(KvHandle<KvObject> source, KvHandle<KvObject> argument) {
    m_owner->update(source, argument);
}

KvMultiSourceObserver::KvMultiSourceObserver(KvObserver* observer, KvObservable* newSource)
    : m_mutex(new KvMutex) {
    KvHandle<KvObservable> oldSource = observer->m_source;
    observer->m_source = this;
    m_observer = observer;
    if (!oldSource.isNull()) {
        oldSource->takeObserver(observer);
        addSource(oldSource.get());
    }
    addSource(newSource);
}

KvMultiSourceObserver::~KvMultiSourceObserver() {
    clearSources(true);
    KvMutex::destroy(m_mutex);
}

void KvMultiSourceObserver::addSource(KvObservable* source) {
    TopologyGuard topology(topologyLock());
    if (!source)
        return;
    KvLockGuard guard(m_mutex);
    m_sources.reserve(m_sources.size() + 1); // nothing throws once the source holds the relay
    auto* aggregated = new KvAggregatedObserver(this);
    try {
        source->attachObserver(KvHandle<KvObserver>(aggregated));
    } catch (...) {
        aggregated->retire(); // the source has an observer already: the relay is no one's
        throw;
    }
    m_sources.push_back(aggregated);
}

void KvMultiSourceObserver::removeSource(KvObservable* source) {
    TopologyGuard topology(topologyLock());
    KvHandle<KvObject> keepAlive(this); // detaching may drop the last count on us
    KvLockGuard guard(m_mutex);
    auto it = std::find_if(m_sources.begin(), m_sources.end(), [source](KvAggregatedObserver* a) {
        return a->getSource().get() == source;
    });
    if (it == m_sources.end())
        return;
    KvAggregatedObserver* aggregated = *it;
    m_sources.erase(it);
    source->unlinkObserver(aggregated);
    aggregated->retire();
}

void KvMultiSourceObserver::removeAllSources() {
    TopologyGuard topology(topologyLock());
    KvHandle<KvObject> keepAlive(this);
    clearSources(false);
}

void KvMultiSourceObserver::clearSources(bool destroying) {
    KvLockGuard guard(m_mutex);
    std::vector<KvAggregatedObserver*> sources;
    sources.swap(m_sources);
    for (KvAggregatedObserver* aggregated : sources) {
        KvObservable* source = aggregated->getSource().get();
        // Inside our destructor the count is gone already: unlink without counting.
        if (source && destroying)
            source->abandonObserver(aggregated);
        else if (source)
            source->takeObserver(aggregated);
        aggregated->m_source.release();
        aggregated->retire();
    }
}

size_t KvMultiSourceObserver::getSourceCount() const {
    KvLockGuard guard(m_mutex);
    return m_sources.size();
}

void KvMultiSourceObserver::update(KvHandle<KvObject> source, KvHandle<KvObject> argument) {
    KvHandle<KvObserver> observer = currentObserver();
    if (!observer.isNull())
        observer->update(source, argument);
}

void KvMultiSourceObserver::detachObserver(KvObserver* observer) {
    TopologyGuard topology(topologyLock());
    if (observer && m_observer.get() == observer) {
        KvHandle<KvObject> keepAlive(this);
        clearSources(false);
        KvObservable::detachObserver(observer);
    }
}
