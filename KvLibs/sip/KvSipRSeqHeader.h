// The RSeq header: the sequence number of a reliable provisional response. Only ever received.
#pragma once

#include "KvSipHeader.h"

class KvSipRSeqHeader : public KvSipHeader {
public:
    KvSipRSeqHeader();
    KvSipRSeqHeader(const KvSipRSeqHeader& other);
    ~KvSipRSeqHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    uint32_t getNumber() const { return m_number; }

private:
    uint32_t m_number;
};

inline const KvSipHeaderRegistrar kvSipRSeqHeaderRegistrar("RSeq", nullptr,
                                                           &KvSipRSeqHeader::sCreate);
