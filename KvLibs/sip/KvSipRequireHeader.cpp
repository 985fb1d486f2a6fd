#include "KvSipRequireHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

namespace {
const KvString& longToken() {
    static const KvString token("Require");
    return token;
}
} // namespace

KvSipRequireHeader::KvSipRequireHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_REQUIRE);
}

KvSipRequireHeader::KvSipRequireHeader(const char* text)
    : KvSipHeader(longToken()), m_optionTag(text) {
    setId(KV_HEADER_REQUIRE);
}

KvSipRequireHeader::KvSipRequireHeader(const KvSipRequireHeader& other)
    : KvSipHeader(other), m_optionTag(other.m_optionTag) {
    setId(KV_HEADER_REQUIRE);
}

KvSipRequireHeader::~KvSipRequireHeader() = default;

KvObject* KvSipRequireHeader::clone() const {
    return new KvSipRequireHeader(*this);
}

const KvString& KvSipRequireHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipRequireHeader::sCreate() {
    return new KvSipRequireHeader();
}

KvString KvSipRequireHeader::sParseOptionTag(KvInputStream& stream) {
    return KvString(KvStringBuffer::readToken(nullptr, stream, ", \t\r\n"));
}

void KvSipRequireHeader::doParse(KvInputStream& stream) {
    m_optionTag = sParseOptionTag(stream);
}

void KvSipRequireHeader::serialize(KvOutputStream& stream) const {
    stream << m_optionTag;
}
