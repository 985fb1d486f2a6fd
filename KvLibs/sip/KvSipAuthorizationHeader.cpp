#include "KvSipAuthorizationHeader.h"

#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"

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
    KvString line;
    std::string_view scheme;
    std::string_view text;
    KvSipCredentialsInfo::sReadSchemeLine(stream, line, scheme, text);
    KvSipHeaderTextStream items(text.data(), static_cast<uint32_t>(text.size()));
    m_credentials = KvSipCredentialsInfo::sConstructFrom(scheme, items);
}

void KvSipAuthorizationHeader::serialize(KvOutputStream& stream) const {
    if (m_credentials.isNull()) {
        return;
    }
    stream << m_credentials->getScheme() << ' ';
    m_credentials->serialize(stream);
}
