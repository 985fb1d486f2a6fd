#include "KvSipMaxForwardsHeader.h"

#include "KvSipContentLengthHeader.h"

KvSipMaxForwardsHeader::KvSipMaxForwardsHeader(uint32_t hops) : m_hops(hops) {}

void KvSipMaxForwardsHeader::doParse(KvInputStream& stream) {
    m_hops = KvSipContentLengthHeader::sParseValue(stream);
}

void KvSipMaxForwardsHeader::serialize(KvOutputStream& stream) const {
    KvSipContentLengthHeader::sSerializeValue(stream, m_hops);
}
