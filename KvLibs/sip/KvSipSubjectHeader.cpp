#include "KvSipSubjectHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

void KvSipSubjectHeader::doParse(KvInputStream& stream) {
    m_text = KvStringBuffer::readToken(nullptr, stream, "\r\n");
    m_text.trim();
}
