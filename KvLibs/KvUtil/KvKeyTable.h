// A hash table from a string key to a counted object. The table holds a reference on every key
// and every value it keeps; an empty key is never stored.
#pragma once

#include "KvHashTableBase.h"
#include "KvStringBuffer.h"

#include <cstdint>
#include <vector>

class KvKeyTable : public KvHashTableBase {
public:
    struct Entry {
        KvStringBuffer* key;
        KvObject* value; // may be null
    };

    static constexpr uint32_t kDefaultBucketCount = 101;

    KvKeyTable();
    KvKeyTable(uint32_t bucketCount, uint32_t mutexCount);
    ~KvKeyTable() override;
    KvObject* clone() const override;
    void print(KvOutputStream& stream) const override;

    // Stores the value under the key; returns the value it replaced (null when the key was new).
    // An empty key throws "NULL key value (KvStringBuffer*)".
    KvHandle<KvObject> put(const KvString& key, const KvHandle<KvObject>& value);
    bool remove(const KvString& key);
    bool containsKey(const KvString& key) const;
    KvHandle<KvObject> get(const KvString& key) const;
    // The same lookup without the stripe lock, for callers that already hold it.
    KvHandle<KvObject> getUnlocked(const KvString& key) const;
    void removeAll();
    // A search by value is not offered: it throws "Not implemented!".
    bool containsValue(const KvHandle<KvObject>& value) const;

private:
    explicit KvKeyTable(const KvKeyTable& other);
    std::vector<Entry> detachAll();
    static void releaseEntries(const std::vector<Entry>& entries);
};
