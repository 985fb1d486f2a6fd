// The Min-SE header (RFC 4028): the smallest session interval the sender accepts.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipMinSEHeader : public KvSipHeaderClass<KvSipMinSEHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Min-SE", nullptr, KV_HEADER_MIN_SE};

    KvSipMinSEHeader();
    explicit KvSipMinSEHeader(uint32_t seconds);

    // Parameters behind the number are dropped.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getSeconds() const { return m_seconds; }

private:
    uint32_t m_seconds;
};

inline const KvSipHeaderClassRegistrar<KvSipMinSEHeader> kvSipMinSEHeaderRegistrar;
