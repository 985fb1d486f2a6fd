// The Proxy-Authorization header: the Authorization header under the name a proxy asks for.
#pragma once

#include "KvSipAuthorizationHeader.h"

class KvSipProxyAuthorizationHeader
    : public KvSipHeaderClass<KvSipProxyAuthorizationHeader, KvSipAuthorizationHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Proxy-Authorization", nullptr,
                                            KV_HEADER_PROXY_AUTHORIZATION};

    KvSipProxyAuthorizationHeader();
    explicit KvSipProxyAuthorizationHeader(KvHandle<KvSipCredentialsInfo> credentials);
};

inline const KvSipHeaderClassRegistrar<KvSipProxyAuthorizationHeader>
    kvSipProxyAuthorizationHeaderRegistrar;
