// The Supported header: one option tag that the sender supports.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipOptionTagHeader.h"

class KvSipSupportedHeader : public KvSipHeaderClass<KvSipSupportedHeader, KvSipOptionTagHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Supported", "k", KV_HEADER_SUPPORTED};

    KvSipSupportedHeader() = default;
    // The tag is stored unchanged.
    explicit KvSipSupportedHeader(const char* text);
};

inline const KvSipHeaderClassRegistrar<KvSipSupportedHeader> kvSipSupportedHeaderRegistrar;
