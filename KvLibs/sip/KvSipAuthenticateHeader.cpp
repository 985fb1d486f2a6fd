#include "KvSipAuthenticateHeader.h"

#include "KvOutputStream.h"
#include "KvSipCredentialsInfo.h"
#include "KvSipHeaderTextStream.h"

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvString& token,
                                                 const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipHeader(token), m_challenge(challenge) {}

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvSipAuthenticateHeader& other)
    : KvSipHeader(other), m_challenge(other.m_challenge) {}

KvSipAuthenticateHeader::~KvSipAuthenticateHeader() = default;

void KvSipAuthenticateHeader::doParse(KvInputStream& stream) {
    KvString line;
    std::string_view scheme;
    std::string_view text;
    KvSipCredentialsInfo::sReadSchemeLine(stream, line, scheme, text);
    KvSipHeaderTextStream items(text.data(), static_cast<uint32_t>(text.size()));
    m_challenge = KvSipChallengeInfo::sConstructFrom(scheme, items);
}

void KvSipAuthenticateHeader::serialize(KvOutputStream& stream) const {
    if (m_challenge.isNull()) {
        return;
    }
    stream << m_challenge->getScheme() << ' ';
    m_challenge->serialize(stream);
}
