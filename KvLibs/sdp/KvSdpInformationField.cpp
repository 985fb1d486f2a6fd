#include "KvSdpInformationField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

KvSdpInformationField::KvSdpInformationField() : KvSdpField("i") {}

KvSdpInformationField::KvSdpInformationField(const char* text) : KvSdpField("i"), m_value(text) {
    if (m_value.isEmpty())
        KvSdpParseError::sThrow("Attempting to create KvSdpInformationField with blank string");
    KvSdpReader::refuseLineEnd(m_value.c_str(),
                               "Attempting to create KvSdpInformationField with a line break");
}

KvSdpInformationField::~KvSdpInformationField() = default;

void KvSdpInformationField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpInformationField::parse() Empty Information Field");
    m_value = KvSdpReader::readRestOfLine(stream);
}

void KvSdpInformationField::serialize(KvOutputStream& stream) const {
    if (m_value.isEmpty())
        KvException::sThrow("KvSdpInformationField::serialize() Incomplete Information Field");
    stream << "i=" << m_value << "\r\n";
}
