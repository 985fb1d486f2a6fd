#include "KvSdpOriginField.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpReader.h"

namespace {
const char* const kIncomplete = "KvSdpOriginField::serialize() Incomplete Origin Field";
}

KvSdpOriginField::KvSdpOriginField() : KvSdpField("o") {}

KvSdpOriginField::KvSdpOriginField(const char* text) : KvSdpOriginField() {
    parseText(text);
}

KvSdpOriginField::~KvSdpOriginField() = default;

void KvSdpOriginField::parse(KvInputStream& stream) {
    KvString values[6];
    for (KvString& value : values) {
        if (KvSdpReader::isAtLineEnd(stream))
            KvException::sThrow(kIncomplete);
        value = KvSdpReader::readToken(stream);
    }
    // A seventh value would otherwise be read as a line of its own.
    if (!KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvSdpReader::skipLineEnd(stream);
    m_userName = values[0];
    m_sessionId = values[1];
    m_version = values[2];
    m_networkType = values[3];
    m_addressType = values[4];
    m_address = values[5];
}

void KvSdpOriginField::serialize(KvOutputStream& stream) const {
    if (m_userName.isEmpty() || m_sessionId.isEmpty() || m_version.isEmpty() ||
        m_networkType.isEmpty() || m_addressType.isEmpty() || m_address.isEmpty())
        KvException::sThrow(kIncomplete);
    stream << "o=" << m_userName << " " << m_sessionId << " " << m_version << " " << m_networkType
           << " " << m_addressType << " " << m_address << "\r\n";
}
