#include "KvSipCallIdHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

KvSipCallIdHeader::KvSipCallIdHeader(const char* text) : m_callId(text) {}

void KvSipCallIdHeader::doParse(KvInputStream& stream) {
    char buffer[256];
    uint32_t length = KvStreamTokenizer::tokenLength(stream, " \t\r\n");
    if (length == 0)
        KvSipParseError::raise("Invalid Call-ID header");
    if (length < sizeof buffer) {
        int32_t got = KvStreamTokenizer::readFully(stream, buffer, static_cast<int32_t>(length));
        m_callId.setText(buffer, got > 0 ? static_cast<uint32_t>(got) : 0);
    } else {
        KvString text(KvStringBuffer::readToken(nullptr, stream, " \t\r\n"));
        m_callId.setText(text.data(), text.length());
    }
}

void KvSipCallIdHeader::serialize(KvOutputStream& stream) const {
    stream.write(m_callId.data(), m_callId.length(), 0);
}
