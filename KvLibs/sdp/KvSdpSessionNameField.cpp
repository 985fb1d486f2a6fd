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
    KvSdpLine line;
    KvSdpReader::readRestOfLine(stream, line);
    KvSdpReader::assign(m_value, line.view());
}

void KvSdpSessionNameField::serialize(KvOutputStream& stream) const {
    serializeText(stream, "KvSdpSessionNameField::serialize() Incomplete Session Name Field");
}
