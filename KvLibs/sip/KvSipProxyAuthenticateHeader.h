// The Proxy-Authenticate header: a challenge from a server (or, for us as a server, to a client).
#pragma once

#include "KvSipAuthenticateHeader.h"

class KvSipProxyAuthenticateHeader : public KvSipAuthenticateHeader {
public:
    KvSipProxyAuthenticateHeader();
    explicit KvSipProxyAuthenticateHeader(const KvHandle<KvSipChallengeInfo>& challenge);
    KvSipProxyAuthenticateHeader(const KvSipProxyAuthenticateHeader& other);
    ~KvSipProxyAuthenticateHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
};

inline const KvSipHeaderRegistrar
    kvSipProxyAuthenticateHeaderRegistrar("Proxy-Authenticate", nullptr,
                                          &KvSipProxyAuthenticateHeader::sCreate);
