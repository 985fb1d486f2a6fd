#include "KvSipRSeqHeader.h"

#include "KvSipContentLengthHeader.h"

namespace {
const KvString& longToken() {
    static const KvString token("RSeq");
    return token;
}
} // namespace

KvSipRSeqHeader::KvSipRSeqHeader() : KvSipHeader(longToken()), m_number(0) {
    setId(KV_HEADER_RSEQ);
}

KvSipRSeqHeader::KvSipRSeqHeader(const KvSipRSeqHeader& other)
    : KvSipHeader(other), m_number(other.m_number) {
    setId(KV_HEADER_RSEQ);
}

KvSipRSeqHeader::~KvSipRSeqHeader() = default;

KvObject* KvSipRSeqHeader::clone() const {
    return new KvSipRSeqHeader(*this);
}

const KvString& KvSipRSeqHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipRSeqHeader::sCreate() {
    return new KvSipRSeqHeader();
}

void KvSipRSeqHeader::doParse(KvInputStream& stream) {
    m_number = KvSipContentLengthHeader::sParseValue(stream);
}

void KvSipRSeqHeader::serialize(KvOutputStream& stream) const {
    KvSipContentLengthHeader::sSerializeValue(stream, m_number);
}
