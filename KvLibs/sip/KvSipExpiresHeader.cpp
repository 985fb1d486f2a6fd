#include "KvSipExpiresHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvPlatformTime.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <string>

namespace {
// The leading digits of text; false when there are none or they do not fit in 32 bits.
bool leadingNumber(const char* text, uint32_t& value) {
    uint64_t result = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        result = result * 10 + static_cast<uint32_t>(*p - '0');
        if (result > 0xFFFFFFFFull)
            return false;
    }
    value = static_cast<uint32_t>(result);
    return p != text;
}
} // namespace

KvSipExpiresHeader::KvSipExpiresHeader() : KvSipExpiresHeader(0) {}

KvSipExpiresHeader::KvSipExpiresHeader(uint32_t seconds)
    : m_dateForm(false), m_deltaSeconds(seconds), m_madeAt(kvTimeNow()) {}

// The date is made before it is copied: a copy holds the same one.
KvSipExpiresHeader::KvSipExpiresHeader(const KvSipExpiresHeader& other)
    : KvSipHeaderClass(other), m_dateForm(other.m_dateForm), m_date(other.getDate()),
      m_deltaSeconds(other.m_deltaSeconds), m_madeAt(other.m_madeAt) {}

const KvDate& KvSipExpiresHeader::getDate() const {
    // A date is made in the zone "GMT": nothing to set.
    std::call_once(m_dateMade, [this] {
        if (!m_date) {
            m_date.emplace();
            if (const int64_t since = kvTimeNow() - m_madeAt; since > 0)
                m_date->subtractSeconds(since);
        }
    });
    return *m_date;
}

void KvSipExpiresHeader::doParse(KvInputStream& stream) {
    int c = KvStreamTokenizer::skipWhitespace(stream);
    if (c >= '0' && c <= '9') {
        constexpr uint32_t kTokenSize = 64;
        char token[kTokenSize];
        uint32_t length = 0;
        stream.mark(-1);
        for (;;) {
            c = stream.read();
            // A value handed over without a line end (a URL header) ends with the stream.
            if (c < 0 || c == ' ' || c == '\r' || c == '\n')
                break;
            if (length + 1 >= kTokenSize)
                KvSipParseError::raise("un-expecting end of file when parsing KvSipExpiresHeader");
            token[length++] = static_cast<char>(c);
        }
        token[length] = '\0';
        while (c == ' ')
            c = stream.read();
        if (c < 0 || c == '\r' || c == '\n') {
            uint32_t seconds = 0;
            if (!leadingNumber(token, seconds))
                KvSipParseError::raise("Invalid Expires header");
            m_dateForm = false;
            m_deltaSeconds = seconds;
            return;
        }
        // More text behind the number: read the whole value as a date.
        stream.reset();
    }

    KvString text(KvStringBuffer::readToken(nullptr, stream, "\r\n"));
    if (text.isEmpty())
        KvSipParseError::raise("Invalid Expires header");
    KvDate date;
    date.setZone("GMT");
    date.parse(text.data());
    m_date = date;
    m_dateForm = true;
    m_deltaSeconds = 0;
}

void KvSipExpiresHeader::serialize(KvOutputStream& stream) const {
    if (m_dateForm) {
        char buffer[128];
        stream << m_date->format(buffer, sizeof buffer);
    } else {
        stream << static_cast<unsigned int>(m_deltaSeconds);
    }
}

uint32_t KvSipExpiresHeader::getDeltaSeconds() const {
    if (!m_dateForm)
        return m_deltaSeconds;
    int64_t seconds = m_date->secondsFromNow();
    if (seconds <= 0)
        return 0;
    return seconds > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(seconds);
}
