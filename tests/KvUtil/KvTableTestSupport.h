// Helpers shared by the tests of the hash tables: a value object that counts how many of it live.
#pragma once

#include "KvObject.h"

#include <atomic>

namespace kvtable {

struct Counted : KvObject {
    explicit Counted(int v = 0) : value(v) { ++alive; }
    ~Counted() override { --alive; }
    int value;
    static inline std::atomic<int> alive{0};
};

// The value a table handed back; -1 for none.
inline int valueOf(const KvHandle<KvObject>& handle) {
    return handle.isNull() ? -1 : static_cast<Counted*>(handle.get())->value;
}

} // namespace kvtable
