#include "KvSipContentEncodingHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"

void KvSipContentEncodingHeader::doParse(KvInputStream& stream) {
    m_text = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (m_text.isEmpty())
        KvSipParseError::raise("Invalid Content-Encoding header");
}
