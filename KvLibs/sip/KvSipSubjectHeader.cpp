#include "KvSipSubjectHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

void KvSipSubjectHeader::doParse(KvInputStream& stream) {
    m_subject = KvStringBuffer::readToken(nullptr, stream, "\r\n");
    m_subject.trim();
}

void KvSipSubjectHeader::serialize(KvOutputStream& stream) const {
    stream << m_subject;
}
