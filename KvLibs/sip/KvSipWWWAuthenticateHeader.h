// The WWW-Authenticate header: a challenge from a server (or, for us as a server, to a client).
#pragma once

#include "KvSipAuthenticateHeader.h"

class KvSipWWWAuthenticateHeader : public KvSipAuthenticateHeader {
public:
    KvSipWWWAuthenticateHeader();
    explicit KvSipWWWAuthenticateHeader(const KvHandle<KvSipChallengeInfo>& challenge);
    KvSipWWWAuthenticateHeader(const KvSipWWWAuthenticateHeader& other);
    ~KvSipWWWAuthenticateHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;

    static KvSipHeader* sCreate();
    static const KvString& sToken();
};

inline const KvSipHeaderRegistrar
    kvSipWWWAuthenticateHeaderRegistrar("WWW-Authenticate", nullptr,
                                        &KvSipWWWAuthenticateHeader::sCreate);
