#include "KvSipAllowHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

#include <cstring>

namespace {
const KvString& longToken() {
    static const KvString token("Allow");
    return token;
}
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

KvSipAllowHeader::KvSipAllowHeader() : KvSipHeader(longToken()) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::KvSipAllowHeader(const char* methods)
    : KvSipHeader(longToken()), m_methods(methods) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::KvSipAllowHeader(const KvSipAllowHeader& other)
    : KvSipHeader(other), m_methods(other.m_methods) {
    setId(KV_HEADER_ALLOW);
}

KvSipAllowHeader::~KvSipAllowHeader() = default;

KvObject* KvSipAllowHeader::clone() const {
    return new KvSipAllowHeader(*this);
}

const KvString& KvSipAllowHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipAllowHeader::sCreate() {
    return new KvSipAllowHeader();
}

void KvSipAllowHeader::doParse(KvInputStream& stream) {
    m_methods = KvString();
    // RFC 3261 20.5: an empty Allow is legal.
    if (KvStreamTokenizer::skipWhitespace(stream) < 0)
        return;
    uint32_t available = 0;
    if (const char* bytes = stream.peek(available)) {
        if (const KvString* method = wellKnownMethod(bytes, available)) {
            stream.skip(method->length());
            m_methods = *method;
            return;
        }
    }
    m_methods = KvStringBuffer::readToken(nullptr, stream, kvSipTokenSeparatorClass);
    m_methods.trim();
    if (m_methods.isEmpty())
        KvSipParseError::raise("Empty method in Allow header");
}

void KvSipAllowHeader::serialize(KvOutputStream& stream) const {
    stream << m_methods;
}
