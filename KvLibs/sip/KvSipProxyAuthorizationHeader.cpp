#include "KvSipProxyAuthorizationHeader.h"

KvSipProxyAuthorizationHeader::KvSipProxyAuthorizationHeader()
    : KvSipProxyAuthorizationHeader(KvHandle<KvSipCredentialsInfo>()) {}

KvSipProxyAuthorizationHeader::KvSipProxyAuthorizationHeader(
    KvHandle<KvSipCredentialsInfo> credentials)
    : KvSipHeaderClass(std::move(credentials)) {}
