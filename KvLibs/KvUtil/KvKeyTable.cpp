#include "KvKeyTable.h"

#include "KvException.h"
#include "KvMutex.h"
#include "KvOutputStream.h"

namespace {

uint32_t hashKey(const void* entry) {
    return static_cast<const KvKeyTable::Entry*>(entry)->key->hash();
}

bool equalKeys(const void* left, const void* right) {
    return static_cast<const KvKeyTable::Entry*>(left)->key->compareWith(
               static_cast<const KvKeyTable::Entry*>(right)->key) == 0;
}

} // namespace

KvKeyTable::KvKeyTable() : KvKeyTable(kDefaultBucketCount, 1) {}

KvKeyTable::KvKeyTable(uint32_t bucketCount, uint32_t mutexCount)
    : KvHashTableBase(sizeof(Entry), hashKey, equalKeys, nullptr, bucketCount, mutexCount) {}

KvKeyTable::KvKeyTable(const KvKeyTable& other) : KvHashTableBase(other) {}

KvKeyTable::~KvKeyTable() {
    releaseEntries(detachAll());
}

std::vector<KvKeyTable::Entry> KvKeyTable::detachAll() {
    std::vector<Entry> entries;
    entries.reserve(getEntryCount());
    Iterator it(*this);
    while (it.hasNext())
        entries.push_back(*static_cast<Entry*>(it.next()));
    clearEntries();
    return entries;
}

// Keys and values are released once the table is consistent again: their destructors may use it.
void KvKeyTable::releaseEntries(const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        if (entry.value)
            entry.value->removeReference(true);
        entry.key->removeReference(true);
    }
}

KvObject* KvKeyTable::clone() const {
    // Hold every stripe so that no key or value is released between the copy and its count.
    AllLocked locked(*this);
    KvKeyTable* copy = new KvKeyTable(*this);
    Iterator it(*copy);
    while (it.hasNext()) {
        auto* entry = static_cast<Entry*>(it.next());
        entry->key->addReference();
        if (entry->value)
            entry->value->addReference();
    }
    return copy;
}

void KvKeyTable::print(KvOutputStream& stream) const {
    stream << getClassName();
    {
        AllLocked locked(*this);
        Iterator it(*this);
        while (it.hasNext()) {
            auto* entry = static_cast<const Entry*>(it.next());
            stream << "\n " << entry->key->data() << "\t"
                   << static_cast<const KvObject*>(entry->key);
        }
    }
    stream << endl;
}

KvHandle<KvObject> KvKeyTable::put(const KvString& key, const KvHandle<KvObject>& value) {
    if (key.isEmpty())
        KvException::sThrow("NULL key value (KvStringBuffer*)");
    Entry entry{key.get(), value.get()};
    KvHandle<KvObject> previous;
    entry.key->addReference();
    if (entry.value)
        entry.value->addReference();
    KvStringBuffer* oldKey = nullptr;
    {
        KvLockGuard guard(getMutex(&entry));
        if (auto* present = static_cast<Entry*>(find(&entry))) {
            // The returned handle keeps the old value alive past the table's release.
            previous = present->value;
            if (present->value)
                present->value->removeReference(true);
            oldKey = present->key;
            *present = entry;
        } else {
            try {
                insert(&entry);
            } catch (...) {
                if (entry.value)
                    entry.value->removeReference(true);
                entry.key->removeReference(true);
                throw;
            }
        }
    }
    if (oldKey)
        oldKey->removeReference(true);
    return previous;
}

bool KvKeyTable::remove(const KvString& key) {
    if (key.isEmpty())
        return false;
    Entry probe{key.get(), nullptr};
    Entry removed{};
    {
        KvLockGuard guard(getMutex(&probe));
        auto* present = static_cast<Entry*>(find(&probe));
        if (!present)
            return false;
        removed = *present;
        KvHashTableBase::remove(&probe);
    }
    releaseEntries({removed});
    return true;
}

bool KvKeyTable::containsKey(const KvString& key) const {
    if (key.isEmpty())
        return false;
    Entry probe{key.get(), nullptr};
    return lockedFind(&probe) != nullptr;
}

KvHandle<KvObject> KvKeyTable::get(const KvString& key) const {
    if (key.isEmpty())
        return KvHandle<KvObject>();
    Entry probe{key.get(), nullptr};
    KvLockGuard guard(getMutex(&probe));
    auto* present = static_cast<Entry*>(find(&probe));
    return KvHandle<KvObject>(present ? present->value : nullptr);
}

KvHandle<KvObject> KvKeyTable::getUnlocked(const KvString& key) const {
    if (key.isEmpty())
        return KvHandle<KvObject>();
    Entry probe{key.get(), nullptr};
    auto* present = static_cast<Entry*>(find(&probe));
    return KvHandle<KvObject>(present ? present->value : nullptr);
}

void KvKeyTable::removeAll() {
    std::vector<Entry> entries;
    {
        AllLocked locked(*this);
        entries = detachAll();
    }
    releaseEntries(entries);
}

bool KvKeyTable::containsValue(const KvHandle<KvObject>&) const {
    KvException::sThrow("Not implemented!");
}
