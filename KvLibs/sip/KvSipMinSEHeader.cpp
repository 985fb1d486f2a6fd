#include "KvSipMinSEHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipMinSEHeader::KvSipMinSEHeader() : KvSipMinSEHeader(0) {}

KvSipMinSEHeader::KvSipMinSEHeader(uint32_t seconds) : m_seconds(seconds) {}

void KvSipMinSEHeader::doParse(KvInputStream& stream) {
    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c < '0' || c > '9')
        KvSipParseError::raise("Invalid Minimum SE header");
    m_seconds = KvStreamTokenizer::readUnsignedNumber(stream);
}

void KvSipMinSEHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_seconds);
}
