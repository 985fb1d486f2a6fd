#include "KvSipAuthorizationHeader.h"

#include "KvByteArray.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

#include <cstring>

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
    KvString scheme = line;
    KvHandle<KvByteArray> text;
    if (blank) {
        const auto length = static_cast<uint32_t>(blank - begin);
        scheme = length ? KvString(KvStringBuffer::create(begin, length)) : KvString();
        text = KvByteArray::sFromString(blank + 1);
    } else {
        text = KvByteArray::sFromString(begin);
    }
    m_credentials = KvSipCredentialsInfo::sConstructFrom(scheme.c_str(), text);
}

void KvSipAuthorizationHeader::serialize(KvOutputStream& stream) const {
    if (m_credentials.isNull()) {
        return;
    }
    stream << m_credentials->getScheme() << ' ';
    m_credentials->serialize(stream);
}
