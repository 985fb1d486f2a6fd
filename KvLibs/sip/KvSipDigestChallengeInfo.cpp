#include "KvSipDigestChallengeInfo.h"

#include "KvByteArrayInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvSipDigestCredentialsInfo.h"

#include <cstring>
#include <strings.h>

namespace {

// RFC 2617 has these as tokens; everything else in a challenge is a quoted string.
bool isUnquotedItem(const char* name) {
    return ::strcasecmp(name, "algorithm") == 0 || ::strcasecmp(name, "stale") == 0 ||
           ::strcasecmp(name, "uri") == 0;
}

} // namespace

KvSipDigestChallengeInfo::KvSipDigestChallengeInfo() = default;

KvSipDigestChallengeInfo::~KvSipDigestChallengeInfo() = default;

void KvSipDigestChallengeInfo::serialize(KvOutputStream& stream) const {
    bool first = true;
    m_parameters.forEach([&](const char* name, const char* value) {
        if (!first) {
            stream << ',';
        }
        first = false;
        stream << name << '=';
        // A token whose received value holds what splits or quotes an unquoted value is quoted
        // instead.
        if (isUnquotedItem(name) && !(value && std::strpbrk(value, ", \t\"\\"))) {
            stream << value;
        } else {
            KvSipDigestCredentialsInfo::sWriteQuoted(stream, value);
        }
    });
}

KvString KvSipDigestChallengeInfo::getScheme() const {
    return KvString("Digest");
}

KvString KvSipDigestChallengeInfo::getRealm() const {
    return m_parameters.getParameter("realm");
}

KvString KvSipDigestChallengeInfo::getNonce() const {
    return m_parameters.getParameter("nonce");
}

KvString KvSipDigestChallengeInfo::getOpaque() const {
    return m_parameters.getParameter("opaque");
}

KvString KvSipDigestChallengeInfo::getQop() const {
    return m_parameters.getParameter("qop");
}

KvString KvSipDigestChallengeInfo::getAlgorithm() const {
    return m_parameters.getParameter("algorithm");
}

void KvSipDigestChallengeInfo::setParameter(const char* name, const char* value) {
    KvSipParseError::refuseLineEnd(name, *this);
    KvSipParseError::refuseLineEnd(value, *this);
    m_parameters.setParameter(name, value);
}

KvHandle<KvSipDigestChallengeInfo>
KvSipDigestChallengeInfo::sConstructFrom(const KvHandle<KvByteArray>& text) {
    KvByteArrayInputStream stream(text);
    return sConstructFrom(stream);
}

KvHandle<KvSipDigestChallengeInfo> KvSipDigestChallengeInfo::sConstructFrom(KvInputStream& stream) {
    KvHandle<KvSipDigestChallengeInfo> challenge(new KvSipDigestChallengeInfo);
    KvSipDigestCredentialsInfo::sParseParameters(stream, challenge->m_parameters, true);
    return challenge;
}
