#include "KvOutputSink.h"

KvOutputSink& KvOutputSink::sNullStream() {
    // Never destroyed, and held by a reference of its own, so that a handle taken on it and
    // released again can never delete it, and writes during process exit still have a target.
    static KvOutputSink* const sink = [] {
        auto* created = new KvOutputSink;
        created->addReference();
        return created;
    }();
    return *sink;
}
