#include "KvSipRSeqHeader.h"

#include "KvSipContentLengthHeader.h"

KvSipRSeqHeader::KvSipRSeqHeader() : m_number(0) {}

void KvSipRSeqHeader::doParse(KvInputStream& stream) {
    m_number = KvSipContentLengthHeader::sParseValue(stream);
}

void KvSipRSeqHeader::serialize(KvOutputStream& stream) const {
    KvSipContentLengthHeader::sSerializeValue(stream, m_number);
}
