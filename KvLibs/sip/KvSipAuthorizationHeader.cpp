#include "KvSipAuthorizationHeader.h"

#include "KvOutputStream.h"

KvSipAuthorizationHeader::KvSipAuthorizationHeader()
    : KvSipAuthorizationHeader(KvHandle<KvSipCredentialsInfo>()) {}

KvSipAuthorizationHeader::KvSipAuthorizationHeader(KvHandle<KvSipCredentialsInfo> credentials)
    : m_credentials(std::move(credentials)) {}

KvSipAuthorizationHeader::KvSipAuthorizationHeader(const KvString& token,
                                                   KvHandle<KvSipCredentialsInfo> credentials)
    : KvSipHeaderClass(KvSipHeaderOtherToken{token}), m_credentials(std::move(credentials)) {}

KvString KvSipAuthorizationHeader::getTokenString() const {
    return getToken();
}

void KvSipAuthorizationHeader::doParse(KvInputStream& stream) {
    m_credentials = KvSipCredentialsInfo::sReadSchemeLine(
        stream, [](std::string_view scheme, KvInputStream& text) {
            return KvSipCredentialsInfo::sConstructFrom(scheme, text);
        });
}

void KvSipAuthorizationHeader::serialize(KvOutputStream& stream) const {
    if (m_credentials.isNull()) {
        return;
    }
    stream << m_credentials->getScheme() << ' ';
    m_credentials->serialize(stream);
}
