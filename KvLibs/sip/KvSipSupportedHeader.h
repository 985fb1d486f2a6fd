// The Supported header: one option tag that the sender supports.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipSupportedHeader : public KvSipHeaderClass<KvSipSupportedHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Supported", "k", KV_HEADER_SUPPORTED};

    KvSipSupportedHeader() = default;
    // The tag is stored unchanged.
    explicit KvSipSupportedHeader(const char* text);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getOptionTag() const { return m_optionTag; }

private:
    KvString m_optionTag;
};

inline const KvSipHeaderClassRegistrar<KvSipSupportedHeader> kvSipSupportedHeaderRegistrar;
