#include "KvSipContentLengthHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

namespace {
const KvString& longToken() {
    static const KvString token("Content-Length");
    return token;
}
} // namespace

KvSipContentLengthHeader::KvSipContentLengthHeader() : KvSipContentLengthHeader(0) {}

KvSipContentLengthHeader::KvSipContentLengthHeader(uint32_t length)
    : KvSipHeader(longToken()), m_length(length) {
    setId(KV_HEADER_CONTENT_LENGTH);
}

KvSipContentLengthHeader::KvSipContentLengthHeader(const KvSipContentLengthHeader& other)
    : KvSipHeader(other), m_length(other.m_length) {
    setId(KV_HEADER_CONTENT_LENGTH);
}

KvSipContentLengthHeader::~KvSipContentLengthHeader() = default;

KvObject* KvSipContentLengthHeader::clone() const {
    return new KvSipContentLengthHeader(*this);
}

const KvString& KvSipContentLengthHeader::getToken() const {
    return longToken();
}

const KvString& KvSipContentLengthHeader::getCompactToken() const {
    static const KvString token("l");
    return token;
}

KvSipHeader* KvSipContentLengthHeader::sCreate() {
    return new KvSipContentLengthHeader();
}

uint32_t KvSipContentLengthHeader::sParseValue(KvInputStream& stream) {
    // The tokenizer refuses a number past 32 bits instead of wrapping it.
    return KvStreamTokenizer::readUnsignedNumber(stream);
}

void KvSipContentLengthHeader::sSerializeValue(KvOutputStream& stream, uint32_t value) {
    stream << static_cast<unsigned int>(value);
}

void KvSipContentLengthHeader::doParse(KvInputStream& stream) {
    m_length = sParseValue(stream);
}

void KvSipContentLengthHeader::serialize(KvOutputStream& stream) const {
    sSerializeValue(stream, m_length);
}
