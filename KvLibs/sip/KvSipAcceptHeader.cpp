#include "KvSipAcceptHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipAcceptHeader::KvSipAcceptHeader() : m_parameters(new KvParameters()) {}

KvSipAcceptHeader::KvSipAcceptHeader(const char* mediaRange) : KvSipAcceptHeader() {
    KvSipParseError::refuseLineEnd(mediaRange, *this);
    // A list given whole stays one header, written as given: each of its ranges must read back.
    KvSipContentTypeHeader::sRefuseInvalidMediaType(mediaRange, *this, true);
    KvSipContentTypeHeader::sSplitMediaType(mediaRange, m_type, m_subtype);
}

KvSipAcceptHeader::KvSipAcceptHeader(const KvSipAcceptHeader& other)
    : KvSipHeaderClass(other), m_type(other.m_type), m_subtype(other.m_subtype),
      m_parameters(other.m_parameters.isNull()
                       ? new KvParameters()
                       : static_cast<KvParameters*>(other.m_parameters->clone())) {}

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
