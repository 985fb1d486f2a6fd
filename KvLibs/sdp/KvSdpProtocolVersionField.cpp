#include "KvSdpProtocolVersionField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <string>

KvSdpProtocolVersionField::KvSdpProtocolVersionField() : KvSdpField("v") {}

KvSdpProtocolVersionField::KvSdpProtocolVersionField(const char* text)
    : KvSdpProtocolVersionField() {
    parseText(text);
}

KvSdpProtocolVersionField::~KvSdpProtocolVersionField() = default;

void KvSdpProtocolVersionField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream)) {
        m_version = KvString();
        return;
    }
    KvSdpLine line;
    KvSdpReader::readRestOfLine(stream, line);
    for (char c : line.view())
        if (c < '0' || c > '9')
            KvSdpParseError::sThrow("KvSdpProtocolVersionField::parse()Invalid character in Sdp "
                                    "Protocol Version Field");
    m_version = KvSdpReader::toString(line.view());
}

void KvSdpProtocolVersionField::serialize(KvOutputStream& stream) const {
    if (m_version.isEmpty())
        KvException::sThrow(
            "KvSdpProtocolVersionField::serialize() Incomplete Protocol Version Field");
    KvSdpLineWriter line(stream);
    line << "v=" << m_version << "\r\n";
    line.flush();
}
