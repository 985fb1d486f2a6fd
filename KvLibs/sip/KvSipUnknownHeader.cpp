#include "KvSipUnknownHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

KvSipUnknownHeader::KvSipUnknownHeader(const char* name, const char* value)
    : KvSipUnknownHeader(KvString(name), KvString(value)) {}

KvSipUnknownHeader::KvSipUnknownHeader(const KvString& name, const KvString& value)
    : KvSipHeader(name), m_value(value), m_token(name) {
    setId(KV_HEADER_UNKNOWN);
}

KvSipUnknownHeader::KvSipUnknownHeader(const KvSipUnknownHeader& other)
    : KvSipHeader(other), m_value(other.m_value), m_token(other.m_token) {
    setId(KV_HEADER_UNKNOWN);
}

KvSipUnknownHeader::~KvSipUnknownHeader() = default;

KvObject* KvSipUnknownHeader::clone() const {
    return new KvSipUnknownHeader(*this);
}

void KvSipUnknownHeader::doParse(KvInputStream& stream) {
    int c;
    do {
        stream.mark(1);
        c = stream.read();
    } while (c == ' ' || c == '\t');
    stream.reset();

    // Measure first, then read the value in one piece into a buffer of exactly its size.
    stream.mark(-1);
    uint32_t length = 0;
    for (c = stream.read(); c >= 0 && c != '\r' && c != '\n'; c = stream.read())
        ++length;
    stream.reset();
    if (length == 0) {
        m_value = KvString();
        return;
    }
    KvStringBuffer* buffer = KvStringBuffer::create(nullptr, 0, length + 1);
    char* text = KvStringBuffer::lockBuffer(buffer, length + 1);
    int32_t got = KvStreamTokenizer::readFully(stream, text, static_cast<int32_t>(length));
    uint32_t used = got > 0 ? static_cast<uint32_t>(got) : 0;
    text[used] = '\0';
    KvStringBuffer::releaseBuffer(buffer, static_cast<int32_t>(used));
    m_value = buffer;
}

void KvSipUnknownHeader::serialize(KvOutputStream& stream) const {
    stream.write(m_value.data(), m_value.length(), 0);
}
