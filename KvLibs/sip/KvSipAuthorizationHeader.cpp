#include "KvSipAuthorizationHeader.h"

#include "KvByteArray.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

#include <cstring>
#include <string>

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
    const KvString line = KvStreamTokenizer::readLine(stream);
    const char* begin = line.c_str();
    // Split at a tab as well as a space: both are blanks between scheme and credentials.
    const char* blank = std::strpbrk(begin, " \t");
    if (!blank) {
        m_credentials =
            KvSipCredentialsInfo::sConstructFrom(begin, KvByteArray::sFromString(begin));
        return;
    }
    // The scheme is a short word: kept on the stack, not in a counted string.
    const std::string scheme(begin, blank);
    m_credentials =
        KvSipCredentialsInfo::sConstructFrom(scheme.c_str(), KvByteArray::sFromString(blank + 1));
}

void KvSipAuthorizationHeader::serialize(KvOutputStream& stream) const {
    if (m_credentials.isNull()) {
        return;
    }
    stream << m_credentials->getScheme() << ' ';
    m_credentials->serialize(stream);
}
