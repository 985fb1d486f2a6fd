#include "KvSdpSessionNameField.h"

#include "KvSdpReader.h"

KvSdpSessionNameField::KvSdpSessionNameField() : KvSdpTextField("s") {}

KvSdpSessionNameField::KvSdpSessionNameField(const char* text)
    : KvSdpTextField("s", text, "Attempting to create KvSdpSessionNameField with blank string",
                     "Attempting to create KvSdpSessionNameField with a line break") {}

void KvSdpSessionNameField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream)) {
        KvSdpReader::skipLineEnd(stream);
        m_value = "empty";
        return;
    }
    m_value = KvSdpReader::readRestOfLine(stream);
}

void KvSdpSessionNameField::serialize(KvOutputStream& stream) const {
    serializeText(stream, "KvSdpSessionNameField::serialize() Incomplete Session Name Field");
}
