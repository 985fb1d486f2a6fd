#include "KvSipUserAgentHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <string>

namespace {
constexpr KvCharClass kProductStops{"/,"};
constexpr KvCharClass kVersionStops{","};

// The bytes a stream shows, read by index: the text is the bytes passed over.
struct WindowText {
    const char* bytes;
    uint32_t available;
    uint32_t length = 0;
    int read() { return length < available ? static_cast<uint8_t>(bytes[length++]) : -1; }
    void unread(int c) { length -= c >= 0 ? 1 : 0; }
    void keep(char) {}
};

// Any other stream, byte by byte with a mark before each byte.
struct StreamText {
    KvInputStream& stream;
    std::string text;
    int read() {
        stream.mark(1);
        return stream.read();
    }
    void unread(int) { stream.reset(); }
    void keep(char c) { text += c; }
};

// Reads up to the first stop character outside a comment, or to the line end. Comments nest and
// a backslash inside one takes the next character with it (RFC 3261 25.1).
template <class Source> void scanText(Source& source, const KvCharClass& stops) {
    int depth = 0;
    for (;;) {
        const int c = source.read();
        if (c < 0 || c == '\r' || c == '\n' || (depth == 0 && stops.contains(c))) {
            source.unread(c);
            return;
        }
        source.keep(static_cast<char>(c));
        if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == '\\' && depth > 0) {
            const int escaped = source.read();
            if (escaped < 0 || escaped == '\r' || escaped == '\n') {
                source.unread(escaped);
                return;
            }
            source.keep(static_cast<char>(escaped));
        }
    }
}

KvString textOf(const char* text, size_t length) {
    return KvString(length ? KvStringBuffer::create(text, static_cast<uint32_t>(length)) : nullptr);
}

// The stream is left at the stop and marked there.
KvString readText(KvInputStream& stream, const KvCharClass& stops) {
    KvStreamTokenizer::skipWhitespace(stream);
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        WindowText window{bytes, available};
        scanText(window, stops);
        if (window.length)
            stream.skip(window.length);
        stream.mark(1);
        return textOf(bytes, window.length);
    }
    StreamText source{stream, {}};
    scanText(source, stops);
    return textOf(source.text.data(), source.text.size());
}
} // namespace

KvSipUserAgentHeader::KvSipUserAgentHeader(const char* product, const char* version)
    : m_product(product), m_version(version) {
    KvSipParseError::refuseLineEnd(product, *this);
    KvSipParseError::refuseLineEnd(version, *this);
}

void KvSipUserAgentHeader::doParse(KvInputStream& stream) {
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // Product, "/" and version in one pass over the bytes; the stream is moved once, and left
        // as the reads below leave it: at the stop, marked there.
        uint32_t at = KvStreamTokenizer::whitespaceEnd(bytes, available);
        WindowText product{bytes + at, available - at};
        scanText(product, kProductStops);
        m_product = textOf(product.bytes, product.length);
        m_version = KvString();
        at += product.length;
        uint32_t slash = at;
        while (slash < available && (bytes[slash] == ' ' || bytes[slash] == '\t'))
            ++slash;
        if (slash < available && bytes[slash] == '/') {
            at = slash + 1;
            at = KvStreamTokenizer::whitespaceEnd(bytes, available, at);
            WindowText version{bytes + at, available - at};
            scanText(version, kVersionStops);
            m_version = textOf(version.bytes, version.length);
            at += version.length;
        }
        stream.skip(at);
        stream.mark(1);
        return;
    }
    m_product = readText(stream, kProductStops);
    m_version = KvString();
    stream.mark(1);
    int c;
    do {
        c = stream.read();
    } while (c == ' ' || c == '\t');
    if (c == '/')
        m_version = readText(stream, kVersionStops);
    else
        stream.reset();
}

void KvSipUserAgentHeader::serialize(KvOutputStream& stream) const {
    stream << m_product;
    if (!m_version.isEmpty())
        stream << '/' << m_version;
    if (!m_comment.isEmpty())
        stream << " (" << m_comment << ')';
}
