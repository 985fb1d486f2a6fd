#include "KvSipAuthenticateHeader.h"

#include "KvByteArray.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

#include <cstring>

namespace {

// The scheme word ends at the first blank or tab. A line without one is both scheme and text, so
// a bare "Digest" is a challenge without parameters.
void splitScheme(const KvString& line, KvString& scheme, KvHandle<KvByteArray>& text) {
    const char* begin = line.c_str();
    const char* blank = std::strpbrk(begin, " \t");
    if (!blank) {
        scheme = line;
        text = KvByteArray::sFromString(begin);
        return;
    }
    const auto length = static_cast<uint32_t>(blank - begin);
    scheme = length ? KvString(KvStringBuffer::create(begin, length)) : KvString();
    text = KvByteArray::sFromString(blank + 1);
}

} // namespace

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvString& token,
                                                 const KvHandle<KvSipChallengeInfo>& challenge)
    : KvSipHeader(token), m_challenge(challenge) {}

KvSipAuthenticateHeader::KvSipAuthenticateHeader(const KvSipAuthenticateHeader& other)
    : KvSipHeader(other), m_challenge(other.m_challenge) {}

KvSipAuthenticateHeader::~KvSipAuthenticateHeader() = default;

void KvSipAuthenticateHeader::doParse(KvInputStream& stream) {
    const KvString line = KvStreamTokenizer::readLine(stream);
    KvString scheme;
    KvHandle<KvByteArray> text;
    splitScheme(line, scheme, text);
    m_challenge = KvSipChallengeInfo::sConstructFrom(scheme.c_str(), text);
}

void KvSipAuthenticateHeader::serialize(KvOutputStream& stream) const {
    if (m_challenge.isNull()) {
        return;
    }
    stream << m_challenge->getScheme() << ' ';
    m_challenge->serialize(stream);
}
