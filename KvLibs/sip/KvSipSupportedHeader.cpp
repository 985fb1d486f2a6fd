#include "KvSipSupportedHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipRequireHeader.h"

namespace {
const KvString& longToken() {
    static const KvString token("Supported");
    return token;
}
} // namespace

KvSipSupportedHeader::KvSipSupportedHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_SUPPORTED);
}

KvSipSupportedHeader::KvSipSupportedHeader(const char* text)
    : KvSipHeader(longToken()), m_optionTag(text) {
    setId(KV_HEADER_SUPPORTED);
}

KvSipSupportedHeader::KvSipSupportedHeader(const KvSipSupportedHeader& other)
    : KvSipHeader(other), m_optionTag(other.m_optionTag) {
    setId(KV_HEADER_SUPPORTED);
}

KvSipSupportedHeader::~KvSipSupportedHeader() = default;

KvObject* KvSipSupportedHeader::clone() const {
    return new KvSipSupportedHeader(*this);
}

const KvString& KvSipSupportedHeader::getToken() const {
    return longToken();
}

const KvString& KvSipSupportedHeader::getCompactToken() const {
    static const KvString token("k");
    return token;
}

KvSipHeader* KvSipSupportedHeader::sCreate() {
    return new KvSipSupportedHeader();
}

void KvSipSupportedHeader::doParse(KvInputStream& stream) {
    m_optionTag = KvSipRequireHeader::sParseOptionTag(stream);
}

void KvSipSupportedHeader::serialize(KvOutputStream& stream) const {
    stream << m_optionTag;
}
