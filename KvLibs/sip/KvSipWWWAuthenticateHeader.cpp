#include "KvSipWWWAuthenticateHeader.h"

KvSipWWWAuthenticateHeader::KvSipWWWAuthenticateHeader()
    : KvSipWWWAuthenticateHeader(KvHandle<KvSipChallengeInfo>()) {}

KvSipWWWAuthenticateHeader::KvSipWWWAuthenticateHeader(
    const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipAuthenticateHeader(sToken(), challenge) {
    setId(KV_HEADER_WWW_AUTHENTICATE);
}

KvSipWWWAuthenticateHeader::KvSipWWWAuthenticateHeader(const KvSipWWWAuthenticateHeader& other)
    : KvSipAuthenticateHeader(other) {
    setId(KV_HEADER_WWW_AUTHENTICATE);
}

KvSipWWWAuthenticateHeader::~KvSipWWWAuthenticateHeader() = default;

KvObject* KvSipWWWAuthenticateHeader::clone() const {
    return new KvSipWWWAuthenticateHeader(*this);
}

const KvString& KvSipWWWAuthenticateHeader::getToken() const {
    return sToken();
}

const KvString& KvSipWWWAuthenticateHeader::sToken() {
    static const KvString token("WWW-Authenticate");
    return token;
}

KvSipHeader* KvSipWWWAuthenticateHeader::sCreate() {
    return new KvSipWWWAuthenticateHeader;
}
