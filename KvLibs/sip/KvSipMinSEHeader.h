// The Min-SE header (RFC 4028): the smallest session interval the sender accepts.
#pragma once

#include "KvSipHeader.h"

class KvSipMinSEHeader : public KvSipHeader {
public:
    KvSipMinSEHeader();
    explicit KvSipMinSEHeader(uint32_t seconds);
    KvSipMinSEHeader(const KvSipMinSEHeader& other);
    ~KvSipMinSEHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    // Parameters behind the number are dropped.
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    uint32_t getSeconds() const { return m_seconds; }

private:
    uint32_t m_seconds;
};

inline const KvSipHeaderRegistrar kvSipMinSEHeaderRegistrar("Min-SE", nullptr,
                                                            &KvSipMinSEHeader::sCreate);
