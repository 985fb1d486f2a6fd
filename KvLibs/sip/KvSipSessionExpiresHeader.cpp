#include "KvSipSessionExpiresHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSipParseError.h"
#include "KvStreamTokenizer.h"

namespace {
bool equalsIgnoreCase(const char* text, const char* expected) {
    for (; *text && *expected; ++text, ++expected) {
        char a = (*text >= 'A' && *text <= 'Z') ? static_cast<char>(*text + 32) : *text;
        if (a != *expected)
            return false;
    }
    return *text == *expected;
}
} // namespace

KvSipSessionExpiresHeader::KvSipSessionExpiresHeader() : KvSipSessionExpiresHeader(0) {}

KvSipSessionExpiresHeader::KvSipSessionExpiresHeader(uint32_t deltaSeconds)
    : m_deltaSeconds(deltaSeconds), m_parameters(new KvParameters()) {}

KvSipSessionExpiresHeader::KvSipSessionExpiresHeader(uint32_t deltaSeconds, const char* refresher)
    : KvSipSessionExpiresHeader(deltaSeconds) {
    setRefresher(refresher);
}

KvSipSessionExpiresHeader::KvSipSessionExpiresHeader(const KvSipSessionExpiresHeader& other)
    : KvSipHeaderClass(other), m_deltaSeconds(other.m_deltaSeconds),
      m_parameters(other.m_parameters.isNull()
                       ? new KvParameters()
                       : static_cast<KvParameters*>(other.m_parameters->clone())) {}

bool KvSipSessionExpiresHeader::hasRefresher() const {
    return m_parameters->hasParameter("refresher");
}

const char* KvSipSessionExpiresHeader::getRefresher() const {
    return m_parameters->getParameterText("refresher");
}

void KvSipSessionExpiresHeader::setRefresher(const char* refresher) {
    // A null text changes nothing, as the list's set operation ignores it. A blank one would
    // leave a "refresher" that answers hasRefresher with no text to give: it drops the parameter.
    if (!refresher)
        return;
    KvSipParseError::refuseLineEnd(refresher, *this);
    m_parameters->setParameter("refresher", refresher);
    if (!m_parameters->getParameterText("refresher"))
        m_parameters->removeParameter("refresher");
}

void KvSipSessionExpiresHeader::doParse(KvInputStream& stream) {
    m_parameters->removeAll();
    m_deltaSeconds = KvStreamTokenizer::readUnsignedNumber(stream);
    if (KvStreamTokenizer::skipWhitespace(stream) != ';')
        return;
    stream.read();
    m_parameters->parse(stream);
    if (!m_parameters->hasParameter("refresher"))
        return;
    const char* refresher = m_parameters->getParameterText("refresher");
    if (!refresher) {
        m_parameters->removeParameter("refresher");
        return;
    }
    if (!equalsIgnoreCase(refresher, "uac") && !equalsIgnoreCase(refresher, "uas"))
        KvSipParseError::raise("Invalid Refresher in Session-Expires Header");
}

void KvSipSessionExpiresHeader::serialize(KvOutputStream& stream) const {
    stream << static_cast<unsigned int>(m_deltaSeconds);
    if (m_parameters->getCount() > 0)
        stream << ';' << m_parameters->serialize();
}
