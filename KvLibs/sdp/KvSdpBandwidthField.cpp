#include "KvSdpBandwidthField.h"

#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <cstdint>
#include <string>

KvSdpBandwidthField::KvSdpBandwidthField() : KvSdpField("b"), m_amount(0) {}

KvSdpBandwidthField::KvSdpBandwidthField(const char* text) : KvSdpBandwidthField() {
    parseText(text);
}

KvSdpBandwidthField::KvSdpBandwidthField(const char* modifier, int32_t amount)
    : KvSdpField("b"), m_modifier(modifier), m_amount(amount) {
    if (m_modifier.isEmpty())
        KvSdpParseError::sThrow("Trying to create Bandwidth field with blank type field");
    KvSdpReader::refuseLineEnd(modifier,
                               "Attempting to create KvSdpBandwidthField with a line break");
}

KvSdpBandwidthField::~KvSdpBandwidthField() = default;

void KvSdpBandwidthField::setAmount(const char* text) {
    const std::string_view given(text ? text : "");
    std::string_view value = given;
    while (!value.empty() && KvSdpReader::isBlank(value.front()))
        value.remove_prefix(1);
    uint32_t amount = 0;
    // A zero is taken only as "0" itself: "00" or "0abc" is no amount.
    if (!KvSdpReader::toLeadingNumber(value, INT32_MAX, amount) || (amount == 0 && given != "0"))
        KvException::sThrow("Invalid value for Amount in Bandwidth field");
    m_amount = static_cast<int32_t>(amount);
}

void KvSdpBandwidthField::parse(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow("KvSdpBandwidthField::parse() Invalid Bandwidth Field");
    KvSdpLine line;
    KvSdpReader::readRestOfLine(stream, line);
    size_t colon = line.view().find(':');
    if (colon == std::string_view::npos)
        KvSdpParseError::sThrow("KvSdpBandwidthField::parse() Invalid Bandwidth Field");
    setAmount(line.c_str() + colon + 1);
    m_modifier = KvSdpReader::toString(line.view().substr(0, colon));
}

void KvSdpBandwidthField::serialize(KvOutputStream& stream) const {
    if (m_modifier.isEmpty())
        KvException::sThrow("KvSdpBandwidthField::serialize() Incomplete Bandwidth Field");
    stream << "b=" << m_modifier << ":" << static_cast<uint32_t>(m_amount) << "\r\n";
}
