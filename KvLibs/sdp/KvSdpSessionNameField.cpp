#include "KvSdpSessionNameField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

KvSdpSessionNameField::KvSdpSessionNameField() : KvSdpField("s") {}

KvSdpSessionNameField::KvSdpSessionNameField(const char* text) : KvSdpField("s"), m_value(text) {
    if (m_value.isEmpty())
        KvSdpParseError::sThrow("Attempting to create KvSdpSessionNameField with blank string");
    KvSdpReader::refuseLineEnd(m_value.c_str(),
                               "Attempting to create KvSdpSessionNameField with a line break");
}

KvSdpSessionNameField::~KvSdpSessionNameField() = default;

void KvSdpSessionNameField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream)) {
        KvSdpReader::skipLineEnd(stream);
        m_value = "empty";
        return;
    }
    m_value = KvSdpReader::readRestOfLine(stream);
}

void KvSdpSessionNameField::serialize(KvOutputStream& stream) const {
    if (m_value.isEmpty())
        KvException::sThrow("KvSdpSessionNameField::serialize() Incomplete Session Name Field");
    stream << "s=" << m_value << "\r\n";
}
