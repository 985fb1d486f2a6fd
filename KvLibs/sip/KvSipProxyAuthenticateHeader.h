// The Proxy-Authenticate header: a challenge from a server (or, for us as a server, to a client).
#pragma once

#include "KvSipAuthenticateHeader.h"
#include "KvSipHeaderClass.h"

class KvSipProxyAuthenticateHeader
    : public KvSipHeaderClass<KvSipProxyAuthenticateHeader, KvSipAuthenticateHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Proxy-Authenticate", nullptr,
                                            KV_HEADER_PROXY_AUTHENTICATE};

    KvSipProxyAuthenticateHeader();
    explicit KvSipProxyAuthenticateHeader(const KvHandle<KvSipChallengeInfo>& challenge);
    KvSipProxyAuthenticateHeader(const KvSipProxyAuthenticateHeader& other);
};

inline const KvSipHeaderClassRegistrar<KvSipProxyAuthenticateHeader>
    kvSipProxyAuthenticateHeaderRegistrar;
