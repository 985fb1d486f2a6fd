// The Allow header: a method the sender supports, or, when built from a list, the whole list. An
// empty Allow is valid.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipTextHeader.h"

class KvSipAllowHeader : public KvSipHeaderClass<KvSipAllowHeader, KvSipTextHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Allow", nullptr, KV_HEADER_ALLOW};

    KvSipAllowHeader() = default;
    // The text is stored unchanged, a whole comma-separated list included.
    explicit KvSipAllowHeader(const char* methods);

    void doParse(KvInputStream& stream) override;

    const KvString& getMethods() const { return m_text; }
};

inline const KvSipHeaderClassRegistrar<KvSipAllowHeader> kvSipAllowHeaderRegistrar;
