#include "KvSipUserAgentHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvStreamTokenizer.h"

#include <string>

namespace {
// Reads up to the first stop character outside a comment, or to the line end. Comments nest and
// a backslash inside one takes the next character with it (RFC 3261 25.1).
KvString readText(KvInputStream& stream, const char* stops) {
    KvStreamTokenizer::skipWhitespace(stream);
    std::string text;
    int depth = 0;
    for (;;) {
        stream.mark(1);
        int c = stream.read();
        if (c < 0 || c == '\r' || c == '\n' ||
            (depth == 0 && KvStreamTokenizer::isDelimiter(c, stops))) {
            stream.reset();
            break;
        }
        text += static_cast<char>(c);
        if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == '\\' && depth > 0) {
            stream.mark(1);
            int escaped = stream.read();
            if (escaped < 0 || escaped == '\r' || escaped == '\n') {
                stream.reset();
                break;
            }
            text += static_cast<char>(escaped);
        }
    }
    return KvString(text.empty()
                        ? nullptr
                        : KvStringBuffer::create(text.data(), static_cast<uint32_t>(text.size())));
}
} // namespace

KvSipUserAgentHeader::KvSipUserAgentHeader(const char* product, const char* version)
    : m_product(product), m_version(version) {}

void KvSipUserAgentHeader::doParse(KvInputStream& stream) {
    m_product = readText(stream, "/,");
    m_version = KvString();
    stream.mark(1);
    int c;
    do {
        c = stream.read();
    } while (c == ' ' || c == '\t');
    if (c == '/')
        m_version = readText(stream, ",");
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
