#include "KvSipAllowHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
const KvString& longToken() {
    static const KvString token("Allow");
    return token;
}
} // namespace

KvSipAllowHeader::KvSipAllowHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::KvSipAllowHeader(const char* methods)
    : KvSipHeader(longToken()), m_methods(methods) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::KvSipAllowHeader(const KvSipAllowHeader& other)
    : KvSipHeader(other), m_methods(other.m_methods) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::~KvSipAllowHeader() = default;

KvObject* KvSipAllowHeader::clone() const {
    return new KvSipAllowHeader(*this);
}

const KvString& KvSipAllowHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipAllowHeader::sCreate() {
    return new KvSipAllowHeader();
}

void KvSipAllowHeader::doParse(KvInputStream& stream) {
    m_methods = KvString();
    // RFC 3261 20.5: an empty Allow is legal.
    if (KvStreamTokenizer::skipWhitespace(stream) < 0)
        return;
    m_methods = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparators);
    m_methods.trim();
    if (m_methods.isEmpty())
        KvSipParseError::raise("Empty method in Allow header");
}

void KvSipAllowHeader::serialize(KvOutputStream& stream) const {
    stream << m_methods;
}
