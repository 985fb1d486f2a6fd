#include "KvObserver.h"

#include "KvException.h"
#include "KvMultiSourceObserver.h"
#include "KvPlatformSync.h"

#include <algorithm>
#include <mutex>
#include <typeinfo>
#include <vector>

// Who watches whom.
//
// One lock, the graph's, guards every link: each observer's m_source, each observable's
// m_observer, and each relay's list of entries. It is held only to read, copy or move links and to
// make the entries and relays a new link needs. Nothing else runs under it: no update, no block, no
// destructor, and no count is let go of. A change moves every link it cuts into a Cut, made before
// the lock is taken, which lets go of them once the lock is released; a reader copies the link it
// follows, counted, under the lock and calls through the copy outside it.
//
// Links are counted both ways: a source holds its observer and the observer its source, so a pair
// lives until one lets go. An entry of a relay counts itself once for the relay's list and once per
// handle, and every handle to an entry counts the relay too: the sources of an observer of several
// keep its relay alive, and the relay keeps the observer. When the relay's list becomes empty
// (sources removed, detached or destroyed), relay and observer let go of each other in that step.
//
// A notification reads, in one hold of the lock, the observer it calls (through a relay, the
// relay's observer) and holds it until the update returns; its caller holds the source. An update
// may detach or drop anything: what it lets go of goes when the notification ends. A change is made
// in one hold of the lock, so a notifying thread sees the links before it or after it: a relay
// takes a direct link's place with no gap between.
//
// A destructor takes the lock only when its object was ever linked: a flag set under the lock
// with the first link and never cleared, so that one never linked (most streams) pays nothing and
// one that was cannot miss a link that another thread moves meanwhile. A source or observer
// deleted while linked (one on the stack) cuts its links without counting; no other thread may be
// reaching it then.

namespace {

// Never destroyed: threads may notify while the process exits.
std::mutex& graphLock() {
    static auto* const lock = new std::mutex;
    return *lock;
}

using GraphGuard = std::lock_guard<std::mutex>;

[[noreturn]] void throwTaken() {
    KvException::sThrow("KvObservable::attachObserver() ... The current implementation only "
                        "allows a single observer");
}

} // namespace

class KvObserverGraph {
public:
    // What a change cut, let go of when the lock is released: declare it before the guard.
    class Cut {
    public:
        Cut() = default;
        Cut(const Cut&) = delete;
        Cut& operator=(const Cut&) = delete;
        ~Cut() {
            for (KvAggregatedObserver* entry : m_entries)
                entry->retire();
        }
        void link(KvHandleBase& link) {
            if (!link.isNull())
                m_links.push_back(std::move(link));
        }
        void entry(KvAggregatedObserver* entry) { m_entries.push_back(entry); }

    private:
        std::vector<KvHandleBase> m_links;
        std::vector<KvAggregatedObserver*> m_entries;
    };

    // The functions below run under the graph's lock.

    static void mark(KvObserver* linked) {
        linked->m_linked.store(true, std::memory_order_relaxed);
    }

    static void link(KvObservable* source, KvObserver* observer) {
        source->m_observer = observer;
        observer->m_source = source;
        mark(source);
        mark(observer);
    }

    // Cuts a source's link to its observer, and the link back. An entry leaves its relay.
    static void unlink(KvObservable* source, Cut& cut) {
        KvObserver* observer = source->m_observer.get();
        if (!observer)
            return;
        if (auto* entry = dynamic_cast<KvAggregatedObserver*>(observer)) {
            removeEntry(entry->getOwner(), entry, cut);
            return;
        }
        if (observer->m_source.get() == source)
            cut.link(observer->m_source);
        cut.link(source->m_observer);
    }

    // A source lets go of the observer named, or of the entry that relays to it.
    static void detach(KvObservable* source, KvObserver* observer, Cut& cut) {
        KvObserver* linked = source->m_observer.get();
        if (!linked || !observer)
            return;
        if (auto* entry = dynamic_cast<KvAggregatedObserver*>(linked);
            entry && entry->getOwner()->m_observer.get() == observer)
            linked = observer;
        if (linked == observer)
            unlink(source, cut);
    }

    // The source's count moves into the entry's link as it is: a link taken over from elsewhere
    // changes no count, so no other thread lets go of one of a source it never reached.
    static void addEntry(KvMultiSourceObserver* relay, KvHandle<KvObservable> source) {
        auto* entry = new KvAggregatedObserver(relay);
        try {
            relay->m_sources.push_back(entry);
        } catch (...) {
            entry->retire();
            throw;
        }
        source->m_observer = entry;
        mark(source.get());
        mark(entry);
        entry->m_source = std::move(source);
    }

    // Whom a notify of the source calls: through an entry of a plain relay, the relay's observer
    // at once, read in the same hold of the lock.
    static KvHandle<KvObserver> recipient(const KvObservable* source) {
        KvObserver* linked = source->m_observer.get();
        if (linked && typeid(*linked) == typeid(KvAggregatedObserver)) {
            KvMultiSourceObserver* relay = static_cast<KvAggregatedObserver*>(linked)->getOwner();
            if (typeid(*relay) == typeid(KvMultiSourceObserver))
                return relay->m_observer;
        }
        return source->m_observer;
    }

    // False when the source has an observer already.
    static bool attach(KvObservable* source, KvObserver* observer, Cut& cut) {
        if (!source->m_observer.isNull())
            return false;
        if (!observer)
            return true;
        KvObservable* present = observer->m_source.get();
        if (!present)
            link(source, observer);
        else if (auto* watched = dynamic_cast<KvMultiSourceObserver*>(present))
            addEntry(watched, source);
        else
            relay(new KvMultiSourceObserver(KvMultiSourceObserver::Linked{}), observer, source,
                  cut);
        return true;
    }

    // The observer's link to its present source becomes the relay's entry for it, in place.
    static void relay(KvMultiSourceObserver* relay, KvObserver* observer, KvObservable* newSource,
                      Cut& cut) {
        KvHandle<KvObservable> old = std::move(observer->m_source);
        observer->m_source = relay;
        mark(observer);
        mark(relay);
        if (!old.isNull() && old->m_observer.get() == observer) {
            relay->m_observer = std::move(old->m_observer);
            addEntry(relay, std::move(old));
        } else {
            relay->m_observer = observer;
            cut.link(old);
        }
        if (newSource)
            addEntry(relay, newSource);
    }

    // Takes an entry off its relay and cuts its link; the relay and its observer let go of each
    // other when it was the last.
    static void removeEntry(KvMultiSourceObserver* relay, KvAggregatedObserver* entry, Cut& cut) {
        std::vector<KvAggregatedObserver*>& list = relay->m_sources;
        auto it = std::find(list.begin(), list.end(), entry);
        if (it == list.end())
            return;
        list.erase(it);
        if (KvObservable* source = entry->m_source.get();
            source && source->m_observer.get() == entry)
            cut.link(source->m_observer);
        cut.link(entry->m_source);
        cut.entry(entry);
        if (list.empty())
            unlink(relay, cut);
    }

    static void removeAll(KvMultiSourceObserver* relay, Cut& cut) {
        while (!relay->m_sources.empty())
            removeEntry(relay, relay->m_sources.back(), cut);
        unlink(relay, cut);
    }

    // The relay is being destroyed: its sources' links to its entries are dropped uncounted.
    static void abandonEntries(KvMultiSourceObserver* relay, Cut& cut) {
        for (KvAggregatedObserver* entry : relay->m_sources) {
            if (KvObservable* source = entry->m_source.get();
                source && source->m_observer.get() == entry) {
                source->m_observer.abandon();
                kvInterlockedDecrement(&entry->m_refCount);
            }
            cut.link(entry->m_source);
            cut.entry(entry);
        }
        relay->m_sources.clear();
    }

    // A source being destroyed leaves its observer, or its entry the relay: the link back to it is
    // dropped without a count, as it has none left to give. Returns who is to hear of it.
    static KvHandle<KvObserver> orphan(KvObservable* source, Cut& cut) {
        KvObserver* observer = source->m_observer.get();
        if (!observer)
            return {};
        if (observer->m_source.get() == source) {
            observer->m_source.abandon();
            kvInterlockedDecrement(&source->m_refCount);
        }
        if (auto* entry = dynamic_cast<KvAggregatedObserver*>(observer)) {
            KvMultiSourceObserver* relay = entry->getOwner();
            KvHandle<KvObserver> told = relay->m_observer;
            removeEntry(relay, entry, cut);
            return told;
        }
        return std::move(source->m_observer);
    }
};

KvObserver::~KvObserver() {
    // Linked still only when deleted directly: the source's count on us goes with its link.
    if (!m_linked.load(std::memory_order_relaxed))
        return;
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    if (KvObservable* source = m_source.get(); source && source->m_observer.get() == this) {
        source->m_observer.abandon();
        kvInterlockedDecrement(&m_refCount);
        // Our relay's sources would hold it, and it them, for good.
        if (auto* relay = dynamic_cast<KvMultiSourceObserver*>(source))
            KvObserverGraph::removeAll(relay, cut);
    }
    cut.link(m_source);
}

void KvObserver::update(KvHandle<KvObject>, KvHandle<KvObject>) {}

KvHandle<KvObservable> KvObserver::getSource() const {
    GraphGuard guard(graphLock());
    return m_source;
}

void KvObserver::detach() {
    if (KvHandle<KvObservable> source = getSource(); !source.isNull())
        source->detachObserver(this);
}

KvObservable::~KvObservable() {
    // Most observables (every stream a message is read from or written to) never had one: no
    // lock for them. Nothing attaches to an object that is being destroyed.
    if (!m_linked.load(std::memory_order_relaxed))
        return;
    KvObserverGraph::Cut cut;
    KvHandle<KvObserver> told;
    {
        GraphGuard guard(graphLock());
        told = KvObserverGraph::orphan(this, cut);
    }
    if (!told.isNull())
        told->update(KvHandle<KvObject>(), KvHandle<KvObject>(new KvException("Disconnecting")));
}

void KvObservable::update(KvHandle<KvObject>, KvHandle<KvObject> argument) {
    notifyObserver(argument);
}

bool KvObservable::hasObserver() const {
    GraphGuard guard(graphLock());
    return !m_observer.isNull();
}

KvHandle<KvObserver> KvObservable::getObserver() const {
    GraphGuard guard(graphLock());
    return m_observer;
}

void KvObservable::attachObserver(KvHandle<KvObserver> observer) {
    KvObserverGraph::Cut cut;
    bool attached;
    {
        GraphGuard guard(graphLock());
        attached = KvObserverGraph::attach(this, observer.get(), cut);
    }
    if (!attached)
        throwTaken();
}

void KvObservable::detachObserver(KvObserver* observer) {
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    KvObserverGraph::detach(this, observer, cut);
}

bool KvObservable::block() {
    bool result = true;
    if (KvHandle<KvObservable> source = getSource(); !source.isNull())
        result = source->block();
    notifyObserver(KvHandle<KvObject>());
    return result;
}

void KvObservable::notifyObserver(KvHandle<KvObject> argument) {
    KvHandle<KvObserver> observer;
    {
        GraphGuard guard(graphLock());
        observer = KvObserverGraph::recipient(this);
    }
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

void KvAggregatedObserver::update(KvHandle<KvObject> source, KvHandle<KvObject> argument) {
    m_owner->update(source, argument);
}

KvMultiSourceObserver::KvMultiSourceObserver(Linked) {}

KvMultiSourceObserver::KvMultiSourceObserver(KvObserver* observer, KvObservable* newSource) {
    KvObserverGraph::Cut cut;
    {
        GraphGuard guard(graphLock());
        if (!newSource || newSource->m_observer.isNull()) {
            if (observer)
                KvObserverGraph::relay(this, observer, newSource, cut);
            return;
        }
    }
    throwTaken();
}

KvMultiSourceObserver::~KvMultiSourceObserver() {
    // Entries are left only when it was deleted directly, while its sources still counted it.
    if (m_sources.empty())
        return;
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    KvObserverGraph::abandonEntries(this, cut);
}

void KvMultiSourceObserver::addSource(KvObservable* source) {
    {
        GraphGuard guard(graphLock());
        if (!source)
            return;
        if (source->m_observer.isNull()) {
            KvObserverGraph::addEntry(this, source);
            return;
        }
    }
    throwTaken();
}

void KvMultiSourceObserver::removeSource(KvObservable* source) {
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    if (!source)
        return;
    auto it = std::find_if(m_sources.begin(), m_sources.end(), [source](KvAggregatedObserver* e) {
        return e->m_source.get() == source;
    });
    if (it != m_sources.end())
        KvObserverGraph::removeEntry(this, *it, cut);
}

void KvMultiSourceObserver::removeAllSources() {
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    KvObserverGraph::removeAll(this, cut);
}

size_t KvMultiSourceObserver::getSourceCount() const {
    GraphGuard guard(graphLock());
    return m_sources.size();
}

void KvMultiSourceObserver::update(KvHandle<KvObject> source, KvHandle<KvObject> argument) {
    if (KvHandle<KvObserver> observer = getObserver(); !observer.isNull())
        observer->update(source, argument);
}

void KvMultiSourceObserver::detachObserver(KvObserver* observer) {
    KvObserverGraph::Cut cut;
    GraphGuard guard(graphLock());
    if (observer && m_observer.get() == observer)
        KvObserverGraph::removeAll(this, cut);
    else
        KvObserverGraph::detach(this, observer, cut);
}
