#include "KvSipContentEncodingHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"

void KvSipContentEncodingHeader::doParse(KvInputStream& stream) {
    m_encoding = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparators);
    if (m_encoding.isEmpty())
        KvSipParseError::raise("Invalid Content-Encoding header");
}

void KvSipContentEncodingHeader::serialize(KvOutputStream& stream) const {
    stream << m_encoding;
}
