#include "KvSdpInformationField.h"

#include "KvException.h"
#include "KvSdpReader.h"

KvSdpInformationField::KvSdpInformationField() : KvSdpTextField("i") {}

KvSdpInformationField::KvSdpInformationField(const char* text)
    : KvSdpTextField("i", text, "Attempting to create KvSdpInformationField with blank string",
                     "Attempting to create KvSdpInformationField with a line break") {}

void KvSdpInformationField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpInformationField::parse() Empty Information Field");
    KvSdpLine line;
    KvSdpReader::readRestOfLine(stream, line);
    KvSdpReader::assign(m_value, line.view());
}

void KvSdpInformationField::serialize(KvOutputStream& stream) const {
    serializeText(stream, "KvSdpInformationField::serialize() Incomplete Information Field");
}
