// A hash table from a numeric token (an integer, a handle or an interned pointer) to a counted
// object. The table holds a reference on every value it keeps.
#pragma once

#include "KvHashTableBase.h"

#include <cstdint>
#include <vector>

class KvTokenTable : public KvHashTableBase {
public:
    // Wide enough for descriptors, thread ids and pointers alike.
    using Token = uint64_t;
    struct Entry {
        Token key;
        KvObject* value; // may be null
    };

    static constexpr uint32_t kDefaultBucketCount = 101;

    KvTokenTable();
    explicit KvTokenTable(uint32_t bucketCount);
    ~KvTokenTable() override;
    void print(KvOutputStream& stream) const override;

    // Stores the value under the token; returns the value it replaced (null when the token was
    // new).
    KvHandle<KvObject> put(Token token, const KvHandle<KvObject>& value);
    bool remove(Token token);
    bool containsKey(Token token) const;
    KvHandle<KvObject> get(Token token) const;
    void removeAll();
    // A search by value is not offered: it throws "Not implemented!".
    bool containsValue(const KvHandle<KvObject>& value) const;

private:
    std::vector<KvObject*> detachAll();
    static void releaseValues(const std::vector<KvObject*>& values);
};
