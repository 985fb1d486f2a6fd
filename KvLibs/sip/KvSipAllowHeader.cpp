#include "KvSipAllowHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <algorithm>
#include <iterator>

namespace {
// A method that stands alone at the front of the bytes, as the token reader would take it. The
// methods peers list are shared strings: an Allow list costs no allocation per method.
const KvString* wellKnownMethod(const char* bytes, uint32_t available) {
    static const KvString methods[] = {"INVITE", "ACK",    "CANCEL",   "OPTIONS",   "BYE",
                                       "REFER",  "NOTIFY", "MESSAGE",  "SUBSCRIBE", "INFO",
                                       "PRACK",  "UPDATE", "REGISTER", "PUBLISH"};
    static const bool permanent = KvSipTextHeader::sMakePermanent(methods, std::size(methods));
    (void)permanent;
    // The token's length first (every method has 3 to 9 letters): another is none of them.
    constexpr uint32_t kLongest = 9;
    const uint32_t limit = std::min(available, kLongest + 1);
    uint32_t length = 0;
    while (length < limit &&
           !kvSipTokenSeparatorClass.contains(static_cast<uint8_t>(bytes[length])))
        ++length;
    if (length < 3 || length > kLongest)
        return nullptr;
    return KvSipTextHeader::sFindShared(methods, std::size(methods),
                                        std::string_view(bytes, length));
}
} // namespace

KvSipAllowHeader::KvSipAllowHeader(const char* methods) : KvSipHeaderClass(methods) {}

void KvSipAllowHeader::doParse(KvInputStream& stream) {
    m_text = KvString();
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        // The blanks skipped and the stream marked at the token, as the tokenizer leaves it, in
        // fewer calls to the stream.
        const uint32_t blanks = KvStreamTokenizer::whitespaceEnd(bytes, available);
        if (blanks)
            stream.skip(blanks);
        stream.mark(1);
        // RFC 3261 20.5: an empty Allow is legal.
        if (blanks == available)
            return;
        if (const KvString* method = wellKnownMethod(bytes + blanks, available - blanks)) {
            stream.skip(method->length());
            m_text = *method;
            return;
        }
    } else if (KvStreamTokenizer::skipWhitespace(stream) < 0) {
        return;
    }
    m_text = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    m_text.trim();
    if (m_text.isEmpty())
        KvSipParseError::raise("Empty method in Allow header");
}
