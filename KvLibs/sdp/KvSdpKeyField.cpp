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
    std::string line;
    KvSdpReader::readRestOfLine(stream, line);
    size_t colon = line.find(':');
    if (colon == std::string::npos) {
        if (line != "prompt")
            KvException::sThrow(kInvalid);
        m_method = line.c_str();
        m_key = KvString();
        return;
    }
    std::string method = line.substr(0, colon);
    if (method == "clear" || method == "base64") {
        m_method = method.c_str();
        m_key = line.substr(colon + 1).c_str();
    } else if (line.compare(0, 7, "http://") == 0) {
        m_method = line.c_str();
        m_key = KvString();
    } else {
        KvException::sThrow(kInvalid);
    }
}

void KvSdpKeyField::serialize(KvOutputStream& stream) const {
    if (m_method.isEmpty())
        KvException::sThrow("KvSdpKeyField::serialize() Incomplete Key Field");
    stream << "k=" << m_method;
    if (!m_key.isEmpty())
        stream << ":" << m_key;
    stream << "\r\n";
}
