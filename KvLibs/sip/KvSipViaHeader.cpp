#include "KvSipViaHeader.h"

#include "KvErrorStream.h"
#include "KvException.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {
// The token separators of RFC 3261, and CR and LF.
// The ends of a token, and the same with NUL, which ends the text kept: what lies behind one is
// looked for only when a NUL is met.
struct TokenEnd {
    KvCharClass delimiters;
    KvCharClass delimitersOrNul;
};
constexpr TokenEnd tokenEnd(KvCharClass delimiters) {
    TokenEnd end{delimiters, delimiters};
    end.delimitersOrNul.add('\0');
    return end;
}
constexpr TokenEnd kSeparators = tokenEnd(KvCharClass{" \t\r\n\\\"()<>@,;:/[]?={}"});
constexpr TokenEnd kSlash = tokenEnd(KvCharClass{"/"});
constexpr TokenEnd kCloseParenthesis = tokenEnd(KvCharClass{")"});
// What ends a plain run of parameter text.
constexpr KvCharClass kParameterStops{",\"\\"};
const char* const kInvalid = "Invalid Via header";
const char* const kInvalidTtl = "Invalid value for ttl parameter in Via header";
// A header line never holds more.
constexpr uint32_t kTokenSize = 1024;
// The parameter text must fit the buffer, as it does when copied, with room for its end.
constexpr uint32_t kParameterLimit = kTokenSize - 2;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// skipBlanks for a stream that shows no bytes.
int skipStreamBlanks(KvInputCursor& cursor) {
    for (;;) {
        cursor.mark();
        const int c = cursor.read();
        if (c < 0 || !isBlank(static_cast<char>(c))) {
            cursor.reset();
            return c;
        }
    }
}

// The tokenizer's skipWhitespace through the cursor: blanks passed over, marked at the next byte,
// which is returned and left unread. Small enough to be inlined where the bytes are in view.
inline int skipBlanks(KvInputCursor& cursor) {
    uint32_t available = 0;
    const char* bytes = cursor.rest(available);
    if (!bytes)
        return skipStreamBlanks(cursor);
    uint32_t n = 0;
    while (n < available && isBlank(bytes[n]))
        ++n;
    cursor.advance(n);
    cursor.mark();
    return n < available ? static_cast<uint8_t>(bytes[n]) : -1;
}

// The next token up to one of the delimiters, leading white space passed over, as the tokenizer
// reads it: the delimiter stays in the stream, the mark at the token's start. The text lies in the
// stream's bytes or in the buffer.
std::string_view readToken(KvInputCursor& cursor, const TokenEnd& end, char (&buffer)[kTokenSize],
                           bool trimEnd = true) {
    skipBlanks(cursor);
    uint32_t available = 0;
    const char* bytes = cursor.rest(available);
    uint32_t length = 0;
    uint32_t kept = 0; // a NUL has always ended the text
    if (bytes) {
        kept = length = end.delimitersOrNul.spanOutside(bytes, available);
        if (length < available && bytes[length] == '\0')
            length += end.delimiters.spanOutside(bytes + length, available - length);
        cursor.advance(length);
    } else {
        for (int c = cursor.read(); c >= 0 && !end.delimiters.contains(c); c = cursor.read())
            ++length;
        cursor.reset();
        for (uint32_t i = 0; i < length && i < kTokenSize; ++i)
            buffer[i] = static_cast<char>(cursor.read());
        bytes = buffer;
        kept = static_cast<uint32_t>(::strnlen(buffer, std::min(length, kTokenSize)));
    }
    if (length >= kTokenSize) {
        // Read as far as a buffer's worth, as ever.
        cursor.reset();
        for (uint32_t i = 0; i < kTokenSize; ++i)
            cursor.read();
        KvSipParseError::raise(kInvalid);
    }
    std::string_view token(bytes, kept);
    if (trimEnd) {
        while (!token.empty() && isBlank(token.back()))
            token.remove_suffix(1);
    }
    return token;
}

void assign(KvConstString& to, std::string_view text) {
    // A parsed header's defaults ("SIP", "2.0", "UDP") are most often what was read.
    if (to.length() == text.size() &&
        (text.empty() || std::memcmp(to.data(), text.data(), text.size()) == 0))
        return;
    to.setText(text.data(), static_cast<uint32_t>(text.size()));
}

std::string_view trimmedText(const char* text, uint32_t length) {
    const char* start = text;
    const char* end = text + length;
    while (start < end && isBlank(*start))
        ++start;
    while (end > start && isBlank(end[-1]))
        --end;
    return std::string_view(start, static_cast<size_t>(end - start));
}

// The parameter text up to the comma that starts the next Via, or the end; a comma inside a quoted
// value (RFC 3261 generic-param) belongs to the value. The comma stays in the stream. The text,
// trimmed, lies in the stream's bytes when it shows them, else in the buffer.
std::string_view readParameterText(KvInputCursor& cursor, char (&buffer)[kTokenSize]) {
    constexpr uint32_t kLimit = kParameterLimit;
    bool quoted = false;
    uint32_t available = 0;
    if (const char* bytes = cursor.rest(available)) {
        // Most texts hold no quote: they end at the first comma, found with the library's search.
        const uint32_t searched = std::min(available, kLimit + 1);
        const void* comma = std::memchr(bytes, ',', searched);
        const uint32_t end =
            comma ? static_cast<uint32_t>(static_cast<const char*>(comma) - bytes) : available;
        if (end <= kLimit && !std::memchr(bytes, '"', end)) {
            cursor.advance(end);
            cursor.mark();
            return trimmedText(bytes, end);
        }
        // The stream is left as by the copy below: past the byte that did not fit, marked at it.
        auto refuse = [&](uint32_t at) {
            cursor.advance(at);
            cursor.mark();
            cursor.advance(1);
            KvSipParseError::raise(kInvalid);
        };
        uint32_t length = 0;
        for (;;) {
            if (!quoted) {
                length += kParameterStops.spanOutside(bytes + length, available - length);
                if (length > kLimit)
                    refuse(kLimit);
            }
            if (length == available || (bytes[length] == ',' && !quoted))
                break;
            if (length >= kLimit)
                refuse(length);
            const char c = bytes[length++];
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && quoted && length < available) {
                ++length;
            }
        }
        cursor.advance(length);
        cursor.mark();
        return trimmedText(bytes, length);
    }
    uint32_t length = 0;
    for (;;) {
        cursor.mark();
        int c = cursor.read();
        if (c < 0 || (c == ',' && !quoted)) {
            if (c >= 0)
                cursor.reset();
            break;
        }
        if (length >= kLimit)
            KvSipParseError::raise(kInvalid);
        buffer[length++] = static_cast<char>(c);
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && quoted) {
            int escaped = cursor.read();
            if (escaped < 0)
                break;
            buffer[length++] = static_cast<char>(escaped);
        }
    }
    return trimmedText(buffer, length);
}

// True when the rest shown is one line of parameters that the list's parser reads as it reads
// the trimmed text: within the length bound, no comma (another Via or a quoted one), no blank at
// either end (the parser tests the last pair before trimming it).
bool isWholeParameterLine(const KvInputCursor& cursor) {
    uint32_t length = 0;
    const char* text = cursor.rest(length);
    if (!text || length < 3 || length > kParameterLimit || text[length - 2] != '\r' ||
        text[length - 1] != '\n')
        return false;
    return !isBlank(text[0]) && !isBlank(text[length - 3]) && !std::memchr(text, ',', length);
}

// A bracketed IPv6 reference, brackets included.
void readIPv6Reference(KvInputCursor& cursor, char (&buffer)[kTokenSize]) {
    uint32_t length = 0;
    for (;;) {
        int c = cursor.read();
        if (c < 0 || c == '\r' || c == '\n' || length + 1 >= kTokenSize)
            KvSipParseError::raise(kInvalid);
        buffer[length++] = static_cast<char>(c);
        if (c == ']')
            break;
    }
    buffer[length] = '\0';
}

uint32_t readPort(KvInputCursor& cursor) {
    skipBlanks(cursor);
    uint32_t value = 0;
    bool digits = false;
    for (;;) {
        cursor.mark();
        int c = cursor.read();
        if (c < '0' || c > '9') {
            cursor.reset();
            break;
        }
        digits = true;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 65535)
            KvSipParseError::raise(kInvalid);
    }
    if (!digits)
        KvException::sThrow("unsigned number expected");
    return value;
}

// Read as the C library reads a decimal number (optional sign, leading digits, 0 for none), then
// taken as unsigned: a negative ttl is refused with the large ones. Long digit runs saturate
// instead of overflowing.
bool isValidTtl(const char* text) {
    if (!text)
        return true;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 255)
            return false;
    }
    return !negative || value == 0;
}
} // namespace

KvSipViaHeader::KvSipViaHeader()
    : m_parameters(new KvParameters()), m_protocolName("SIP", 3), m_protocolVersion("2.0", 3),
      m_transport("UDP", 3), m_port(DEFAULT_PORT), m_portPresent(false) {}

KvSipViaHeader::KvSipViaHeader(const char* host, uint32_t port, const char* transport)
    : m_parameters(new KvParameters()), m_protocolName("SIP"), m_protocolVersion("2.0"),
      m_transport(transport), m_host(host), m_port(port), m_portPresent(true) {
    KvSipParseError::refuseLineEnd(host, *this);
    KvSipParseError::refuseLineEnd(transport, *this);
    m_transport.toUpperCase();
    check();
}

KvSipViaHeader::KvSipViaHeader(const KvSipViaHeader& other)
    : KvSipHeaderClass(other),
      m_parameters(other.m_parameters.isNull()
                       ? new KvParameters()
                       : static_cast<KvParameters*>(other.m_parameters->clone())),
      m_protocolName(other.m_protocolName), m_protocolVersion(other.m_protocolVersion),
      m_transport(other.m_transport), m_host(other.m_host), m_port(other.m_port),
      m_portPresent(other.m_portPresent), m_comment(other.m_comment) {}

void KvSipViaHeader::setBranch(const char* branch) {
    KvSipParseError::refuseLineEnd(branch, *this);
    if (m_parameters.isNull())
        m_parameters = new KvParameters();
    m_parameters->setParameter("branch", branch);
}

KvString KvSipViaHeader::getParameterValue(const char* name) const {
    return m_parameters.isNull() ? KvString() : m_parameters->getParameter(name);
}

void KvSipViaHeader::removeParameterValue(const char* name) {
    if (!m_parameters.isNull())
        m_parameters->removeParameter(name);
}

void KvSipViaHeader::doParse(KvInputStream& stream) {
    char buffer[kTokenSize];
    // The value is read through one cursor: from memory when the stream shows its bytes.
    KvInputCursor cursor(stream);
    uint32_t available = 0;
    if (!cursor.rest(available))
        KvStreamTokenizer::requireMarks(stream);

    // Nearly every Via opens with "SIP/2.0/": passed over at once.
    skipBlanks(cursor);
    const char* bytes = cursor.rest(available);
    constexpr std::string_view kSip20 = "SIP/2.0/";
    bool transportRead = false;
    if (bytes && available > kSip20.size() &&
        std::memcmp(bytes, kSip20.data(), kSip20.size()) == 0) {
        m_protocolName.setText("SIP", 3);
        m_protocolVersion.setText("2.0", 3);
        cursor.advance(static_cast<uint32_t>(kSip20.size()));
        // Then, as a rule, the transport in capitals ("UDP", "TCP", "TLS"): kept as it stands.
        const char* transport = bytes + kSip20.size();
        const uint32_t rest = available - static_cast<uint32_t>(kSip20.size());
        const uint32_t length = kSeparators.delimitersOrNul.spanOutside(transport, rest);
        if (length && length <= 8 && (length == rest || transport[length] != '\0') &&
            std::none_of(transport, transport + length,
                         [](char c) { return c >= 'a' && c <= 'z'; })) {
            m_transport.setText(transport, length);
            cursor.advance(length);
            transportRead = true;
        }
    } else {
        assign(m_protocolName, readToken(cursor, kSlash, buffer));
        cursor.read();
        assign(m_protocolVersion, readToken(cursor, kSlash, buffer));
        cursor.read();
    }
    if (!transportRead) {
        assign(m_transport, readToken(cursor, kSeparators, buffer));
        m_transport.toUpperCase();
    }

    if (skipBlanks(cursor) == '[') {
        readIPv6Reference(cursor, buffer);
        m_host = buffer;
    } else {
        assign(m_host, readToken(cursor, kSeparators, buffer));
    }

    for (;;) {
        int c = skipBlanks(cursor);
        if (c == ':') {
            cursor.read();
            m_port = readPort(cursor);
            m_portPresent = true;
        } else if (c == '(') {
            cursor.read();
            assign(m_comment, readToken(cursor, kCloseParenthesis, buffer, false));
            if (cursor.read() != ')')
                KvSipParseError::raise(kInvalid);
        } else if (c == ';') {
            cursor.read();
            if (m_parameters.isNull())
                m_parameters = new KvParameters();
            // The parameters run to the comma that starts the next Via, or to the line end.
            if (isWholeParameterLine(cursor) && KvErrorStream::sDefaultLevel() <= 6) {
                // Parsed where it lies, scanned once.
                cursor.release();
                m_parameters->parse(stream);
                break;
            }
            const std::string_view text = readParameterText(cursor, buffer);
            if (KvErrorStream::sDefaultLevel() > 6) {
                KvErrorLine(6).stream()
                    << "KvSipViaHeader::doParse aBuffer=" << std::string(text).c_str() << endl;
            }
            KvSipHeaderTextStream parameters(text.data(), static_cast<uint32_t>(text.size()));
            m_parameters->parse(parameters);
            break;
        } else {
            break;
        }
    }
    cursor.release();
    check();
}

void KvSipViaHeader::check() const {
    if (m_protocolName.isEmpty() || m_protocolVersion.isEmpty() || m_transport.isEmpty() ||
        m_host.isEmpty())
        KvSipParseError::raise(kInvalid);
    // A ttl is 0 to 255 and nothing else.
    // One lookup, without the lock: the list was just made or filled here. A ttl without a value
    // has no text and passes as an absent one does.
    if (!m_parameters.isNull() && !isValidTtl(m_parameters->getParsedParameterText("ttl")))
        KvSipParseError::raise(kInvalidTtl);
}

void KvSipViaHeader::serialize(KvOutputStream& stream) const {
    stream << m_protocolName << '/' << m_protocolVersion << '/' << m_transport << ' ' << m_host;
    if (m_portPresent)
        stream << ':' << m_port;
    if (!m_parameters.isNull() && m_parameters->getCount() != 0) {
        stream << ';';
        m_parameters->writeTo(stream);
    }
    if (!m_comment.isEmpty())
        stream << " (" << m_comment << ')';
}
