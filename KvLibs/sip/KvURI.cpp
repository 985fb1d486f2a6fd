#include "KvURI.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"
#include "KvTelURL.h"
#include "KvURISchemeRegistry.h"

#include <cctype>
#include <cstring>

namespace {
bool equalsIgnoreCase3(const char* letters, const char* word) {
    for (int i = 0; i < 3; ++i) {
        char c = letters[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

// RFC 3261 25.1: a scheme starts with a letter. An empty one makes no URI: written back, the
// text after its colon would read as something else.
bool isScheme(const KvString& scheme) {
    return scheme.data() && std::isalpha(static_cast<unsigned char>(scheme.data()[0]));
}
} // namespace

KvURI::KvURI(const char* scheme)
    : m_isSipURL(false), m_ownParameters(false),
      m_scheme(sSchemeText(scheme, scheme ? static_cast<uint32_t>(std::strlen(scheme)) : 0)) {
    KvSipParseError::refuseLineEnd(scheme, *this);
}

KvURI::KvURI(const KvString& scheme, bool isSipURL)
    : m_isSipURL(isSipURL), m_ownParameters(false), m_scheme(scheme) {}

const KvString& KvURI::sSipScheme() {
    static const KvString sip = [] {
        KvString text("sip");
        text->setPermanent();
        return text;
    }();
    return sip;
}

KvString KvURI::sSchemeText(const char* text, uint32_t length) {
    static const KvString tel = [] {
        KvString text("tel");
        text->setPermanent();
        return text;
    }();
    if (!text || length == 0)
        return KvString();
    if (length == 3 && std::memcmp(text, "sip", 3) == 0)
        return sSipScheme();
    if (length == 3 && std::memcmp(text, "tel", 3) == 0)
        return tel;
    return KvString(KvStringBuffer::create(text, length));
}

KvURI::KvURI(const KvURI& other)
    : KvObject(other), m_isSipURL(false), m_ownParameters(other.m_ownParameters),
      m_body(other.m_body), m_scheme(other.m_scheme) {}

KvURI::~KvURI() = default;

KvObject* KvURI::clone() const {
    return new KvURI(*this);
}

void KvURI::setScheme(const char* scheme) {
    KvSipParseError::refuseLineEnd(scheme, *this);
    const uint32_t length = scheme ? static_cast<uint32_t>(std::strlen(scheme)) : 0;
    if (length && m_scheme.length() == length && std::memcmp(m_scheme.data(), scheme, length) == 0)
        return; // already that text
    m_scheme = sSchemeText(scheme, length);
}

void KvURI::setBody(const char* body) {
    KvSipParseError::refuseLineEnd(body, *this);
    m_body = KvString(body);
}

KvString KvURI::serialize() const {
    KvString text(KvStringBuffer::create(nullptr, 0, m_scheme.length() + m_body.length() + 2));
    text += m_scheme;
    text += ":";
    text += m_body;
    return text;
}

void KvURI::parse(KvInputStream& stream) {
    // The "<" may stand behind blanks, as on the request line: found there, it is no part of the
    // scheme, whose first letter is checked below.
    int c;
    do {
        stream.mark(1);
        c = stream.read();
    } while (c == ' ' || c == '\t');
    const bool bracketed = c == '<';
    if (!bracketed)
        stream.reset();

    m_scheme = KvStringBuffer::readToken(nullptr, stream, ":");
    m_scheme.trim();
    if (stream.read() < 0 || !isScheme(m_scheme))
        KvException::sThrow("INVALID URI");

    // A bare URI in a header list ends at the comma that starts the next element.
    m_body = KvStringBuffer::readToken(nullptr, stream, bracketed ? ">\r\n" : ">\r\n,");
    m_body.trim();

    stream.mark(1);
    if (stream.read() != '>')
        stream.reset();
}

namespace {
// The first three letters of a scheme. Blanks, and a "<" with the blanks behind it, come before
// the scheme: "< sip:x >" is a sip URL, as its own parser reads it.
struct SchemeStart {
    char letters[3] = {0, 0, 0};
    int count = 0;
    void take(int c) {
        if (c == ' ' || c == '\t' || (c == '<' && count == 0))
            return;
        letters[count++] = static_cast<char>(c);
    }
    bool is(const char* word) const { return count == 3 && equalsIgnoreCase3(letters, word); }
};

SchemeStart schemeStartIn(const char* bytes, uint32_t shown) {
    SchemeStart start;
    for (uint32_t i = 0; i < shown && start.count < 3; ++i)
        start.take(static_cast<uint8_t>(bytes[i]));
    return start;
}

// Whether a sip URL starts the text: the usual "<sip" and "sip" are known without the scan.
bool startsSipURL(const char* bytes, uint32_t shown) {
    const uint32_t at = shown && bytes[0] == '<' ? 1 : 0;
    if (shown >= at + 3 && (bytes[at] | 0x20) == 's' && (bytes[at + 1] | 0x20) == 'i' &&
        (bytes[at + 2] | 0x20) == 'p')
        return true;
    return schemeStartIn(bytes, shown).is("sip");
}

// The URI of the class its scheme names, read from the stream.
KvHandle<KvURI> createFromStream(KvInputStream& stream, bool ownParameters) {
    SchemeStart start;
    uint32_t shown = 0;
    if (const char* bytes = stream.peek(shown)) {
        // Guessed from the bytes in memory, without moving the stream or its mark.
        start = schemeStartIn(bytes, shown);
    } else {
        stream.mark(-1);
        while (start.count < 3) {
            int c = stream.read();
            if (c < 0)
                break;
            start.take(c);
        }
        stream.reset();
    }

    // Each class's constructor already names its scheme.
    KvHandle<KvURI> uri;
    if (start.is("sip")) {
        uri = new KvSipURL();
        uri->setOwnParameters(ownParameters);
    } else if (start.is("tel")) {
        uri = new KvTelURL();
        uri->setOwnParameters(ownParameters);
    } else {
        uri = new KvURI();
    }
    uri->parse(stream);
    return uri;
}
} // namespace

KvHandle<KvURI> KvURI::createURI(KvInputCursor& cursor, KvInputStream& stream, bool ownParameters) {
    uint32_t shown = 0;
    const char* bytes = cursor.rest(shown);
    if (bytes && startsSipURL(bytes, shown)) {
        KvSipURL* url = new KvSipURL();
        KvHandle<KvURI> uri(url);
        url->setOwnParameters(ownParameters);
        url->parse(cursor, stream);
        return uri;
    }
    cursor.release();
    return createFromStream(stream, ownParameters);
}

KvHandle<KvURI> KvURI::createURI(KvInputStream& stream, bool ownParameters) {
    KvInputCursor cursor(stream);
    return createURI(cursor, stream, ownParameters);
}

void KvURI::registerScheme(const char* scheme, KvURI* (*creator)()) {
    KvURISchemeRegistry::instance().add(scheme, creator);
}
