#include "KvSipNameAddress.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"
#include "KvTelURL.h"
#include "KvStreamTokenizer.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {
// Every byte but the blanks and line ends that may come before a name-address.
constexpr KvCharClass kNotWhitespace = [] {
    KvCharClass set;
    for (int c = 0; c < 256; ++c)
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ')
            set.add(static_cast<char>(c));
    return set;
}();

void setTrimmed(KvConstString& to, const char* text, uint32_t length) {
    uint32_t start = 0;
    while (start < length && KvStreamTokenizer::isWhitespace(text[start]))
        ++start;
    while (length > start && KvStreamTokenizer::isWhitespace(text[length - 1]))
        --length;
    if (length > start || !to.isEmpty())
        to.setText(text + start, length - start);
}

// The words a display name may be written in bare: tokens and the blanks between them.
constexpr KvCharClass kBareName{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                "0123456789-.!%*_+`'~ \t"};

// A run of tokens and blanks, or one quoted string: a peer reads it back as the name it is.
bool isWrittenAsGiven(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        size_t at = 1;
        for (; at < name.size() - 1; ++at) {
            if (name[at] == '\\')
                ++at; // takes the next character with it
            else if (name[at] == '"')
                return false;
        }
        return at == name.size() - 1;
    }
    for (char c : name)
        if (!kBareName.contains(static_cast<unsigned char>(c)))
            return false;
    return true;
}
} // namespace

KvSipNameAddress::KvSipNameAddress()
    : m_uriPending(true), m_brackets(false), m_ownParameters(false) {}

KvSipNameAddress::KvSipNameAddress(const char* text) : m_brackets(false), m_ownParameters(true) {
    parse(text);
}

KvSipNameAddress::KvSipNameAddress(const char* displayName, const KvHandle<KvURI>& uri)
    : m_displayName(displayName), m_uri(uri.isNull() ? nullptr : static_cast<KvURI*>(uri->clone())),
      m_brackets(!m_displayName.isEmpty()), m_ownParameters(true) {
    KvSipParseError::refuseLineEnd(displayName, *this);
    // Any other name goes in quotes, so that no "<", "," or ";" in it is read as an address or a
    // parameter of its own.
    const std::string_view name(m_displayName.data(), m_displayName.length());
    if (isWrittenAsGiven(name))
        return;
    std::string quoted(1, '"');
    for (char c : name) {
        if (c == '"' || c == '\\')
            quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    m_displayName.setText(quoted.data(), static_cast<uint32_t>(quoted.size()));
}

KvSipNameAddress::KvSipNameAddress(const KvSipNameAddress& other)
    : KvObject(other), m_displayName(other.m_displayName),
      m_uri(other.m_uri.getShared() ? static_cast<KvURI*>(other.m_uri.getShared()->clone())
                                    : nullptr),
      m_uriPending(m_uri.isNull() && other.m_uriPending.load(std::memory_order_acquire)),
      m_brackets(other.m_brackets), m_ownParameters(other.m_ownParameters) {}

KvSipNameAddress::~KvSipNameAddress() = default;

KvObject* KvSipNameAddress::clone() const {
    return new KvSipNameAddress(*this);
}

KvURI* KvSipNameAddress::makeEmptyURI() const {
    return const_cast<KvHandle<KvURI>&>(m_uri).installShared(new KvURI());
}

KvString KvSipNameAddress::getDisplayName() const {
    return m_displayName.isEmpty()
               ? KvString()
               : KvString(KvStringBuffer::create(m_displayName.data(), m_displayName.length()));
}

KvHandle<KvSipURL> KvSipNameAddress::getSipURL() const {
    return KvHandle<KvSipURL>(dynamic_cast<KvSipURL*>(uri()));
}

KvString KvSipNameAddress::getURIString() const {
    const KvURI* made = uri();
    return made ? made->serialize() : KvString();
}

void KvSipNameAddress::parse(const char* text) {
    KvSipParseError::refuseInnerLineEnd(text, *this);
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    parse(stream);
}

void KvSipNameAddress::parse(KvInputStream& stream) {
    KvInputCursor cursor(stream);
    parse(cursor, stream);
}

void KvSipNameAddress::parse(KvInputCursor& cursor, KvInputStream& stream) {
    if (!m_displayName.isEmpty())
        m_displayName.setText(nullptr, 0);
    m_uriPending.store(false, std::memory_order_release);
    m_uri = KvHandle<KvURI>();
    m_brackets = false;

    char buffer[BUFFER_SIZE];
    uint32_t index = 0;
    uint32_t indexAtMark = 0; // what the buffer held when the stream was last marked
    bool quoted = false;
    auto append = [&](int c) {
        if (index >= BUFFER_SIZE)
            KvSipParseError::raise("Invalid SIP Name Address");
        buffer[index++] = static_cast<char>(c);
    };

    // Leading blanks are passed over through the same cursor that reads the name-address.
    cursor.skipRun(kNotWhitespace);
    for (;;) {
        cursor.mark();
        const int c = cursor.read();
        if (c < 0 || !KvStreamTokenizer::isWhitespace(c))
            break;
    }
    cursor.reset();
    for (;;) {
        int c = cursor.read();
        if (c == '"') {
            // A backslash takes exactly the next character with it (quoted-pair).
            append(c);
            for (;;) {
                int q = cursor.read();
                if (q < 0)
                    KvSipParseError::raise("Invalid quote in KvSipNameAddress");
                append(q);
                if (q == '\\') {
                    q = cursor.read();
                    if (q < 0)
                        KvSipParseError::raise("Invalid quote in KvSipNameAddress");
                    append(q);
                } else if (q == '"') {
                    break;
                }
            }
            cursor.mark();
            indexAtMark = index;
            quoted = true;
            continue;
        }
        if (c == '<') {
            setTrimmed(m_displayName, buffer, index);
            m_brackets = true;
            // Back to the last mark and forward again, so that the URI parser starts at "<". Every
            // byte read since the mark went into the buffer: in memory, that is one step.
            cursor.reset();
            uint32_t shown = 0;
            if (cursor.rest(shown)) {
                cursor.advance(index - indexAtMark);
                cursor.mark();
                break;
            }
            for (;;) {
                cursor.mark();
                int d = cursor.read();
                if (d == '<') {
                    cursor.reset();
                    break;
                }
                if (d < 0)
                    break;
            }
            break;
        }
        if (c == ':' || c < 0) {
            // No "<": the URI starts at the last mark, behind a quoted display name if any.
            cursor.reset();
            if (quoted)
                setTrimmed(m_displayName, buffer, indexAtMark);
            break;
        }
        if (c == '\n') {
            setTrimmed(m_displayName, buffer, index);
            KvSipParseError::raise("URL not specified");
        }
        append(c);
    }
    m_uri = KvURI::createURI(cursor, stream, m_ownParameters);
}

void KvSipNameAddress::write(KvOutputStream& stream) const {
    const KvURI* const made = uri();
    if (made && made->isSipURL()) {
        // The usual case, written without the URL's text as a string of its own.
        const KvSipURL* url = static_cast<const KvSipURL*>(made);
        const bool brackets = m_brackets || !m_displayName.isEmpty() || url->writesDelimiter();
        if (!m_displayName.isEmpty())
            stream << m_displayName << ' ';
        if (brackets)
            stream.write("<", 1, 0);
        url->write(stream);
        if (brackets)
            stream.write(">", 1, 0);
        return;
    }
    KvString uri = getURIString();
    // A URI of another scheme than sip and tel is read up to a ">" or the line end, so written
    // bare it would take in the header parameters behind it when read again.
    bool generic = made && !made->isSipURL() && !dynamic_cast<const KvTelURL*>(made) &&
                   !made->getScheme().isEmpty();
    bool brackets = m_brackets || !m_displayName.isEmpty() || generic ||
                    (uri.data() && std::strpbrk(uri.data(), ";,?") != nullptr);
    if (!m_displayName.isEmpty())
        stream << m_displayName << ' ';
    if (brackets)
        stream << '<' << uri << '>';
    else
        stream << uri;
}

KvInputStream& operator>>(KvInputStream& stream, KvHandle<KvSipNameAddress>& nameAddress) {
    if (nameAddress.isNull())
        nameAddress = new KvSipNameAddress();
    nameAddress->parse(stream);
    return stream;
}

KvOutputStream& operator<<(KvOutputStream& stream, const KvHandle<KvSipNameAddress>& nameAddress) {
    if (!nameAddress.isNull())
        nameAddress->write(stream);
    return stream;
}
