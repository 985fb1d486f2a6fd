#include "KvSipProxyAuthenticateHeader.h"

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader()
    : KvSipProxyAuthenticateHeader(KvHandle<KvSipChallengeInfo>()) {}

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader(
    const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipAuthenticateHeader(sToken(), challenge) {
    setId(KV_HEADER_PROXY_AUTHENTICATE);
}

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader(
    const KvSipProxyAuthenticateHeader& other)
    : KvSipAuthenticateHeader(other) {
    setId(KV_HEADER_PROXY_AUTHENTICATE);
}

KvSipProxyAuthenticateHeader::~KvSipProxyAuthenticateHeader() = default;

KvObject* KvSipProxyAuthenticateHeader::clone() const {
    return new KvSipProxyAuthenticateHeader(*this);
}

const KvString& KvSipProxyAuthenticateHeader::getToken() const {
    return sToken();
}

const KvString& KvSipProxyAuthenticateHeader::sToken() {
    static const KvString token("Proxy-Authenticate");
    return token;
}

KvSipHeader* KvSipProxyAuthenticateHeader::sCreate() {
    return new KvSipProxyAuthenticateHeader;
}
