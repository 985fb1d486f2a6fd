// The Max-Forwards header: how many more hops a request may take.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipNumberHeader.h"

class KvSipMaxForwardsHeader : public KvSipHeaderClass<KvSipMaxForwardsHeader, KvSipNumberHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Max-Forwards", nullptr, KV_HEADER_MAX_FORWARDS};

    explicit KvSipMaxForwardsHeader(uint32_t hops);

    // A header of 0 hops until parsed.
    static KvSipHeader* sCreate() { return new KvSipMaxForwardsHeader(0); }

    uint32_t getHops() const { return m_value; }
};

inline const KvSipHeaderClassRegistrar<KvSipMaxForwardsHeader> kvSipMaxForwardsHeaderRegistrar;
