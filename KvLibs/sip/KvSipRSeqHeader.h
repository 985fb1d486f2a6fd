// The RSeq header: the sequence number of a reliable provisional response. Only ever received.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipRSeqHeader : public KvSipHeaderClass<KvSipRSeqHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"RSeq", nullptr, KV_HEADER_RSEQ};

    KvSipRSeqHeader();

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getNumber() const { return m_number; }

private:
    uint32_t m_number;
};

inline const KvSipHeaderClassRegistrar<KvSipRSeqHeader> kvSipRSeqHeaderRegistrar;
