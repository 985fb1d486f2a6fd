#include "KvSipAllowHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <cstring>

namespace {
// A method that stands alone at the front of the bytes, as the token reader would take it. The
// methods peers list are shared strings: an Allow list costs no allocation per method.
const KvString* wellKnownMethod(const char* bytes, uint32_t available) {
    static const KvString methods[] = {"INVITE", "ACK",    "CANCEL",   "OPTIONS",   "BYE",
                                       "REFER",  "NOTIFY", "MESSAGE",  "SUBSCRIBE", "INFO",
                                       "PRACK",  "UPDATE", "REGISTER", "PUBLISH"};
    static const bool permanent = [] {
        for (const KvString& method : methods)
            method->setPermanent();
        return true;
    }();
    (void)permanent;
    for (const KvString& method : methods) {
        const uint32_t length = method.length();
        if (available >= length && bytes[0] == method.data()[0] &&
            std::memcmp(bytes, method.data(), length) == 0 &&
            (available == length ||
             kvSipTokenSeparatorClass.contains(static_cast<uint8_t>(bytes[length]))))
            return &method;
    }
    return nullptr;
}
} // namespace

KvSipAllowHeader::KvSipAllowHeader(const char* methods) : KvSipHeaderClass(methods) {}

void KvSipAllowHeader::doParse(KvInputStream& stream) {
    m_text = KvString();
    // RFC 3261 20.5: an empty Allow is legal.
    if (KvStreamTokenizer::skipWhitespace(stream) < 0)
        return;
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        if (const KvString* method = wellKnownMethod(bytes, available)) {
            stream.skip(method->length());
            m_text = *method;
            return;
        }
    }
    m_text = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    m_text.trim();
    if (m_text.isEmpty())
        KvSipParseError::raise("Empty method in Allow header");
}
