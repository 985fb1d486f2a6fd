// The WWW-Authenticate header: a challenge from a server (or, for us as a server, to a client).
#pragma once

#include "KvSipAuthenticateHeader.h"
#include "KvSipHeaderClass.h"

class KvSipWWWAuthenticateHeader
    : public KvSipHeaderClass<KvSipWWWAuthenticateHeader, KvSipAuthenticateHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"WWW-Authenticate", nullptr,
                                            KV_HEADER_WWW_AUTHENTICATE};

    KvSipWWWAuthenticateHeader();
    explicit KvSipWWWAuthenticateHeader(const KvHandle<KvSipChallengeInfo>& challenge);
};

inline const KvSipHeaderClassRegistrar<KvSipWWWAuthenticateHeader>
    kvSipWWWAuthenticateHeaderRegistrar;
