#include "KvSipReplacesHeader.h"

#include "KvInputStream.h"
#include "KvOutputStream.h"

namespace {
const KvString& longToken() {
    static const KvString token("Replaces");
    return token;
}
} // namespace

KvSipReplacesHeader::KvSipReplacesHeader()
    : KvSipHeader(longToken()), m_parameters(new KvParameters()) {
    setId(KV_HEADER_REPLACES);
}

KvSipReplacesHeader::KvSipReplacesHeader(const KvSipReplacesHeader& other)
    : KvSipHeader(other), m_parameters(static_cast<KvParameters*>(other.m_parameters->clone())),
      m_callId(other.m_callId) {
    setId(KV_HEADER_REPLACES);
}

KvSipReplacesHeader::~KvSipReplacesHeader() = default;

KvObject* KvSipReplacesHeader::clone() const {
    return new KvSipReplacesHeader(*this);
}

const KvString& KvSipReplacesHeader::getToken() const {
    return longToken();
}

KvSipHeader* KvSipReplacesHeader::sCreate() {
    return new KvSipReplacesHeader();
}

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
