#include "KvHashTableBase.h"

#include "KvMutex.h"

#include <cstring>
#include <new>

struct KvHashTableBase::Node {
    Node* next;
    void* entry() { return this + 1; }
};

KvHashTableBase::KvHashTableBase(uint32_t entrySize, HashFunction hashFunction,
                                 CompareFunction compareFunction, CopyFunction copyFunction,
                                 uint32_t bucketCount, uint32_t mutexCount)
    : m_entrySize(entrySize), m_hashFunction(hashFunction), m_compareFunction(compareFunction),
      m_copyFunction(copyFunction), m_bucketCount(bucketCount ? bucketCount : 1), m_entryCount(0),
      m_buckets(new Node*[m_bucketCount]()), m_mutexes(nullptr), m_mutexCount(0) {
    createMutexes(mutexCount);
}

KvHashTableBase::KvHashTableBase(const KvHashTableBase& other)
    : KvObject(), m_entrySize(other.m_entrySize), m_hashFunction(other.m_hashFunction),
      m_compareFunction(other.m_compareFunction), m_copyFunction(other.m_copyFunction),
      m_bucketCount(other.m_bucketCount), m_entryCount(0), m_buckets(new Node*[m_bucketCount]()),
      m_mutexes(nullptr), m_mutexCount(0) {
    try {
        Iterator it(other);
        while (it.hasNext())
            insert(it.next());
        createMutexes(other.m_mutexCount);
    } catch (...) {
        clearEntries();
        delete[] m_buckets;
        throw;
    }
}

KvHashTableBase::~KvHashTableBase() {
    clearEntries();
    delete[] m_buckets;
    for (uint32_t i = 0; i < m_mutexCount; ++i)
        KvMutex::destroy(m_mutexes[i]);
    delete[] m_mutexes;
}

void KvHashTableBase::createMutexes(uint32_t count) {
    if (count == 0)
        count = 1; // every operation needs a stripe to lock
    m_mutexes = new KvMutex*[count]();
    for (uint32_t i = 0; i < count; ++i)
        m_mutexes[i] = new KvMutex;
    m_mutexCount = count;
}

void KvHashTableBase::clearEntries() {
    for (uint32_t i = 0; i < m_bucketCount; ++i) {
        Node* node = m_buckets[i];
        while (node) {
            Node* next = node->next;
            ::operator delete(node);
            node = next;
        }
        m_buckets[i] = nullptr;
    }
    m_entryCount.store(0, std::memory_order_relaxed);
}

KvMutex* KvHashTableBase::getMutex(const void* key) const {
    if (m_mutexCount == 1)
        return m_mutexes[0];
    return m_mutexes[bucketOf(key) % m_mutexCount];
}

void KvHashTableBase::lock(const void* key) const {
    getMutex(key)->lock();
}

void KvHashTableBase::unlock(const void* key) const {
    getMutex(key)->unlock();
}

void KvHashTableBase::lockAll() const {
    for (uint32_t i = 0; i < m_mutexCount; ++i)
        m_mutexes[i]->lock();
}

void KvHashTableBase::unlockAll() const {
    for (uint32_t i = 0; i < m_mutexCount; ++i)
        m_mutexes[i]->unlock();
}

void* KvHashTableBase::find(const void* key) const {
    for (Node* node = m_buckets[bucketOf(key)]; node; node = node->next) {
        if (m_compareFunction(node->entry(), key))
            return node->entry();
    }
    return nullptr;
}

void* KvHashTableBase::lockedFind(const void* key) const {
    KvLockGuard guard(getMutex(key));
    return find(key);
}

void* KvHashTableBase::insert(const void* entry) {
    Node** link = &m_buckets[bucketOf(entry)];
    for (; *link; link = &(*link)->next) {
        if (m_compareFunction((*link)->entry(), entry))
            return (*link)->entry();
    }
    Node* node = static_cast<Node*>(::operator new(sizeof(Node) + m_entrySize));
    node->next = nullptr;
    if (m_copyFunction)
        m_copyFunction(node->entry(), entry);
    else
        std::memcpy(node->entry(), entry, m_entrySize);
    *link = node;
    m_entryCount.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
}

void* KvHashTableBase::lockedInsert(const void* entry) {
    KvLockGuard guard(getMutex(entry));
    return insert(entry);
}

bool KvHashTableBase::remove(const void* key) {
    for (Node** link = &m_buckets[bucketOf(key)]; *link; link = &(*link)->next) {
        Node* node = *link;
        if (m_compareFunction(node->entry(), key)) {
            *link = node->next;
            ::operator delete(node);
            m_entryCount.fetch_sub(1, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

bool KvHashTableBase::lockedRemove(const void* key) {
    KvLockGuard guard(getMutex(key));
    return remove(key);
}

KvHashTableBase::Iterator::Iterator(const KvHashTableBase& table)
    : m_bucket(0), m_node(table.m_buckets[0]), m_table(&table) {}

bool KvHashTableBase::Iterator::hasNext() {
    while (!m_node && m_bucket + 1 < m_table->m_bucketCount)
        m_node = m_table->m_buckets[++m_bucket];
    return m_node != nullptr;
}

void* KvHashTableBase::Iterator::next() {
    if (!hasNext())
        return nullptr;
    Node* node = m_node;
    m_node = node->next;
    return node->entry();
}
