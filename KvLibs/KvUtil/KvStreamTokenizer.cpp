#include "KvStreamTokenizer.h"

#include "KvException.h"
#include "KvInputStream.h"

#include <cstring>

void KvStreamTokenizer::requireMarks(KvInputStream& stream) {
    if (!stream.markSupported())
        KvException::sThrow("Can only tokenize streams where mark supported");
}

int KvStreamTokenizer::skipWhitespace(KvInputStream& stream) {
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The same end state as below: at the first other byte, marked there.
        const uint32_t n = whitespaceEnd(bytes, available);
        if (n)
            stream.skip(n);
        stream.mark(1);
        return n < available ? static_cast<uint8_t>(bytes[n]) : -1;
    }
    requireMarks(stream);
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0 || !isWhitespace(c)) {
            stream.reset();
            return c;
        }
    }
}

uint32_t KvStreamTokenizer::lengthIn(const char* bytes, uint32_t available,
                                     const KvCharClass& delimiters) {
    return delimiters.spanOutside(bytes, available);
}

uint32_t KvStreamTokenizer::lengthIn(const char* bytes, uint32_t available,
                                     const char* delimiters) {
    if (delimiters[0] && (!delimiters[1] || !delimiters[2])) {
        // One or two delimiters (a line, a "/" or ":" separated part): the library's search.
        const void* end = std::memchr(bytes, delimiters[0], available);
        uint32_t n = end ? static_cast<uint32_t>(static_cast<const char*>(end) - bytes) : available;
        if (delimiters[1] && n) {
            if (const void* other = std::memchr(bytes, delimiters[1], n))
                n = static_cast<uint32_t>(static_cast<const char*>(other) - bytes);
        }
        return n;
    }
    return lengthIn(bytes, available, KvCharClass::of(delimiters));
}

uint32_t KvStreamTokenizer::tokenLength(KvInputStream& stream, const KvCharClass& delimiters) {
    skipWhitespace(stream);
    stream.mark(-1);
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available))
        return lengthIn(bytes, available, delimiters);
    uint32_t count = 0;
    for (;;) {
        int c = stream.read();
        if (c < 0 || delimiters.contains(c))
            break;
        ++count;
    }
    stream.reset();
    return count;
}

uint32_t KvStreamTokenizer::tokenLength(KvInputStream& stream, const char* delimiters) {
    skipWhitespace(stream);
    stream.mark(-1);
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available))
        return lengthIn(bytes, available, delimiters);
    uint32_t count = 0;
    for (;;) {
        int c = stream.read();
        if (c < 0 || isDelimiter(c, delimiters))
            break;
        ++count;
    }
    stream.reset();
    return count;
}

uint32_t KvStreamTokenizer::readUnsignedNumber(KvInputStream& stream) {
    skipWhitespace(stream);
    uint64_t value = 0;
    bool any = false;
    bool overflow = false;
    auto add = [&](int digit) {
        any = true;
        value = value * 10 + static_cast<uint32_t>(digit - '0');
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull; // keeps the product bounded while the digits are consumed
        }
    };
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The same end state as below: past the digits, marked there.
        uint32_t n = 0;
        for (; n < available && bytes[n] >= '0' && bytes[n] <= '9'; ++n)
            add(bytes[n]);
        if (n)
            stream.skip(n);
        stream.mark(1);
    } else {
        for (;;) {
            stream.mark(1);
            int c = stream.read();
            if (c < '0' || c > '9') {
                stream.reset();
                break;
            }
            add(c);
        }
    }
    // A value past 32 bits is refused rather than wrapped into a small, legal-looking number.
    if (!any || overflow)
        KvException::sThrow("unsigned number expected");
    return static_cast<uint32_t>(value);
}

double KvStreamTokenizer::readFloat(KvInputStream& stream) {
    skipWhitespace(stream);
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    bool any = false;
    bool inFraction = false;
    for (;;) {
        stream.mark(-1);
        int c = stream.read();
        if (c == '.') {
            if (inFraction)
                KvException::sThrow("floating-point value expected");
            inFraction = true;
            continue;
        }
        if (c < '0' || c > '9') {
            stream.reset();
            break;
        }
        any = true;
        if (inFraction) {
            scale /= 10;
            fraction += (c - '0') * scale;
        } else {
            whole = whole * 10 + (c - '0');
        }
    }
    if (!any)
        KvException::sThrow("floating-point value expected");
    return whole + fraction;
}

int32_t KvStreamTokenizer::readFully(KvInputStream& stream, void* buffer, int32_t count) {
    int32_t total = 0;
    while (total < count) {
        int32_t got = stream.read(buffer, count - total, total);
        if (got <= 0)
            break;
        total += got;
    }
    return total == 0 && count > 0 ? -1 : total;
}

void KvStreamTokenizer::skipLine(KvInputStream& stream) {
    for (;;) {
        int c = stream.read();
        if (c < 0 || c == '\n')
            return;
    }
}

bool KvStreamTokenizer::readTokenToBuffer(KvInputStream& stream, const char* delimiters,
                                          char* buffer, uint32_t size) {
    return readTokenToBufferOf(stream, delimiters, buffer, size);
}

bool KvStreamTokenizer::readTokenToBuffer(KvInputStream& stream, const KvCharClass& delimiters,
                                          char* buffer, uint32_t size) {
    return readTokenToBufferOf(stream, delimiters, buffer, size);
}

template <class Delimiters>
const char* KvStreamTokenizer::shownToken(KvInputStream& stream, const Delimiters& delimiters,
                                          uint32_t& length) {
    uint32_t available = 0;
    const char* bytes = stream.peek(available);
    if (!bytes)
        return nullptr;
    const uint32_t start = whitespaceEnd(bytes, available);
    length = lengthIn(bytes + start, available - start, delimiters);
    if (start)
        stream.skip(start);
    stream.mark(-1);
    return bytes + start;
}

template <class Delimiters>
bool KvStreamTokenizer::readTokenToBufferOf(KvInputStream& stream, const Delimiters& delimiters,
                                            char* buffer, uint32_t size) {
    uint32_t n = 0;
    if (const char* token = shownToken(stream, delimiters, n)) {
        // The same end state as below: past what was copied, marked at the token's start.
        const uint32_t copied = n < size ? n : size;
        if (copied) {
            std::memcpy(buffer, token, copied);
            stream.skip(copied);
        }
        if (n >= size)
            return false;
        buffer[n] = '\0';
        return true;
    }
    n = tokenLength(stream, delimiters);
    if (n < size) {
        int32_t got = n ? readFully(stream, buffer, static_cast<int32_t>(n)) : 0;
        buffer[got > 0 ? got : 0] = '\0';
        return true;
    }
    if (size)
        readFully(stream, buffer, static_cast<int32_t>(size));
    return false;
}

template <class Delimiters>
std::string_view KvStreamTokenizer::takeShownTokenOf(KvInputStream& stream,
                                                     const Delimiters& delimiters) {
    uint32_t n = 0;
    const char* token = shownToken(stream, delimiters, n);
    if (!token)
        return std::string_view();
    if (n)
        stream.skip(n);
    return std::string_view(token, n);
}

std::string_view KvStreamTokenizer::takeShownToken(KvInputStream& stream, const char* delimiters) {
    return takeShownTokenOf(stream, delimiters);
}

std::string_view KvStreamTokenizer::takeShownToken(KvInputStream& stream,
                                                   const KvCharClass& delimiters) {
    return takeShownTokenOf(stream, delimiters);
}

std::string_view KvStreamTokenizer::takeToken(KvInputStream& stream, const KvCharClass& delimiters,
                                              char* buffer, uint32_t size) {
    const std::string_view shown = takeShownTokenOf(stream, delimiters);
    if (shown.data())
        return shown;
    uint32_t n = tokenLength(stream, delimiters);
    if (n >= size)
        return std::string_view();
    const int32_t got = n ? readFully(stream, buffer, static_cast<int32_t>(n)) : 0;
    const uint32_t length = got > 0 ? static_cast<uint32_t>(got) : 0;
    buffer[length] = '\0';
    return std::string_view(buffer, length);
}

std::string_view KvStreamTokenizer::takeToken(KvInputStream& stream, const KvCharClass& delimiters,
                                              char* buffer, uint32_t size, KvString& longer) {
    const std::string_view token = takeToken(stream, delimiters, buffer, size);
    if (token.data())
        return token;
    longer = KvStringBuffer::readToken(nullptr, stream, delimiters);
    return std::string_view(longer.data(), longer.length());
}

void KvStreamTokenizer::readLineEnd(KvInputStream& stream) {
    int c = stream.read();
    if (c == '\r') {
        if (stream.read() != '\n')
            KvException::sThrow("carriage return without newline");
    }
}

bool KvStreamTokenizer::readLineToBuffer(KvInputStream& stream, char* buffer, uint32_t size) {
    if (!readTokenToBuffer(stream, "\r\n", buffer, size))
        return false;
    readLineEnd(stream);
    return true;
}

KvString KvStreamTokenizer::readLine(KvInputStream& stream) {
    KvString line(KvStringBuffer::readToken(nullptr, stream, "\r\n"));
    readLineEnd(stream);
    return line;
}

bool KvStreamTokenizer::isAtLineEnd(KvInputStream& stream) {
    requireMarks(stream);
    stream.mark(-1);
    bool result = false;
    for (;;) {
        int c = stream.read();
        if (c == '\t' || c == '\r' || c == ' ')
            continue;
        result = (c == '\n');
        break;
    }
    stream.reset();
    return result;
}

bool KvStreamTokenizer::peekToken(KvInputStream& stream, const char* delimiters, char* buffer,
                                  uint32_t size) {
    requireMarks(stream);
    stream.mark(-1);
    int c = stream.read();
    while (c >= 0 && isWhitespace(c))
        c = stream.read();
    uint32_t n = 0;
    bool ended = false;
    for (;;) {
        if (c < 0)
            break;
        if (isDelimiter(c, delimiters)) {
            ended = true;
            break;
        }
        if (n >= size)
            break;
        buffer[n++] = static_cast<char>(c);
        c = stream.read();
    }
    stream.reset();
    if (ended && n < size) {
        buffer[n] = '\0';
        return true;
    }
    return false;
}

KvString KvStreamTokenizer::readQuotedString(KvInputStream& stream) {
    skipWhitespace(stream);
    stream.mark(-1);
    if (stream.read() != '"')
        KvException::sThrow("quote ( \" ) expected");
    uint32_t count = 1;
    for (;;) {
        int c = stream.read();
        if (c < 0)
            KvException::sThrow("quote ( \" ) expected");
        ++count;
        if (c == '\\') {
            if (stream.read() < 0)
                KvException::sThrow("quote ( \" ) expected");
            ++count;
        } else if (c == '"') {
            break;
        }
    }
    stream.reset();
    return KvString(KvStringBuffer::readBytes(nullptr, stream, count));
}
