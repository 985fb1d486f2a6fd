#include "KvSipContentEncodingHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"

namespace {
const KvString& longToken() {
    static const KvString token("Content-Encoding");
    return token;
}
} // namespace

KvSipContentEncodingHeader::KvSipContentEncodingHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_CONTENT_ENCODING);
}

KvSipContentEncodingHeader::KvSipContentEncodingHeader(const KvSipContentEncodingHeader& other)
    : KvSipHeader(other), m_encoding(other.m_encoding) {
    setId(KV_HEADER_CONTENT_ENCODING);
}

KvSipContentEncodingHeader::~KvSipContentEncodingHeader() = default;

KvObject* KvSipContentEncodingHeader::clone() const {
    return new KvSipContentEncodingHeader(*this);
}

const KvString& KvSipContentEncodingHeader::getToken() const {
    return longToken();
}

const KvString& KvSipContentEncodingHeader::getCompactToken() const {
    static const KvString token("e");
    return token;
}

KvSipHeader* KvSipContentEncodingHeader::sCreate() {
    return new KvSipContentEncodingHeader();
}

void KvSipContentEncodingHeader::doParse(KvInputStream& stream) {
    m_encoding = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (m_encoding.isEmpty())
        KvSipParseError::raise("Invalid Content-Encoding header");
}

void KvSipContentEncodingHeader::serialize(KvOutputStream& stream) const {
    stream << m_encoding;
}
