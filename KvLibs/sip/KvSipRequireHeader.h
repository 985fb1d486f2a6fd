// The Require header: one option tag that the receiver must support.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipRequireHeader : public KvSipHeaderClass<KvSipRequireHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Require", nullptr, KV_HEADER_REQUIRE};

    KvSipRequireHeader() = default;
    // The tag is stored unchanged.
    explicit KvSipRequireHeader(const char* text);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getOptionTag() const { return m_optionTag; }

    // Shared with Supported: one tag up to a comma or white space; an empty tag is kept.
    static KvString sParseOptionTag(KvInputStream& stream);

private:
    KvString m_optionTag;
};

inline const KvSipHeaderClassRegistrar<KvSipRequireHeader> kvSipRequireHeaderRegistrar;
