// The Proxy-Authorization header: the Authorization header under the name a proxy asks for.
#pragma once

#include "KvSipAuthorizationHeader.h"

class KvSipProxyAuthorizationHeader : public KvSipAuthorizationHeader {
public:
    KvSipProxyAuthorizationHeader();
    explicit KvSipProxyAuthorizationHeader(KvHandle<KvSipCredentialsInfo> credentials);
    KvSipProxyAuthorizationHeader(const KvSipProxyAuthorizationHeader& other);
    ~KvSipProxyAuthorizationHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    KvString getTokenString() const override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
};

inline const KvSipHeaderRegistrar
    kvSipProxyAuthorizationHeaderRegistrar("Proxy-Authorization", nullptr,
                                           &KvSipProxyAuthorizationHeader::sCreate);
