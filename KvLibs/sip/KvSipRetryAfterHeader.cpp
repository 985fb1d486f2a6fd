#include "KvSipRetryAfterHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
// Reads a comment whose "(" is already taken, up to its matching ")", which is consumed. Comments
// nest and a backslash takes the next character with it. Returns false when the comment does not
// fit in size - 1 characters or ends before its ")".
bool readComment(KvInputStream& stream, char* buffer, uint32_t size) {
    uint32_t length = 0;
    int depth = 0;
    for (;;) {
        int c = stream.read();
        if (c < 0 || c == '\r' || c == '\n')
            return false;
        if (c == ')' && depth == 0)
            break;
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        if (length + 1 >= size)
            return false;
        buffer[length++] = static_cast<char>(c);
        if (c == '\\') {
            c = stream.read();
            if (c < 0 || c == '\r' || c == '\n' || length + 1 >= size)
                return false;
            buffer[length++] = static_cast<char>(c);
        }
    }
    buffer[length] = '\0';
    return true;
}
} // namespace

KvSipRetryAfterHeader::KvSipRetryAfterHeader() : KvSipRetryAfterHeader(0, 0) {}

KvSipRetryAfterHeader::KvSipRetryAfterHeader(uint32_t seconds, uint32_t duration)
    : m_dateForm(false), m_deltaSeconds(seconds), m_durationPresent(duration != 0),
      m_duration(duration) {}

void KvSipRetryAfterHeader::setDate(const char* text) {
    KvDate date;
    try {
        date.parse(text);
    } catch (KvHandle<KvException>&) {
        KvSipParseError::raise("Invalid Date in Retry-After header");
    }
    m_date = date;
    m_dateForm = true;
}

void KvSipRetryAfterHeader::setComment(const char* text) {
    KvSipParseError::refuseLineEnd(text, *this);
    while (text && KvStreamTokenizer::isWhitespace(static_cast<unsigned char>(*text)))
        ++text;
    m_comment = text;
}

void KvSipRetryAfterHeader::doParse(KvInputStream& stream) {
    char buffer[WORK_BUFFER_SIZE];
    m_comment = KvString();
    m_durationPresent = false;
    m_duration = 0;

    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c >= '0' && c <= '9') {
        m_deltaSeconds = KvStreamTokenizer::readUnsignedNumber(stream);
        m_dateForm = false;
    } else {
        if (!KvStreamTokenizer::readTokenToBuffer(stream, ";(\r\n", buffer, sizeof buffer))
            KvSipParseError::raise("Invalid Retry-After header");
        setDate(buffer);
    }

    c = KvStreamTokenizer::skipWhitespace(stream);
    if (c == '(') {
        stream.read();
        if (!readComment(stream, buffer, sizeof buffer))
            KvSipParseError::raise("Missing ')' for comment");
        setComment(buffer);
        c = KvStreamTokenizer::skipWhitespace(stream);
    }

    // Every parameter is looked at, so "duration" is found wherever it stands; the others carry
    // nothing this header keeps.
    while (c == ';') {
        stream.read();
        KvString name(KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass));
        c = KvStreamTokenizer::skipWhitespace(stream);
        if (c != '=')
            continue;
        stream.read();
        if (name.equalsIgnoreCase("duration")) {
            m_duration = KvStreamTokenizer::readUnsignedNumber(stream);
            m_durationPresent = true;
        } else {
            kvSipSkipParameterValue(stream);
        }
        c = KvStreamTokenizer::skipWhitespace(stream);
    }
}

void KvSipRetryAfterHeader::serialize(KvOutputStream& stream) const {
    if (m_dateForm) {
        char buffer[WORK_BUFFER_SIZE];
        stream << m_date.format(buffer, sizeof buffer);
    } else {
        stream << static_cast<unsigned int>(m_deltaSeconds);
    }
    if (!m_comment.isEmpty())
        stream << " (" << m_comment << ')';
    if (m_durationPresent)
        stream << "; duration=" << static_cast<unsigned int>(m_duration);
}
