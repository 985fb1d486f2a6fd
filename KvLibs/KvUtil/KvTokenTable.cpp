#include "KvTokenTable.h"

#include "KvException.h"
#include "KvMutex.h"
#include "KvOutputStream.h"

namespace {

uint32_t hashToken(const void* entry) {
    KvTokenTable::Token token = static_cast<const KvTokenTable::Entry*>(entry)->key;
    return static_cast<uint32_t>(token ^ (token >> 32));
}

bool equalTokens(const void* left, const void* right) {
    return static_cast<const KvTokenTable::Entry*>(left)->key ==
           static_cast<const KvTokenTable::Entry*>(right)->key;
}

} // namespace

KvTokenTable::KvTokenTable() : KvTokenTable(kDefaultBucketCount) {}

KvTokenTable::KvTokenTable(uint32_t bucketCount)
    : KvHashTableBase(sizeof(Entry), hashToken, equalTokens, nullptr, bucketCount, 1) {}

KvTokenTable::~KvTokenTable() {
    releaseValues(detachAll());
}

std::vector<KvObject*> KvTokenTable::detachAll() {
    std::vector<KvObject*> values;
    values.reserve(getEntryCount());
    Iterator it(*this);
    while (it.hasNext()) {
        if (KvObject* value = static_cast<Entry*>(it.next())->value)
            values.push_back(value);
    }
    clearEntries();
    return values;
}

// Values are released once the table is consistent again: their destructors may use it.
void KvTokenTable::releaseValues(const std::vector<KvObject*>& values) {
    for (KvObject* value : values)
        value->removeReference(true);
}

void KvTokenTable::print(KvOutputStream& stream) const {
    stream << getClassName() << endl;
}

KvHandle<KvObject> KvTokenTable::put(Token token, const KvHandle<KvObject>& value) {
    Entry entry{token, value.get()};
    KvHandle<KvObject> previous;
    if (entry.value)
        entry.value->addReference();
    KvLockGuard guard(getMutex(&entry));
    if (auto* present = static_cast<Entry*>(find(&entry))) {
        // The returned handle keeps the old value alive past the table's release.
        previous = present->value;
        if (present->value)
            present->value->removeReference(true);
        present->value = entry.value;
    } else {
        try {
            insert(&entry);
        } catch (...) {
            if (entry.value)
                entry.value->removeReference(true);
            throw;
        }
    }
    return previous;
}

bool KvTokenTable::remove(Token token) {
    Entry key{token, nullptr};
    KvObject* value = nullptr;
    {
        KvLockGuard guard(getMutex(&key));
        auto* present = static_cast<Entry*>(find(&key));
        if (!present)
            return false;
        value = present->value;
        KvHashTableBase::remove(&key);
    }
    // Released outside the lock: the value's destructor may use the table again.
    if (value)
        value->removeReference(true);
    return true;
}

bool KvTokenTable::containsKey(Token token) const {
    Entry key{token, nullptr};
    return lockedFind(&key) != nullptr;
}

KvHandle<KvObject> KvTokenTable::get(Token token) const {
    Entry key{token, nullptr};
    KvLockGuard guard(getMutex(&key));
    auto* present = static_cast<Entry*>(find(&key));
    return KvHandle<KvObject>(present ? present->value : nullptr);
}

void KvTokenTable::removeAll() {
    std::vector<KvObject*> values;
    {
        AllLocked locked(*this);
        values = detachAll();
    }
    releaseValues(values);
}

bool KvTokenTable::containsValue(const KvHandle<KvObject>&) const {
    KvException::sThrow("Not implemented!");
}
