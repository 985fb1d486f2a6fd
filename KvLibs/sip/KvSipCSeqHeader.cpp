#include "KvSipCSeqHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipCSeqHeader::KvSipCSeqHeader() : m_number(0) {}

KvSipCSeqHeader::KvSipCSeqHeader(uint32_t number, const char* method)
    : m_number(number), m_method(method) {}

void KvSipCSeqHeader::doParse(KvInputStream& stream) {
    m_number = KvStreamTokenizer::readUnsignedNumber(stream);
    // Methods are short; a stack buffer spares the hot path an allocation.
    char buffer[64];
    uint32_t length = KvStreamTokenizer::tokenLength(stream, kvSipTokenSeparatorClass);
    if (length == 0)
        KvSipParseError::raise("Invalid CSeq header");
    if (length < sizeof buffer) {
        int32_t got = KvStreamTokenizer::readFully(stream, buffer, static_cast<int32_t>(length));
        m_method.setText(buffer, got > 0 ? static_cast<uint32_t>(got) : 0);
    } else {
        KvString method(KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass));
        m_method.setText(method.data(), method.length());
    }
}

void KvSipCSeqHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_number) << ' ';
    stream.write(m_method.data(), m_method.length(), 0);
}
