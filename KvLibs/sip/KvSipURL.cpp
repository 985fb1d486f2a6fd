#include "KvSipURL.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvMD5.h"
#include "KvOutputStream.h"
#include "KvParameters.h"
#include "KvSipHeaderTextStream.h"
#include "KvShortCopy.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {
struct SchemeRegistrar {
    SchemeRegistrar() { KvURI::registerScheme("sip", &KvSipURL::sCreate); }
} const kSchemeRegistrar;

const char* const kOverflow = "Invalid SIP URL - Buffer overflow";
const char* const kWrongFormat = "Sip URL wrong format";
const char* const kNulInHeader = "NUL in URL header";
const char* const kNoKeyValue = "Header doesn't have Key/Value pair\n";
// The bytes that the URL parser does more with than store.
constexpr KvCharClass kUrlSpecial{"\" \t\r<[]:@;,?>\n"};

bool isHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isLineSpace(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Behind a closing ">": blanks and line ends are passed over and a ";" that opens the header's
// own parameters is taken.
void skipAfterClosingBracket(KvInputCursor& cursor) {
    uint32_t available = 0;
    if (const char* rest = cursor.rest(available)) {
        uint32_t blanks = 0;
        while (blanks < available && isLineSpace(rest[blanks]))
            ++blanks;
        cursor.advance(blanks);
        cursor.mark();
        if (blanks < available && rest[blanks] == ';')
            cursor.advance(1);
        return;
    }
    for (;;) {
        cursor.mark();
        int c = cursor.read();
        if (isLineSpace(c))
            continue;
        if (c != ';')
            cursor.reset();
        return;
    }
}

// Whether only white space lies between a tab just read and the end of the URL's text: the line
// end, ">", or the "," or ";" that white space may surround in a header. Out of line: tabs are
// rare, and the URL loop is faster without this inside it.
[[gnu::noinline]] bool tabEndsURL(KvInputCursor& cursor) {
    cursor.mark();
    int c;
    do
        c = cursor.read();
    while (c == '\t' || c == ' ' || c == '\r');
    cursor.reset();
    return c < 0 || c == '\n' || c == '>' || c == ',' || c == ';';
}

// What the look-ahead for "@" stops at: in quotes, in brackets (or with parameters of its own),
// and in a bare URL.
constexpr KvCharClass kQuotedStops{"\n\""};
constexpr KvCharClass kAtStops{"\n\"@<>"};
constexpr KvCharClass kBareAtStops{"\n\"@<>,;?"};

// Whether an "@" outside quotes lies ahead within this URL, so that what comes first is a user.
// The search stops where the URL must end: at its closing ">" (or the "<" of a following
// address), and, for a bare URL in a header, at the first "," ";" or "?", which such a URL cannot
// hold in its user part.
bool lookAheadForAt(KvInputCursor& cursor, bool ownParameters) {
    cursor.mark();
    bool found = false;
    bool inQuotes = false;
    bool bracketed = false;
    bool leading = true;
    for (;;) {
        // Bytes that change nothing are passed over in one scan when the cursor shows them.
        if (inQuotes)
            cursor.skipRun(kQuotedStops);
        else if (!leading)
            cursor.skipRun(!bracketed && !ownParameters ? kBareAtStops : kAtStops);
        int c = cursor.read();
        if (c < 0 || c == '\n')
            break;
        if (leading) {
            if (c == ' ' || c == '\t' || c == '\r')
                continue;
            leading = false;
            if (c == '<') {
                bracketed = true;
                continue;
            }
        }
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (inQuotes)
            continue;
        if (c == '@') {
            found = true;
            break;
        }
        if (c == '>' || c == '<')
            break;
        if (!bracketed && !ownParameters && (c == ',' || c == ';' || c == '?'))
            break;
    }
    cursor.reset();
    return found;
}

// The same search over bytes in memory, from a point inside the URL outside quotes and past its
// leading "<": the URL parser asks only when the answer matters, mostly never.
bool atSignWithin(const char* bytes, uint32_t length, bool bare) {
    const KvCharClass& stops = bare ? kBareAtStops : kAtStops;
    bool inQuotes = false;
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t c = static_cast<uint8_t>(bytes[i]);
        if (!(inQuotes ? kQuotedStops : stops).contains(c))
            continue;
        if (c == '"')
            inQuotes = !inQuotes;
        else
            return c == '@';
    }
    return false;
}

// A port must be all digits and fit a port number.
int32_t convertPort(const char* text, uint32_t length) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text, text + length, value);
    if (error != std::errc() || end != text + length || value > 65535)
        KvSipParseError::raise(kWrongFormat);
    return static_cast<int32_t>(value);
}

// Characters written as they are in a URL header name or value; every other one is escaped.
bool isHeaderUnreserved(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c != 0 && std::strchr("-_.!~*'()$", c) != nullptr;
}

// An entry without a raw "=" comes from a writer that escapes the delimiters too
// ("?h%3Dv%3Bk%3Dw"): the text it decodes to holds them.
void storeDecodedEntries(KvParameters& headers, std::string_view text) {
    for (;;) {
        const size_t end = std::min(text.find(';'), text.size());
        const std::string_view entry = text.substr(0, end);
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals == 0 || equals + 1 == entry.size())
            KvException::sThrow(kNoKeyValue);
        headers.storeParameter(std::string(entry.substr(0, equals)).c_str(),
                               std::string(entry.substr(equals + 1)).c_str());
        if (end == text.size())
            return;
        text.remove_prefix(end + 1);
    }
}

void appendEscaped(std::string& out, const char* text) {
    static const char kHex[] = "0123456789abcdef";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p) {
        if (isHeaderUnreserved(*p)) {
            out += static_cast<char>(*p);
        } else {
            out += '%';
            out += kHex[*p >> 4];
            out += kHex[*p & 0x0F];
        }
    }
}
} // namespace

KvSipURL::KvSipURL() : KvURI(sSipScheme(), true), m_port(DEFAULT_PORT), m_portPresent(false) {}

KvSipURL::KvSipURL(const char* text) : KvSipURL() {
    m_ownParameters = true;
    KvSipParseError::refuseInnerLineEnd(text, *this);
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    parse(stream);
}

KvSipURL::KvSipURL(const KvSipURL& other)
    : KvURI(other), m_parts(other.m_parts), m_userLength(other.m_userLength),
      m_passwordLength(other.m_passwordLength), m_hostLength(other.m_hostLength),
      m_port(other.m_port), m_portPresent(other.m_portPresent) {
    m_isSipURL = true;
    if (countOf(other.m_parameters))
        m_parameters = static_cast<KvParameters*>(other.m_parameters.getShared()->clone());
    if (countOf(other.m_headers))
        m_headers = static_cast<KvParameters*>(other.m_headers.getShared()->clone());
}

KvSipURL::~KvSipURL() = default;

KvObject* KvSipURL::clone() const {
    return new KvSipURL(*this);
}

KvURI* KvSipURL::sCreate() {
    return new KvSipURL();
}

KvParameters& KvSipURL::listOf(KvHandle<KvParameters>& list) {
    if (KvParameters* made = list.getShared())
        return *made;
    return *list.installShared(new KvParameters());
}

// A const URL makes its list too: the caller may fill the list it gets.
KvHandle<KvParameters> KvSipURL::listOf(const KvHandle<KvParameters>& list) {
    return KvHandle<KvParameters>(&listOf(const_cast<KvHandle<KvParameters>&>(list)));
}

uint32_t KvSipURL::countOf(const KvHandle<KvParameters>& list) {
    const KvParameters* made = list.getShared();
    return made ? made->getCount() : 0;
}

KvString KvSipURL::partString(uint32_t offset, uint32_t length) const {
    return length ? KvString(KvStringBuffer::create(m_parts.data() + offset, length)) : KvString();
}

bool KvSipURL::hasParameters() const {
    return countOf(m_parameters) != 0;
}

bool KvSipURL::hasHeaders() const {
    return countOf(m_headers) != 0;
}

uint32_t KvSipURL::getParameterCount() const {
    return countOf(m_parameters);
}

bool KvSipURL::hasNoHeaders() const {
    return countOf(m_headers) == 0;
}

int32_t KvSipURL::getTransport() const {
    return countOf(m_parameters) &&
                   m_parameters.getShared()->getParameter("transport").equalsIgnoreCase("tcp")
               ? 1
               : 0;
}

KvString KvSipURL::getMaddr() const {
    return countOf(m_parameters) ? m_parameters.getShared()->getParameter("maddr") : KvString();
}

void KvSipURL::removeParameter(const char* name) {
    if (countOf(m_parameters))
        m_parameters.getShared()->removeParameter(name);
}

uint32_t KvSipURL::writeHead(char* head, uint32_t room) const {
    char port[16];
    const uint32_t portLength =
        m_portPresent
            ? static_cast<uint32_t>(std::to_chars(port, port + sizeof port, m_port).ptr - port)
            : 0;
    const bool user = m_userLength != 0;
    const bool password = user && m_passwordLength != 0;
    const uint32_t length = 4 + (user ? m_userLength + 1u : 0u) +
                            (password ? m_passwordLength + 1u : 0u) + m_hostLength +
                            (m_portPresent ? portLength + 1 : 0);
    if (length > room)
        return length;
    char* end = head;
    auto put = [&end](const char* text, uint32_t count) {
        if (count)
            std::memcpy(end, text, count);
        end += count;
    };
    put("sip:", 4);
    if (user) {
        put(this->user(), m_userLength);
        if (password) {
            put(":", 1);
            put(this->password(), m_passwordLength);
        }
        put("@", 1);
    }
    put(host(), m_hostLength);
    if (m_portPresent) {
        put(":", 1);
        put(port, portLength);
    }
    return length;
}

KvString KvSipURL::serialize() const {
    // The scheme, user, password, host and port are put together on the stack and copied once into
    // the string returned, which has room for the usual parameters behind them.
    char local[256];
    uint32_t length = writeHead(local, sizeof local);
    std::unique_ptr<char[]> large(length > sizeof local ? new char[length] : nullptr);
    if (large)
        writeHead(large.get(), length);
    KvString text(KvStringBuffer::create(large ? large.get() : local, length,
                                         std::max<uint32_t>(80, length + 32)));
    if (countOf(m_parameters) != 0) {
        text += ";";
        text += m_parameters.getShared()->serialize();
    }
    if (countOf(m_headers) != 0) {
        // Names and values are escaped, so the raw "=" and "&" between them read back as
        // delimiters and nothing inside a value does.
        std::string headers;
        char separator = '?';
        m_headers.getShared()->forEach([&](const char* key, const char* value) {
            if (!key || !*key)
                return;
            headers += separator;
            appendEscaped(headers, key);
            headers += '=';
            appendEscaped(headers, value);
            separator = '&';
        });
        text += headers.c_str();
    }
    return text;
}

void KvSipURL::write(KvOutputStream& stream) const {
    char local[256];
    const uint32_t length = writeHead(local, sizeof local);
    if (length > sizeof local || countOf(m_headers) != 0) {
        const KvString text = serialize();
        stream.write(text.data(), text.length(), 0);
        return;
    }
    // The usual URL goes out without a string of its own: written on every write-back.
    stream.write(local, length, 0);
    if (countOf(m_parameters) != 0) {
        stream.write(";", 1, 0);
        m_parameters.getShared()->writeTo(stream);
    }
}

bool KvSipURL::writesDelimiter() const {
    if (countOf(m_parameters) != 0)
        return true; // the ";" in front of them
    if (countOf(m_headers) != 0) {
        const KvString text = serialize();
        return std::strpbrk(text.data(), ";,?") != nullptr;
    }
    auto holds = [](const char* part, uint32_t length) {
        for (uint32_t i = 0; i < length; ++i) {
            const char c = part[i];
            if (c == ';' || c == ',' || c == '?')
                return true;
        }
        return false;
    };
    return holds(user(), m_userLength) || (m_userLength && holds(password(), m_passwordLength)) ||
           holds(host(), m_hostLength);
}

void KvSipURL::parse(KvInputStream& stream) {
    KvInputCursor cursor(stream);
    parse(cursor, stream);
}

void KvSipURL::parse(KvInputCursor& cursor, KvInputStream& stream) {
    enum class State { None, Colon, At, Semicolon };

    // A URL read again keeps nothing of its old text.
    m_port = DEFAULT_PORT;
    m_portPresent = false;
    if (countOf(m_parameters))
        m_parameters.getShared()->removeAll();
    if (countOf(m_headers))
        m_headers.getShared()->removeAll();

    char buffer[BUFFER_SIZE + 1];
    uint32_t index = 0;
    uint32_t segmentStart = 0;
    State state = State::None;
    // Whether a user lies ahead: known at once for a stream read byte by byte, else found out
    // when first needed.
    enum class Ahead { Unknown, No, Yes };
    uint32_t shown = 0;
    Ahead ahead = cursor.rest(shown)                        ? Ahead::Unknown
                  : lookAheadForAt(cursor, m_ownParameters) ? Ahead::Yes
                                                            : Ahead::No;
    bool leadingBracket = false;
    // c was just read outside quotes and is no "@", "<" or ">".
    auto atSignAhead = [&](int c) {
        if (ahead == Ahead::Unknown) {
            const bool bare = !leadingBracket && !m_ownParameters;
            uint32_t length = 0;
            const char* rest = cursor.rest(length);
            ahead =
                !(bare && (c == ',' || c == ';' || c == '?')) && atSignWithin(rest, length, bare)
                    ? Ahead::Yes
                    : Ahead::No;
        }
        return ahead == Ahead::Yes;
    };
    bool inQuotes = false;
    bool bracketed = false;
    bool hostSet = false;
    bool userTaken = false;
    bool inIPv6Reference = false;

    auto append = [&](int c) {
        if (index >= BUFFER_SIZE)
            KvSipParseError::raise(kOverflow);
        buffer[index++] = static_cast<char>(c);
    };
    // Where user, password and host lie in the buffer, stored together once the URL is read.
    struct Span {
        uint32_t start = 0;
        uint32_t length = 0;
    } user, password, host;
    bool partsStored = false;
    auto takeSegment = [&](Span& span) {
        span = {segmentStart, index - segmentStart};
        segmentStart = index;
        partsStored = false;
    };
    auto takeHost = [&]() {
        takeSegment(host);
        hostSet = true;
    };
    auto takePort = [&]() {
        if (index > segmentStart) {
            m_port = convertPort(buffer + segmentStart, index - segmentStart);
            m_portPresent = true;
        }
        segmentStart = index;
    };
    auto finishSegment = [&]() {
        switch (state) {
        case State::Colon:
            if (!hostSet)
                takeHost();
            else
                takePort();
            break;
        case State::Semicolon:
            if (index > segmentStart) {
                KvSipHeaderTextStream parameters(buffer + segmentStart, index - segmentStart);
                listOf(m_parameters).parse(parameters);
            }
            segmentStart = index;
            break;
        case State::At:
            takeHost();
            break;
        case State::None:
            break;
        }
    };
    auto storeParts = [&]() {
        if (partsStored)
            return;
        partsStored = true;
        const uint32_t length = user.length + password.length + host.length;
        const uint32_t start = user.length       ? user.start
                               : password.length ? password.start
                                                 : host.start;
        if ((!user.length ||
             user.start + user.length == (password.length ? password.start : host.start)) &&
            (!password.length || password.start + password.length == host.start || !host.length)) {
            // The usual order: the parts lie together in the buffer already.
            m_parts.setText(buffer + start, length);
        } else {
            char joined[BUFFER_SIZE];
            uint32_t at = 0;
            for (const Span* span : {&user, &password, &host}) {
                if (span->length)
                    std::memcpy(joined + at, buffer + span->start, span->length);
                at += span->length;
            }
            m_parts.setText(joined, length);
        }
        m_userLength = static_cast<uint16_t>(user.length);
        m_passwordLength = static_cast<uint16_t>(password.length);
        m_hostLength = static_cast<uint16_t>(host.length);
    };
    auto requireHost = [&]() {
        storeParts();
        if (m_hostLength == 0)
            KvSipParseError::raise(kWrongFormat);
    };

    for (;;) {
        // A run of bytes that are only stored, shown in memory, goes over in one copy. What
        // follows it is read at once: a byte the run stopped at, the end, or one without room.
        if (!inQuotes) {
            uint32_t available = 0;
            if (const char* rest = cursor.rest(available)) {
                const uint32_t run = kUrlSpecial.spanOutside(
                    rest, std::min<uint32_t>(available, BUFFER_SIZE - index));
                // Mostly a user or host name: shorter than a call to memcpy costs.
                if (run - 1 < 32)
                    KvShortCopy::copy(buffer + index, rest, run);
                else if (run)
                    std::memcpy(buffer + index, rest, run);
                cursor.advance(run);
                index += run;
            }
        }
        cursor.mark();
        int c = cursor.read();
        // Up to the "@" behind user and password (no host is taken before it), "," "?" and ";"
        // belong to them.
        auto userPending = [&]() { return !hostSet && state != State::At && atSignAhead(c); };

        if (inQuotes) {
            if (c < 0 || c == '\n') {
                // A quote left open ends with the line, whose CR is not part of the URL: kept,
                // it would be written back inside the line.
                if (index > segmentStart && buffer[index - 1] == '\r')
                    --index;
                finishSegment();
                requireHost();
                return;
            }
            append(c);
            if (c == '"')
                inQuotes = false;
            continue;
        }

        switch (c) {
        case '"':
            inQuotes = true;
            append(c);
            break;
        case ' ':
        case '\r':
            break;
        case '\t':
            // A character of the URL inside it; white space in front of it, and in front of what
            // ends it or separates its header parameters.
            if (index != 0 && !tabEndsURL(cursor))
                append(c);
            break;
        case '<':
            // Only a "<" in front of everything opens the URL; any other ends the search for a
            // user.
            if (ahead == Ahead::Unknown) {
                if (index == 0 && state == State::None && !leadingBracket)
                    leadingBracket = true;
                else
                    ahead = Ahead::No;
            }
            bracketed = true;
            break;
        case '[':
            if (!hostSet && (state == State::At || (state == State::Colon && !atSignAhead(c))))
                inIPv6Reference = true;
            append(c);
            break;
        case ']':
            inIPv6Reference = false;
            append(c);
            break;
        case ':':
            if (inIPv6Reference) {
                append(c);
            } else if (state == State::None) {
                const uint32_t length = index - segmentStart;
                const char* scheme = m_scheme.data();
                if (!(length == 3 && m_scheme.length() == 3 && scheme[0] == buffer[segmentStart] &&
                      scheme[1] == buffer[segmentStart + 1] &&
                      scheme[2] == buffer[segmentStart + 2]))
                    m_scheme = sSchemeText(buffer + segmentStart, index - segmentStart);
                const char* written = buffer + segmentStart;
                segmentStart = index;
                if (!(length == 3 && (written[0] | 0x20) == 's' && (written[1] | 0x20) == 'i' &&
                      (written[2] | 0x20) == 'p'))
                    KvSipParseError::raise("Scheme is not SIP");
                state = State::Colon;
            } else if (state == State::Colon) {
                if (!atSignAhead(c)) {
                    // host:port is followed by nothing but parameters or headers
                    if (hostSet)
                        KvSipParseError::raise(kWrongFormat);
                    takeHost();
                } else if (!userTaken) {
                    takeSegment(user);
                    userTaken = true;
                } else
                    append(c);
            } else if (state == State::At) {
                takeHost();
                state = State::Colon;
            } else {
                append(c);
            }
            break;
        case '@':
            if (ahead == Ahead::Unknown)
                ahead = Ahead::Yes;
            if (state == State::Colon) {
                if (!userTaken) {
                    takeSegment(user);
                    userTaken = true;
                } else {
                    takeSegment(password);
                }
                state = State::At;
            } else if (state == State::Semicolon) {
                append(c);
            } else if (state == State::At) {
                KvSipParseError::raise(kWrongFormat);
            }
            break;
        case ';':
            if (userPending()) {
                append(c);
            } else if (state == State::Colon || state == State::At) {
                if (state == State::At || !hostSet)
                    takeHost();
                else
                    takePort();
                state = State::Semicolon;
                requireHost();
                if (!bracketed && !m_ownParameters)
                    return;
            } else if (bracketed || m_ownParameters) {
                append(c);
            } else {
                KvSipParseError::raise("Illegal URL construct");
            }
            break;
        case ',':
            if (userPending()) {
                append(c);
                break;
            }
            cursor.reset();
            finishSegment();
            requireHost();
            return;
        case '?':
            if (userPending()) {
                append(c);
                break;
            }
            finishSegment();
            storeParts();
            cursor.release();
            parseHeaders(stream, bracketed);
            requireHost();
            return;
        case '>':
            skipAfterClosingBracket(cursor);
            [[fallthrough]];
        case '\n':
        case -1:
            finishSegment();
            requireHost();
            return;
        default:
            append(c);
            break;
        }
    }
}

void KvSipURL::parseHeaders(KvInputStream& stream, bool bracketed) {
    char buffer[BUFFER_SIZE + 1];
    uint32_t index = 0;
    uint32_t entryStart = 0;
    uint32_t valueStart = 0;
    bool keyEnded = false;
    bool inQuotes = false;

    auto append = [&](int c) {
        if (index >= BUFFER_SIZE)
            KvSipParseError::raise(kOverflow);
        buffer[index++] = static_cast<char>(c);
    };
    auto storeEntry = [&]() {
        if (!keyEnded) {
            storeDecodedEntries(listOf(m_headers),
                                std::string_view(buffer + entryStart, index - entryStart));
            index = entryStart;
            return;
        }
        if (valueStart - 1 == entryStart || index == valueStart)
            KvException::sThrow(kNoKeyValue);
        buffer[valueStart - 1] = '\0';
        buffer[index] = '\0';
        listOf(m_headers).storeParameter(buffer + entryStart, buffer + valueStart);
        index = entryStart;
        keyEnded = false;
    };

    // Delimiters are recognised before escapes are decoded: an escaped "=", "&" or ";" is data.
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c == '%') {
            stream.mark(2);
            const char pair[3] = {static_cast<char>(stream.read()),
                                  static_cast<char>(stream.read()), '\0'};
            if (isHexDigit(static_cast<unsigned char>(pair[0])) &&
                isHexDigit(static_cast<unsigned char>(pair[1]))) {
                // Values are C texts further on: a NUL would silently cut one short.
                const uint8_t byte = hexPairToByte(pair);
                if (byte == 0)
                    KvSipParseError::raise(kNulInHeader);
                append(byte);
                continue;
            }
            stream.reset();
            append('%');
            continue;
        }
        if (c < 0)
            break;
        if (c == 0)
            KvSipParseError::raise(kNulInHeader);
        if (c == '\n') {
            stream.mark(1);
            int next = stream.read();
            if (next == ' ' || next == '\t')
                continue;
            stream.reset();
            break;
        }
        if (c == '\r')
            continue;
        if (inQuotes) {
            append(c);
            if (c == '"')
                inQuotes = false;
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            append(c);
        } else if (c == ' ' || c == '\t') {
            // blanks outside quotes are not part of a URL
        } else if (c == '=' && !keyEnded) {
            append('\0');
            keyEnded = true;
            valueStart = index;
        } else if (c == '&' || c == ';') {
            storeEntry();
        } else if (c == '>') {
            KvInputCursor cursor(stream);
            skipAfterClosingBracket(cursor);
            break;
        } else if (c == ',' && !bracketed) {
            stream.reset();
            break;
        } else {
            append(c);
        }
    }
    storeEntry();
}
