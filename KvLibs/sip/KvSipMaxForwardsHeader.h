// The Max-Forwards header: how many more hops a request may take.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipMaxForwardsHeader : public KvSipHeaderClass<KvSipMaxForwardsHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Max-Forwards", nullptr, KV_HEADER_MAX_FORWARDS};

    explicit KvSipMaxForwardsHeader(uint32_t hops);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // A header of 0 hops until parsed.
    static KvSipHeader* sCreate() { return new KvSipMaxForwardsHeader(0); }

    uint32_t getHops() const { return m_hops; }

private:
    uint32_t m_hops;
};

inline const KvSipHeaderClassRegistrar<KvSipMaxForwardsHeader> kvSipMaxForwardsHeaderRegistrar;
