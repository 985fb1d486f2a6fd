#include "KvSipContentLengthHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

KvSipContentLengthHeader::KvSipContentLengthHeader() : KvSipContentLengthHeader(0) {}

KvSipContentLengthHeader::KvSipContentLengthHeader(uint32_t length) : m_length(length) {}

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
