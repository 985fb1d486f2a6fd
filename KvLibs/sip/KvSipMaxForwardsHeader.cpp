#include "KvSipMaxForwardsHeader.h"

#include "KvSipContentLengthHeader.h"

namespace {
const KvString& longToken() {
    static const KvString token("Max-Forwards");
    return token;
}
} // namespace

KvSipMaxForwardsHeader::KvSipMaxForwardsHeader(uint32_t hops)
    : KvSipHeader(longToken()), m_hops(hops) {
    setId(KV_HEADER_MAX_FORWARDS);
}

KvSipMaxForwardsHeader::KvSipMaxForwardsHeader(const KvSipMaxForwardsHeader& other)
    : KvSipHeader(other), m_hops(other.m_hops) {
    setId(KV_HEADER_MAX_FORWARDS);
}

KvSipMaxForwardsHeader::~KvSipMaxForwardsHeader() = default;

KvObject* KvSipMaxForwardsHeader::clone() const {
    return new KvSipMaxForwardsHeader(*this);
}

const KvString& KvSipMaxForwardsHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipMaxForwardsHeader::sCreate() {
    return new KvSipMaxForwardsHeader(0);
}

void KvSipMaxForwardsHeader::doParse(KvInputStream& stream) {
    m_hops = KvSipContentLengthHeader::sParseValue(stream);
}

void KvSipMaxForwardsHeader::serialize(KvOutputStream& stream) const {
    KvSipContentLengthHeader::sSerializeValue(stream, m_hops);
}
