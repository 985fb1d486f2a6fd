#include "KvSipAcceptLanguageHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipAcceptLanguageHeader::KvSipAcceptLanguageHeader(const char* language, const char* qvalue)
    : m_language(language), m_qvalue(qvalue) {
    KvSipParseError::refuseLineEnd(language, *this);
    KvSipParseError::refuseLineEnd(qvalue, *this);
}

void KvSipAcceptLanguageHeader::doParse(KvInputStream& stream) {
    m_language = KvString();
    m_qvalue = KvString();
    // RFC 3261 20.3: an empty Accept-Language is legal.
    if (KvStreamTokenizer::skipWhitespace(stream) < 0)
        return;
    m_language = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    if (m_language.isEmpty())
        KvSipParseError::raise("Invalid AcceptLanguage header");

    // Only "q" is the q-value; other parameters are passed over, so they neither pose as one nor
    // run into the next list element.
    while (KvStreamTokenizer::skipWhitespace(stream) == ';') {
        stream.read();
        KvString name(KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass));
        if (KvStreamTokenizer::skipWhitespace(stream) != '=')
            continue;
        stream.read();
        if (name.equalsIgnoreCase("q")) {
            m_qvalue = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
            m_qvalue.trim();
        } else {
            kvSipSkipParameterValue(stream);
        }
    }
}

void KvSipAcceptLanguageHeader::serialize(KvOutputStream& stream) const {
    stream << m_language;
    if (!m_qvalue.isEmpty())
        stream << "; q=" << m_qvalue;
}
