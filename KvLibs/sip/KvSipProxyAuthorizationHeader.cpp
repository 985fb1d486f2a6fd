#include "KvSipProxyAuthorizationHeader.h"

KvSipProxyAuthorizationHeader::KvSipProxyAuthorizationHeader()
    : KvSipProxyAuthorizationHeader(KvHandle<KvSipCredentialsInfo>()) {}

KvSipProxyAuthorizationHeader::KvSipProxyAuthorizationHeader(
    KvHandle<KvSipCredentialsInfo> credentials)
    : KvSipAuthorizationHeader(sToken(), KV_HEADER_PROXY_AUTHORIZATION, std::move(credentials)) {}

KvSipProxyAuthorizationHeader::KvSipProxyAuthorizationHeader(
    const KvSipProxyAuthorizationHeader& other)
    : KvSipAuthorizationHeader(other) {
    setId(KV_HEADER_PROXY_AUTHORIZATION);
}

KvSipProxyAuthorizationHeader::~KvSipProxyAuthorizationHeader() = default;

KvObject* KvSipProxyAuthorizationHeader::clone() const {
    return new KvSipProxyAuthorizationHeader(*this);
}

const KvString& KvSipProxyAuthorizationHeader::getToken() const {
    return sToken();
}

const KvString& KvSipProxyAuthorizationHeader::sToken() {
    static const KvString token("Proxy-Authorization");
    return token;
}

KvString KvSipProxyAuthorizationHeader::getTokenString() const {
    return sToken();
}

KvSipHeader* KvSipProxyAuthorizationHeader::sCreate() {
    return new KvSipProxyAuthorizationHeader;
}
