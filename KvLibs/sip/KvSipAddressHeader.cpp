#include "KvSipAddressHeader.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"

namespace {
template <class T> KvHandle<T> cloneOf(const KvHandle<T>& object) {
    return object.isNull() ? KvHandle<T>() : KvHandle<T>(static_cast<T*>(object->clone()));
}

// An empty list is not cloned: the copy makes its own when first asked for.
KvParameters* filledCloneOf(const KvParameters* list) {
    return list && list->getCount() != 0 ? static_cast<KvParameters*>(list->clone()) : nullptr;
}
} // namespace

KvSipAddressHeader::KvSipAddressHeader(const KvString& token,
                                       const KvHandle<KvSipNameAddress>& nameAddress,
                                       const KvHandle<KvParameters>& parameters)
    : KvSipHeader(token), m_nameAddress(cloneOf(nameAddress)),
      m_parameters(filledCloneOf(parameters.get())), m_listed(!parameters.isNull()) {}

KvSipAddressHeader::KvSipAddressHeader(const KvSipAddressHeader& other)
    : KvSipHeader(other), m_nameAddress(cloneOf(other.m_nameAddress)),
      m_parameters(filledCloneOf(other.filledParameters())), m_listed(other.m_listed) {}

KvSipAddressHeader::~KvSipAddressHeader() = default;

void KvSipAddressHeader::ensureNameAddress() {
    if (m_nameAddress.isNull())
        m_nameAddress = new KvSipNameAddress();
}

KvHandle<KvParameters> KvSipAddressHeader::getParameters() const {
    return m_listed ? KvSipURL::listOf(m_parameters) : KvHandle<KvParameters>();
}

KvParameters* KvSipAddressHeader::filledParameters() const {
    KvParameters* made = m_parameters.getShared();
    return made && made->getCount() != 0 ? made : nullptr;
}

void KvSipAddressHeader::writeParameters(KvOutputStream& stream) const {
    if (KvParameters* parameters = filledParameters()) {
        stream << ';';
        parameters->writeTo(stream);
    }
}

KvString KvSipAddressHeader::getURIString() const {
    return m_nameAddress.isNull() ? KvString() : m_nameAddress->getURIString();
}

void KvSipAddressHeader::parseAddressAndParameters(KvInputStream& stream) {
    ensureNameAddress();
    ensureParameters();
    // One cursor from the display name to the last parameter.
    KvInputCursor cursor(stream);
    m_nameAddress->parse(cursor, stream);

    // Blanks between the address and its parameters carry nothing.
    int c;
    do {
        cursor.mark();
        c = cursor.read();
    } while (c == ' ' || c == '\t');
    if (c > 13 && c < 128) {
        if (c != ';')
            cursor.reset();
        KvSipURL::listOf(m_parameters).parse(cursor);
    }
}

void KvSipAddressHeader::parseNameAddress(KvInputStream& stream, const char* failureText) {
    ensureNameAddress();
    try {
        stream >> m_nameAddress;
    } catch (KvHandle<KvException>&) {
        KvSipParseError::raise(failureText);
    }
}

void KvSipAddressHeader::checkAddress(const char* failureText) {
    // Raw pointers: every address header of a parsed message passes here, and the name-address
    // holds its URI throughout.
    KvURI* uri = m_nameAddress.isNull() ? nullptr : m_nameAddress->peekURI();
    if (!uri)
        KvSipParseError::raise(failureText);
    KvSipURL* url = uri->isSipURL() ? static_cast<KvSipURL*>(uri) : nullptr;
    if (url && url->hasParameters()) {
        // Every one of them: a URL that carries one twice would keep the second, and a copy of
        // the header, which checks again, would differ from the header it was made from.
        KvHandle<KvParameters> parameters = url->getParameters();
        for (const char* name : {"transport", "maddr", "ttl"})
            while (parameters->hasParameter(name))
                url->removeParameter(name);
        if (url->hasHeaders())
            url->getHeaders()->removeAll();
    }
}

KvString KvSipAddressHeader::getTagParameter() const {
    KvParameters* parameters = filledParameters();
    return parameters ? parameters->getParameter("tag") : KvString();
}

void KvSipAddressHeader::setTagParameter(const char* tag) {
    if (!tag || !*tag)
        return;
    KvSipParseError::refuseLineEnd(tag, *this);
    ensureParameters();
    ensureNameAddress();
    KvSipURL::listOf(m_parameters).setParameter("tag", tag);
    m_nameAddress->setBrackets(true);
}

void KvSipAddressHeader::serialize(KvOutputStream& stream) const {
    stream << m_nameAddress;
    writeParameters(stream);
}

KvSipTaggedAddressHeader::KvSipTaggedAddressHeader(const KvString& token, const char* invalidText)
    : KvSipAddressHeader(token, nullptr, nullptr), m_invalidText(invalidText) {
    ensureNameAddress();
    ensureParameters();
}

KvSipTaggedAddressHeader::KvSipTaggedAddressHeader(const KvString& token, const char* invalidText,
                                                   const KvHandle<KvSipNameAddress>& nameAddress,
                                                   const KvHandle<KvParameters>& parameters)
    : KvSipAddressHeader(token, nameAddress, parameters), m_invalidText(invalidText) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(m_invalidText);
}

KvSipTaggedAddressHeader::KvSipTaggedAddressHeader(const KvSipTaggedAddressHeader& other)
    : KvSipAddressHeader(other), m_invalidText(other.m_invalidText) {
    ensureNameAddress();
    ensureParameters();
    checkAddress(m_invalidText);
}

void KvSipTaggedAddressHeader::doParse(KvInputStream& stream) {
    parseAddressAndParameters(stream);
    checkAddress(m_invalidText);
}
