#include "KvSdpAttributeField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"
#include "KvSdpRtpAttribute.h"

#include <cstring>
#include <string>
#include <utility>

KvSdpAttributeField::KvSdpAttributeField() : KvSdpField("a") {}

KvSdpAttributeField::KvSdpAttributeField(const char* text) : KvSdpAttributeField() {
    parseText(text);
}

KvSdpAttributeField::KvSdpAttributeField(const char* name, const KvHandle<KvSdpAttribute>& value)
    : KvSdpField("a"), m_name(name), m_value(value) {}

KvSdpAttributeField::KvSdpAttributeField(const char* name, const char* value)
    : KvSdpField("a"), m_name(name) {
    if (m_name.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Attribute Field with empty Name field");
    if (value)
        m_value = new KvSdpAttribute(value);
}

KvSdpAttributeField::~KvSdpAttributeField() = default;

void KvSdpAttributeField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpAttributeField::parse Incomplete Attribute Field");
    KvSdpLine buffer;
    KvSdpReader::readRestOfLine(stream, buffer);
    std::string_view line = buffer.view();
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        m_name = KvSdpReader::toString(line);
        m_value = KvHandle<KvSdpAttribute>();
        return;
    }
    std::string_view name = line.substr(0, colon);
    const char* value = buffer.c_str() + colon + 1;
    if (name == "rtpmap") {
        auto* rtp = new KvSdpRtpAttribute;
        KvHandle<KvSdpAttribute> parsed(rtp);
        // The line holds no line end; the value, as a C text, ends at a NUL.
        rtp->parseLine(value);
        m_value = std::move(parsed);
    } else
        m_value = new KvSdpAttribute(value);
    m_name = KvSdpReader::toString(name);
}

void KvSdpAttributeField::serialize(KvOutputStream& stream) const {
    if (m_name.isEmpty())
        KvException::sThrow("Serializing Invalid Attribute Field");
    stream << "a=" << m_name;
    if (!m_value.isNull()) {
        stream << ":";
        m_value->serialize(stream);
    }
    stream << "\r\n";
}

const char* KvSdpAttributeField::getValueText() const {
    return m_value.isNull() ? nullptr : m_value->getText();
}
