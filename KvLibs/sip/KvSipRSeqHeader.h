// The RSeq header: the sequence number of a reliable provisional response. Only ever received.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipNumberHeader.h"

class KvSipRSeqHeader : public KvSipHeaderClass<KvSipRSeqHeader, KvSipNumberHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"RSeq", nullptr, KV_HEADER_RSEQ};

    uint32_t getNumber() const { return m_value; }
};

inline const KvSipHeaderClassRegistrar<KvSipRSeqHeader> kvSipRSeqHeaderRegistrar;
