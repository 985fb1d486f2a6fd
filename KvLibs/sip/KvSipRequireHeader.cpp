#include "KvSipRequireHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

KvSipRequireHeader::KvSipRequireHeader(const char* text) : m_optionTag(text) {}

KvString KvSipRequireHeader::sParseOptionTag(KvInputStream& stream) {
    return KvString(KvStringBuffer::readToken(nullptr, stream, ", \t\r\n"));
}

void KvSipRequireHeader::doParse(KvInputStream& stream) {
    m_optionTag = sParseOptionTag(stream);
}

void KvSipRequireHeader::serialize(KvOutputStream& stream) const {
    stream << m_optionTag;
}
