#include "KvSipSubjectHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

namespace {
const KvString& longToken() {
    static const KvString token("Subject");
    return token;
}
} // namespace

KvSipSubjectHeader::KvSipSubjectHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_SUBJECT);
}

KvSipSubjectHeader::KvSipSubjectHeader(const KvSipSubjectHeader& other)
    : KvSipHeader(other), m_subject(other.m_subject) {
    setId(KV_HEADER_SUBJECT);
}

KvSipSubjectHeader::~KvSipSubjectHeader() = default;

KvObject* KvSipSubjectHeader::clone() const {
    return new KvSipSubjectHeader(*this);
}

const KvString& KvSipSubjectHeader::getToken() const {
    return longToken();
}

const KvString& KvSipSubjectHeader::getCompactToken() const {
    static const KvString token("s");
    return token;
}

KvSipHeader* KvSipSubjectHeader::sCreate() {
    return new KvSipSubjectHeader();
}

void KvSipSubjectHeader::doParse(KvInputStream& stream) {
    m_subject = KvStringBuffer::readToken(nullptr, stream, "\r\n");
    m_subject.trim();
}

void KvSipSubjectHeader::serialize(KvOutputStream& stream) const {
    stream << m_subject;
}
