// The Supported header: one option tag that the sender supports.
#pragma once

#include "KvSipHeader.h"

class KvSipSupportedHeader : public KvSipHeader {
public:
    KvSipSupportedHeader();
    // The tag is stored unchanged.
    explicit KvSipSupportedHeader(const char* text);
    KvSipSupportedHeader(const KvSipSupportedHeader& other);
    ~KvSipSupportedHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    const KvString& getCompactToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getOptionTag() const { return m_optionTag; }

private:
    KvString m_optionTag;
};

inline const KvSipHeaderRegistrar kvSipSupportedHeaderRegistrar("Supported", "k",
                                                                &KvSipSupportedHeader::sCreate);
