#include "KvSipUnknownHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipUnknownHeader::KvSipUnknownHeader(const char* name, const char* value)
    : KvSipUnknownHeader(KvString(name), KvString(value)) {}

KvSipUnknownHeader::KvSipUnknownHeader(const KvString& name, const KvString& value)
    : KvSipHeader(name), m_value(value), m_token(name) {
    KvSipParseError::refuseLineEnd(name, *this);
    KvSipParseError::refuseLineEnd(value, *this);
    setId(KV_HEADER_UNKNOWN);
}

KvSipUnknownHeader::KvSipUnknownHeader(const KvSipUnknownHeader& other)
    : KvSipHeader(other), m_value(other.m_value), m_token(other.m_token) {
    setId(KV_HEADER_UNKNOWN);
}

KvSipUnknownHeader::~KvSipUnknownHeader() = default;

void KvSipUnknownHeader::setValue(const char* value) {
    KvSipParseError::refuseLineEnd(value, *this);
    m_value = value;
}

KvObject* KvSipUnknownHeader::clone() const {
    return new KvSipUnknownHeader(*this);
}

void KvSipUnknownHeader::doParse(KvInputStream& stream) {
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The value in place, copied once; the stream left as below, marked at the value.
        uint32_t start = 0;
        while (start < available && (bytes[start] == ' ' || bytes[start] == '\t'))
            ++start;
        const uint32_t length = KvStreamTokenizer::lineLengthIn(bytes + start, available - start);
        if (start)
            stream.skip(start);
        stream.mark(-1);
        if (length)
            stream.skip(length);
        m_value = length ? KvStringBuffer::create(bytes + start, length, length + 1) : nullptr;
        return;
    }
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
    m_value = KvStringBuffer::readBytes(nullptr, stream, length);
}

void KvSipUnknownHeader::serialize(KvOutputStream& stream) const {
    stream.write(m_value.data(), m_value.length(), 0);
}
