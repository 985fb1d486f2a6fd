// The Require header: one option tag that the receiver must support.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipOptionTagHeader.h"

class KvSipRequireHeader : public KvSipHeaderClass<KvSipRequireHeader, KvSipOptionTagHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Require", nullptr, KV_HEADER_REQUIRE};

    KvSipRequireHeader() = default;
    // The tag is stored unchanged.
    explicit KvSipRequireHeader(const char* text);
};

inline const KvSipHeaderClassRegistrar<KvSipRequireHeader> kvSipRequireHeaderRegistrar;
