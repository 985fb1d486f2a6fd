#include "KvSipProxyAuthenticateHeader.h"

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader()
    : KvSipProxyAuthenticateHeader(KvHandle<KvSipChallengeInfo>()) {}

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader(
    const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipHeaderClass(challenge) {}

KvSipProxyAuthenticateHeader::KvSipProxyAuthenticateHeader(
    const KvSipProxyAuthenticateHeader& other)
    : KvSipHeaderClass(other) {}
