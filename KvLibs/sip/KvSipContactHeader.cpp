#include "KvSipContactHeader.h"

#include "KvSipParseError.h"

#include "KvOutputStream.h"
#include "KvSipHeaderTextStream.h"
#include "KvSipURL.h"
#include "KvStreamTokenizer.h"

#include <cstring>

KvSipContactHeader::KvSipContactHeader() : KvSipHeaderClass(nullptr, nullptr), m_wildcard(false) {
    ensureNameAddress();
    ensureParameters();
}

KvSipContactHeader::KvSipContactHeader(KvHandle<KvSipNameAddress> nameAddress)
    : KvSipHeaderClass(nameAddress, nullptr), m_wildcard(false) {
    ensureNameAddress();
    ensureParameters();
}

KvSipContactHeader::KvSipContactHeader(const char* text) : KvSipContactHeader() {
    KvSipParseError::refuseInnerLineEnd(text, *this);
    KvSipHeaderTextStream stream(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
    doParse(stream);
}

KvSipContactHeader::KvSipContactHeader(const KvSipContactHeader& other)
    : KvSipHeaderClass(other), m_wildcard(other.m_wildcard), m_comment(other.m_comment) {
    ensureNameAddress();
    ensureParameters();
}

KvString KvSipContactHeader::getParameter(const char* name) const {
    KvParameters* parameters = filledParameters();
    return parameters ? parameters->getParameter(name) : KvString();
}

KvHandle<KvSipURL> KvSipContactHeader::getSipURL() const {
    return m_nameAddress.isNull() ? KvHandle<KvSipURL>() : m_nameAddress->getSipURL();
}

void KvSipContactHeader::doParse(KvInputStream& stream) {
    if (KvStreamTokenizer::skipWhitespace(stream) == '*') {
        stream.read();
        m_wildcard = true;
        return;
    }
    parseAddressAndParameters(stream);
}

void KvSipContactHeader::serialize(KvOutputStream& stream) const {
    if (m_wildcard)
        stream << '*';
    else
        stream << m_nameAddress;
    writeParameters(stream);
    if (!m_comment.isEmpty())
        stream << " (" << m_comment << ')';
}
