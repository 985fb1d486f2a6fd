// The Min-SE header (RFC 4028): the smallest session interval the sender accepts.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipNumberHeader.h"

class KvSipMinSEHeader : public KvSipHeaderClass<KvSipMinSEHeader, KvSipNumberHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Min-SE", nullptr, KV_HEADER_MIN_SE};

    KvSipMinSEHeader() = default;
    explicit KvSipMinSEHeader(uint32_t seconds);

    // Parameters behind the number are dropped.
    void doParse(KvInputStream& stream) override;

    uint32_t getSeconds() const { return m_value; }
};

inline const KvSipHeaderClassRegistrar<KvSipMinSEHeader> kvSipMinSEHeaderRegistrar;
