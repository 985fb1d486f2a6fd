// A chained hash table of fixed-size entries. Hashing, key comparison and copying are supplied as
// functions of entry pointers (the key leads the entry), and a small array of mutexes stripes the
// locking by bucket.
#pragma once

#include "KvObject.h"

#include <atomic>
#include <cstdint>

class KvMutex;

class KvHashTableBase : public KvObject {
    struct Node; // a chain link followed directly by the entry's bytes

public:
    using HashFunction = uint32_t (*)(const void* entry);
    using CompareFunction = bool (*)(const void* left, const void* right);
    using CopyFunction = void (*)(void* destination, const void* source);

    KvHashTableBase(uint32_t entrySize, HashFunction hashFunction, CompareFunction compareFunction,
                    CopyFunction copyFunction, uint32_t bucketCount, uint32_t mutexCount);
    // Copies the entries (not what they point to); the caller decides what the copy holds.
    KvHashTableBase(const KvHashTableBase& other);
    KvHashTableBase& operator=(const KvHashTableBase&) = delete;
    ~KvHashTableBase() override;

    void lock(const void* key) const;
    void unlock(const void* key) const;
    void lockAll() const;
    void unlockAll() const;

    // The entry whose key equals the key at the start of `key`, or null.
    void* find(const void* key) const;
    void* lockedFind(const void* key) const;
    // Returns the equal entry already present (and changes nothing), or null after inserting.
    void* insert(const void* entry);
    void* lockedInsert(const void* entry);
    // Removes the first entry equal to the key; false when there was none.
    bool remove(const void* key);
    bool lockedRemove(const void* key);

    uint32_t getEntryCount() const { return m_entryCount.load(std::memory_order_relaxed); }
    uint32_t getBucketCount() const { return m_bucketCount; }
    uint32_t getMutexCount() const { return m_mutexCount; }
    uint32_t getEntrySize() const { return m_entrySize; }
    // The stripe lock that guards the key's bucket.
    KvMutex* getMutex(const void* key) const;

    // Walks the buckets in index order and each chain from its head. The table must not change
    // while an iterator is in use (hold lockAll when other threads may change it).
    class Iterator {
    public:
        explicit Iterator(const KvHashTableBase& table);
        bool hasNext();
        void* next();

    private:
        uint32_t m_bucket;
        Node* m_node;
        const KvHashTableBase* m_table;
    };

protected:
    // Holds every stripe lock for its scope.
    class AllLocked {
    public:
        explicit AllLocked(const KvHashTableBase& table) : m_table(table) { m_table.lockAll(); }
        ~AllLocked() { m_table.unlockAll(); }
        AllLocked(const AllLocked&) = delete;
        AllLocked& operator=(const AllLocked&) = delete;

    private:
        const KvHashTableBase& m_table;
    };

    uint32_t bucketOf(const void* key) const { return m_hashFunction(key) % m_bucketCount; }
    // Unlinks and frees every node without touching what the entries point to.
    void clearEntries();

    uint32_t m_entrySize;
    HashFunction m_hashFunction;
    CompareFunction m_compareFunction;
    CopyFunction m_copyFunction;
    uint32_t m_bucketCount;
    // Changed under different stripe locks, so counted atomically.
    std::atomic<uint32_t> m_entryCount;
    Node** m_buckets;
    KvMutex** m_mutexes;
    uint32_t m_mutexCount;

private:
    void createMutexes(uint32_t count);
};
