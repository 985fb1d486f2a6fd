#include "KvSipWWWAuthenticateHeader.h"

KvSipWWWAuthenticateHeader::KvSipWWWAuthenticateHeader()
    : KvSipWWWAuthenticateHeader(KvHandle<KvSipChallengeInfo>()) {}

KvSipWWWAuthenticateHeader::KvSipWWWAuthenticateHeader(
    const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipHeaderClass(challenge) {}
