#include "KvSipAcceptHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
const KvString& longToken() {
    static const KvString token("Accept");
    return token;
}
} // namespace

KvSipAcceptHeader::KvSipAcceptHeader()
    : KvSipHeader(longToken()), m_parameters(new KvParameters()) {
    setId(KV_HEADER_ACCEPT);
}

KvSipAcceptHeader::KvSipAcceptHeader(const char* mediaRange) : KvSipAcceptHeader() {
    KvSipContentTypeHeader::sSplitMediaType(mediaRange, m_type, m_subtype);
}

KvSipAcceptHeader::KvSipAcceptHeader(const KvSipAcceptHeader& other)
    : KvSipHeader(other), m_type(other.m_type), m_subtype(other.m_subtype),
      m_parameters(other.m_parameters.isNull()
                       ? new KvParameters()
                       : static_cast<KvParameters*>(other.m_parameters->clone())) {
    setId(KV_HEADER_ACCEPT);
}

KvSipAcceptHeader::~KvSipAcceptHeader() = default;

KvObject* KvSipAcceptHeader::clone() const {
    return new KvSipAcceptHeader(*this);
}

const KvString& KvSipAcceptHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipAcceptHeader::sCreate() {
    return new KvSipAcceptHeader();
}

void KvSipAcceptHeader::doParse(KvInputStream& stream) {
    m_type = KvString();
    m_subtype = KvString();
    m_parameters->removeAll();
    // RFC 3261 20.1: an empty Accept is legal.
    if (KvStreamTokenizer::skipWhitespace(stream) < 0)
        return;
    if (!KvSipContentTypeHeader::sParseMediaRange(stream, m_type, m_subtype, *m_parameters))
        KvSipParseError::raise("Invalid Accept header");
}

void KvSipAcceptHeader::serialize(KvOutputStream& stream) const {
    if (m_type.isEmpty() && m_subtype.isEmpty())
        return;
    stream << m_type << '/' << m_subtype;
    if (!m_parameters.isNull() && m_parameters->getCount() > 0)
        stream << ';' << m_parameters->serialize();
}
