#include "KvSipMinSEHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
const KvString& longToken() {
    static const KvString token("Min-SE");
    return token;
}
} // namespace

KvSipMinSEHeader::KvSipMinSEHeader() : KvSipMinSEHeader(0) {}

KvSipMinSEHeader::KvSipMinSEHeader(uint32_t seconds)
    : KvSipHeader(longToken()), m_seconds(seconds) {
    setId(KV_HEADER_MIN_SE);
}

KvSipMinSEHeader::KvSipMinSEHeader(const KvSipMinSEHeader& other)
    : KvSipHeader(other), m_seconds(other.m_seconds) {
    setId(KV_HEADER_MIN_SE);
}

KvSipMinSEHeader::~KvSipMinSEHeader() = default;

KvObject* KvSipMinSEHeader::clone() const {
    return new KvSipMinSEHeader(*this);
}

const KvString& KvSipMinSEHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipMinSEHeader::sCreate() {
    return new KvSipMinSEHeader();
}

void KvSipMinSEHeader::doParse(KvInputStream& stream) {
    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c < '0' || c > '9')
        KvSipParseError::raise("Invalid Minimum SE header");
    m_seconds = KvStreamTokenizer::readUnsignedNumber(stream);
}

void KvSipMinSEHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_seconds);
}
