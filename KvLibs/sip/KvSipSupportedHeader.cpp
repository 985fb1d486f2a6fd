#include "KvSipSupportedHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipRequireHeader.h"

KvSipSupportedHeader::KvSipSupportedHeader(const char* text) : m_optionTag(text) {}

void KvSipSupportedHeader::doParse(KvInputStream& stream) {
    m_optionTag = KvSipRequireHeader::sParseOptionTag(stream);
}

void KvSipSupportedHeader::serialize(KvOutputStream& stream) const {
    stream << m_optionTag;
}
