// The Max-Forwards header: how many more hops a request may take.
#pragma once

#include "KvSipHeader.h"

class KvSipMaxForwardsHeader : public KvSipHeader {
public:
    explicit KvSipMaxForwardsHeader(uint32_t hops);
    KvSipMaxForwardsHeader(const KvSipMaxForwardsHeader& other);
    ~KvSipMaxForwardsHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    // A header of 0 hops until parsed.
    static KvSipHeader* sCreate();

    uint32_t getHops() const { return m_hops; }

private:
    uint32_t m_hops;
};

inline const KvSipHeaderRegistrar kvSipMaxForwardsHeaderRegistrar("Max-Forwards", nullptr,
                                                                  &KvSipMaxForwardsHeader::sCreate);
