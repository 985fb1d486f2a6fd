#include "KvSdpAttributeField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"
#include "KvSdpRtpAttribute.h"

#include <cstring>
#include <string>
#include <typeinfo>
#include <utility>

KvSdpAttributeField::KvSdpAttributeField() : KvSdpField("a") {}

KvSdpAttributeField::KvSdpAttributeField(const char* text) : KvSdpAttributeField() {
    parseText(text);
}

namespace {
const char* const kLineBreak = "Attempting to create KvSdpAttributeField with a line break";
}

KvSdpAttributeField::KvSdpAttributeField(const char* name, const KvHandle<KvSdpAttribute>& value)
    : KvSdpField("a"), m_name(name), m_value(value) {
    KvSdpReader::refuseLineEnd(name, kLineBreak);
}

KvSdpAttributeField::KvSdpAttributeField(const char* name, const char* value)
    : KvSdpField("a"), m_name(name) {
    if (m_name.isEmpty())
        KvSdpParseError::sThrow("Attempting to create Attribute Field with empty Name field");
    KvSdpReader::refuseLineEnd(name, kLineBreak);
    KvSdpReader::refuseLineEnd(value, kLineBreak);
    if (value)
        m_value = new KvSdpAttribute(value);
}

KvSdpAttributeField::~KvSdpAttributeField() = default;

void KvSdpAttributeField::parse(KvInputStream& stream) {
    const char* const incomplete = "KvSdpAttributeField::parse Incomplete Attribute Field";
    KvSdpShownBytes bytes(stream);
    KvSdpLine buffer;
    std::string_view line;
    if (bytes.shown()) {
        if (bytes.isAtLineEnd())
            KvException::sThrow(incomplete);
        bytes.readRestOfLine(line);
    } else {
        if (KvSdpReader::isAtLineEnd(stream))
            KvException::sThrow(incomplete);
        KvSdpReader::readRestOfLine(stream, buffer);
        line = buffer.view();
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        m_name = KvSdpReader::toString(line);
        m_value = KvHandle<KvSdpAttribute>();
        return;
    }
    std::string_view name = line.substr(0, colon);
    // The value, as a C text, ends at a NUL; the line holds no line end.
    std::string_view value = line.substr(colon + 1);
    value = value.substr(0, ::strnlen(value.data(), value.size()));
    KvHandle<KvSdpAttribute> parsed;
    if (name == "rtpmap") {
        auto* rtp = new KvSdpRtpAttribute;
        parsed = rtp;
        rtp->parseLine(value);
    } else {
        parsed = new KvSdpAttribute;
        KvSdpReader::assign(parsed->m_value, value);
    }
    m_value = std::move(parsed);
    m_name = KvSdpReader::toString(name);
}

void KvSdpAttributeField::serialize(KvOutputStream& stream) const {
    if (m_name.isEmpty())
        KvException::sThrow("Serializing Invalid Attribute Field");
    KvSdpLineWriter line(stream);
    line << "a=" << m_name;
    if (const KvSdpAttribute* value = m_value.get()) {
        line << ':';
        // The two value classes of this library join the line; any other writes itself.
        if (typeid(*value) == typeid(KvSdpAttribute)) {
            line << value->m_value;
        } else if (typeid(*value) == typeid(KvSdpRtpAttribute)) {
            try {
                static_cast<const KvSdpRtpAttribute*>(value)->write(line);
            } catch (...) {
                // What stood before the refused value reaches the stream, as it would unbuffered.
                line.flush();
                throw;
            }
        } else {
            line.flush();
            value->serialize(stream);
        }
    }
    line << "\r\n";
    line.flush();
}

const char* KvSdpAttributeField::getValueText() const {
    return m_value.isNull() ? nullptr : m_value->getText();
}
