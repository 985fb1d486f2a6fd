#include "KvSdpRtpAttribute.h"

#include "KvException.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {
const char* const kSpaceError = "RTP attribute payload type: Space not found or misplaced";
const char* const kSlashError = "RTP attribute encoding name: Slash not found or misplaced";

// An empty text reads as 0, any other the decimal number it starts with; a text that starts with
// none is refused.
int32_t toClockRate(std::string_view text) {
    uint32_t value = 0;
    if (!text.empty() && !KvSdpReader::toLeadingNumber(text, INT32_MAX, value))
        KvSdpParseError::sThrow(kSlashError);
    return static_cast<int32_t>(value);
}
} // namespace

KvSdpRtpAttribute::KvSdpRtpAttribute(const char* text)
    : m_payloadType(0), m_clockRate(0), m_encodingParameters(0) {
    // The value text is set from the parsed line.
    if (text)
        parseLine(firstLine(text));
}

KvSdpRtpAttribute::~KvSdpRtpAttribute() = default;

void KvSdpRtpAttribute::clear() {
    m_payloadType = 0;
    m_encodingName = KvString();
    m_clockRate = 0;
    m_encodingParameters = 0;
    m_encodingParametersText = KvString();
}

void KvSdpRtpAttribute::parse(KvInputStream& stream) {
    clear();
    KvSdpLine line;
    // A leading blank is kept: it stands where the payload type must.
    KvSdpReader::readRestOfLine(stream, line, SIZE_MAX, true);
    parseLine(line.view());
}

std::string_view KvSdpRtpAttribute::firstLine(const char* text) {
    // What a line reader over the text would take: up to LF or CR LF, leading blanks kept.
    std::string_view line(text);
    size_t end = 0;
    while (end < line.size() && line[end] != '\r' && line[end] != '\n')
        ++end;
    if (end == line.size())
        return line;
    if (line[end] == '\r' && (end + 1 >= line.size() || line[end + 1] != '\n'))
        KvException::sThrow("carriage return without newline");
    return line.substr(0, end);
}

void KvSdpRtpAttribute::parseLine(std::string_view text) {
    // A second parse must not keep the parts of the first (no stale channel count).
    clear();
    while (!text.empty() && KvSdpReader::isBlank(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    KvSdpReader::assign(m_value, text);

    size_t space = text.find(' ');
    if (space == std::string_view::npos || space == 0)
        KvSdpParseError::sThrow(kSpaceError);
    uint32_t payloadType = 0;
    if (!KvSdpReader::toNumber(text.substr(0, space), INT32_MAX, payloadType))
        KvSdpParseError::sThrow(kSpaceError);

    size_t slash = text.find('/', space + 1);
    if (slash == std::string_view::npos || slash == space + 1)
        KvSdpParseError::sThrow(kSlashError);
    std::string_view name = text.substr(space + 1, slash - space - 1);

    size_t second = text.find('/', slash + 1);
    int32_t clockRate;
    int32_t parameters = 0;
    std::string_view parametersText;
    if (second == std::string_view::npos) {
        clockRate = toClockRate(text.substr(slash + 1));
    } else {
        clockRate = toClockRate(text.substr(slash + 1, second - slash - 1));
        std::string_view rest = text.substr(second + 1);
        uint32_t count = 0;
        if (KvSdpReader::toNumber(rest, INT32_MAX, count) && count > 0)
            parameters = static_cast<int32_t>(count);
        else
            parametersText = rest;
    }

    m_payloadType = static_cast<int32_t>(payloadType);
    m_encodingName = KvSdpReader::toString(name);
    m_clockRate = clockRate;
    m_encodingParameters = parameters;
    m_encodingParametersText = KvSdpReader::toString(parametersText);
}

namespace {
std::string rtpText(int32_t payloadType, const KvString& name, int32_t clockRate,
                    int32_t parameters, const KvString& parametersText) {
    std::string text = std::to_string(payloadType);
    text.push_back(' ');
    text.append(name.c_str());
    text.push_back('/');
    text.append(std::to_string(clockRate));
    if (parameters != 0) {
        text.push_back('/');
        text.append(std::to_string(parameters));
    } else if (!parametersText.isEmpty()) {
        text.push_back('/');
        text.append(parametersText.c_str());
    }
    return text;
}
} // namespace

void KvSdpRtpAttribute::updateText() {
    m_value = rtpText(m_payloadType, m_encodingName, m_clockRate, m_encodingParameters,
                      m_encodingParametersText)
                  .c_str();
}

void KvSdpRtpAttribute::serialize(KvOutputStream& stream) const {
    KvSdpLineWriter line(stream);
    write(line);
    line.flush();
}

void KvSdpRtpAttribute::write(KvSdpLineWriter& line) const {
    if (m_encodingName.isEmpty())
        KvException::sThrow("KvSdpRtpAttribute::serialize() Incomplete Rtp Attribute Field");
    // Written piece by piece as rtpText builds the value text, so both forms always agree.
    line << m_payloadType << ' ' << m_encodingName << '/' << m_clockRate;
    if (m_encodingParameters != 0)
        line << '/' << m_encodingParameters;
    else if (!m_encodingParametersText.isEmpty())
        line << '/' << m_encodingParametersText;
}

void KvSdpRtpAttribute::setPayloadType(int32_t payloadType) {
    // The parser reads only digits: a sign would make the line unreadable.
    if (payloadType < 0)
        KvSdpParseError::sThrow(kSpaceError);
    m_payloadType = payloadType;
    markChanged();
}

void KvSdpRtpAttribute::setPayloadType(const char* text) {
    uint32_t value = 0;
    if (!KvSdpReader::toNumber(text, INT32_MAX, value))
        KvSdpParseError::sThrow(kSpaceError);
    setPayloadType(static_cast<int32_t>(value));
}

void KvSdpRtpAttribute::setEncodingName(const char* name) {
    KvSdpReader::refuseLineEnd(name, *this);
    // The name ends at the first slash, and an empty one leaves the slash misplaced.
    if (!name || !*name || std::strchr(name, '/'))
        KvSdpParseError::sThrow(kSlashError);
    m_encodingName = KvString(name);
    markChanged();
}

void KvSdpRtpAttribute::setClockRate(int32_t clockRate) {
    if (clockRate < 0)
        KvSdpParseError::sThrow(kSlashError);
    m_clockRate = clockRate;
    markChanged();
}

void KvSdpRtpAttribute::setClockRate(const char* text) {
    setClockRate(toClockRate(text ? text : ""));
}

void KvSdpRtpAttribute::setEncodingParameters(int32_t parameters) {
    m_encodingParameters = parameters;
    markChanged();
}

void KvSdpRtpAttribute::setEncodingParametersText(const char* text) {
    KvSdpReader::refuseLineEnd(text, *this);
    m_encodingParametersText = KvString(text);
    markChanged();
}
