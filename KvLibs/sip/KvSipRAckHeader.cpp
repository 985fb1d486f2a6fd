#include "KvSipRAckHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
const KvString& longToken() {
    static const KvString token("RAck");
    return token;
}
} // namespace

KvSipRAckHeader::KvSipRAckHeader()
    : KvSipHeader(longToken()), m_responseNumber(0), m_cseqNumber(0) {
    setId(KV_HEADER_RACK);
}

KvSipRAckHeader::KvSipRAckHeader(uint32_t rseq, uint32_t cseq, const char* method)
    : KvSipHeader(longToken()), m_responseNumber(rseq), m_cseqNumber(cseq), m_method(method) {
    setId(KV_HEADER_RACK);
}

KvSipRAckHeader::KvSipRAckHeader(const KvSipRAckHeader& other)
    : KvSipHeader(other), m_responseNumber(other.m_responseNumber),
      m_cseqNumber(other.m_cseqNumber), m_method(other.m_method) {
    setId(KV_HEADER_RACK);
}

KvSipRAckHeader::~KvSipRAckHeader() = default;

KvObject* KvSipRAckHeader::clone() const {
    return new KvSipRAckHeader(*this);
}

const KvString& KvSipRAckHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipRAckHeader::sCreate() {
    return new KvSipRAckHeader();
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
