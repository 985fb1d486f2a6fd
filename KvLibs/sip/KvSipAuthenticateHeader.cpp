#include "KvSipAuthenticateHeader.h"

#include "KvOutputStream.h"
#include "KvSipCredentialsInfo.h"

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvString& token,
                                                 const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipHeader(token), m_challenge(challenge) {}

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvSipAuthenticateHeader& other)
    : KvSipHeader(other), m_challenge(other.m_challenge) {}

KvSipAuthenticateHeader::~KvSipAuthenticateHeader() = default;

void KvSipAuthenticateHeader::doParse(KvInputStream& stream) {
    m_challenge = KvSipCredentialsInfo::sReadSchemeLine(
        stream, [](std::string_view scheme, KvInputStream& text) {
            return KvSipChallengeInfo::sConstructFrom(scheme, text);
        });
}

void KvSipAuthenticateHeader::serialize(KvOutputStream& stream) const {
    if (m_challenge.isNull()) {
        return;
    }
    stream << m_challenge->getScheme() << ' ';
    m_challenge->serialize(stream);
}
