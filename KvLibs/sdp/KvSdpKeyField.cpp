#include "KvSdpKeyField.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpReader.h"

#include <string>

namespace {
const char* const kInvalid = "KvSdpKeyField::parse() Invalid Key Field";
}

KvSdpKeyField::KvSdpKeyField() : KvSdpField("k") {}

KvSdpKeyField::KvSdpKeyField(const char* text) : KvSdpKeyField() {
    parseText(text);
}

KvSdpKeyField::~KvSdpKeyField() = default;

void KvSdpKeyField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpKeyField::parse() Incomplete Key Field");
    KvSdpLine buffer;
    KvSdpReader::readRestOfLine(stream, buffer);
    std::string_view line = buffer.view();
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        if (line != "prompt")
            KvException::sThrow(kInvalid);
        m_method = KvSdpReader::toString(line);
        m_key = KvString();
        return;
    }
    std::string_view method = line.substr(0, colon);
    if (method == "clear" || method == "base64") {
        m_method = KvSdpReader::toString(method);
        m_key = KvSdpReader::toString(line.substr(colon + 1));
    } else if (line.compare(0, 7, "http://") == 0) {
        m_method = KvSdpReader::toString(line);
        m_key = KvString();
    } else {
        KvException::sThrow(kInvalid);
    }
}

void KvSdpKeyField::serialize(KvOutputStream& stream) const {
    if (m_method.isEmpty())
        KvException::sThrow("KvSdpKeyField::serialize() Incomplete Key Field");
    stream << "k=" << m_method;
    // The colon marks these methods even before an empty key: without it the line reads back
    // as an invalid key field.
    if (!m_key.isEmpty() || m_method == "clear" || m_method == "base64")
        stream << ":" << m_key;
    stream << "\r\n";
}
