#include "KvSipRAckHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipRAckHeader::KvSipRAckHeader() : m_responseNumber(0), m_cseqNumber(0) {}

KvSipRAckHeader::KvSipRAckHeader(uint32_t rseq, uint32_t cseq, const char* method)
    : m_responseNumber(rseq), m_cseqNumber(cseq), m_method(method) {
    KvSipParseError::refuseLineEnd(method, *this);
}

void KvSipRAckHeader::doParse(KvInputStream& stream) {
    m_responseNumber = KvStreamTokenizer::readUnsignedNumber(stream);
    m_cseqNumber = KvStreamTokenizer::readUnsignedNumber(stream);
    m_method = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (m_method.isEmpty())
        KvSipParseError::raise("Invalid RAck header");
}

void KvSipRAckHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_responseNumber) << ' '
           << static_cast<unsigned int>(m_cseqNumber) << ' ' << m_method;
}
