#include "KvSipReplacesHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

KvSipReplacesHeader::KvSipReplacesHeader() : m_parameters(new KvParameters()) {}

KvSipReplacesHeader::KvSipReplacesHeader(const KvSipReplacesHeader& other)
    : KvSipHeaderClass(other),
      m_parameters(static_cast<KvParameters*>(other.m_parameters->clone())),
      m_callId(other.m_callId) {}

void KvSipReplacesHeader::doParse(KvInputStream& stream) {
    m_parameters->removeAll();
    KvString callId(KvStringBuffer::readToken(nullptr, stream, ";"));
    callId.trim();
    m_callId.setText(callId.data(), callId.length());
    stream.read();
    // The rest of the line, commas included: Replaces is no list.
    KvString rest(KvStringBuffer::readToken(nullptr, stream, "\r\n"));
    rest.trim();
    if (!rest.isEmpty())
        m_parameters->parseString(rest.data());
}

void KvSipReplacesHeader::serialize(KvOutputStream& stream) const {
    stream.write(m_callId.data(), m_callId.length(), 0);
    if (m_parameters->getCount() > 0)
        stream << ';' << m_parameters->serialize();
}
