#include "KvSipContentTypeHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <cstring>

void kvSipSkipParameterValue(KvInputStream& stream) {
    bool quoted = false;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0)
            return;
        if (quoted) {
            if (c == '\\')
                stream.read();
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == ';' || c == ',' || c == '\r' || c == '\n') {
            stream.reset();
            return;
        }
    }
}

KvSipContentTypeHeader::KvSipContentTypeHeader() : m_parameters(new KvParameters()) {}

KvSipContentTypeHeader::KvSipContentTypeHeader(const char* mediaType) : KvSipContentTypeHeader() {
    setMediaType(mediaType);
}

KvSipContentTypeHeader::KvSipContentTypeHeader(const KvSipContentTypeHeader& other)
    : KvSipHeaderClass(other), m_type(other.m_type), m_subtype(other.m_subtype),
      m_parameters(static_cast<KvParameters*>(other.m_parameters->clone())) {}

void KvSipContentTypeHeader::sSplitMediaType(const char* mediaType, KvString& type,
                                             KvString& subtype) {
    if (!mediaType) {
        type = "*";
        subtype = "*";
        return;
    }
    const char* slash = std::strchr(mediaType, '/');
    if (!slash) {
        type = mediaType;
        subtype = "*";
        return;
    }
    uint32_t typeLength = static_cast<uint32_t>(slash - mediaType);
    type = KvString(typeLength ? KvStringBuffer::create(mediaType, typeLength, typeLength + 1)
                               : nullptr);
    subtype = slash + 1;
}

bool KvSipContentTypeHeader::sParseMediaRange(KvInputStream& stream, KvString& type,
                                              KvString& subtype, KvParameters& parameters) {
    // The type ends at any separator, not only at "/": a list element without "/" must not
    // swallow the elements behind it.
    type = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (type.isEmpty() || KvStreamTokenizer::skipWhitespace(stream) != '/')
        return false;
    stream.read();
    subtype = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (subtype.isEmpty())
        return false;
    if (KvStreamTokenizer::skipWhitespace(stream) == ';') {
        stream.read();
        parameters.parse(stream);
    }
    return true;
}

void KvSipContentTypeHeader::setMediaType(const char* mediaType) {
    KvString type;
    KvString subtype;
    sSplitMediaType(mediaType, type, subtype);
    m_type.setText(type.data(), type.length());
    m_subtype.setText(subtype.data(), subtype.length());
}

KvString KvSipContentTypeHeader::getMediaType() const {
    KvString text(KvStringBuffer::create(m_type.c_str(), m_type.length(),
                                         m_type.length() + m_subtype.length() + 2));
    text += "/";
    text += m_subtype.c_str();
    return text;
}

void KvSipContentTypeHeader::doParse(KvInputStream& stream) {
    KvString type;
    KvString subtype;
    m_parameters->removeAll();
    if (!sParseMediaRange(stream, type, subtype, *m_parameters))
        KvSipParseError::raise("Invalid Content-Type header");
    m_type.setText(type.data(), type.length());
    m_subtype.setText(subtype.data(), subtype.length());
}

void KvSipContentTypeHeader::serialize(KvOutputStream& stream) const {
    stream << m_type << '/' << m_subtype;
    if (m_parameters->getCount() > 0)
        stream << ';' << m_parameters->serialize();
}
