#include "KvSdpUriField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

namespace {
const char* const kIncomplete = "KvSdpUriField::serialize() Incomplete URI Field";
}

KvSdpUriField::KvSdpUriField() : KvSdpField("u") {}

KvSdpUriField::KvSdpUriField(const char* uri) : KvSdpField("u"), m_uri(uri) {
    if (m_uri.isEmpty())
        KvSdpParseError::sThrow("Attempting to create KvSdpUriField with empty string");
    KvSdpReader::refuseLineEnd(m_uri.c_str(),
                               "Attempting to create KvSdpUriField with a line break");
}

KvSdpUriField::~KvSdpUriField() = default;

void KvSdpUriField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    m_uri = KvSdpReader::readRestOfLine(stream);
}

void KvSdpUriField::serialize(KvOutputStream& stream) const {
    if (m_uri.isEmpty())
        KvException::sThrow(kIncomplete);
    stream << "u=" << m_uri << "\r\n";
}
