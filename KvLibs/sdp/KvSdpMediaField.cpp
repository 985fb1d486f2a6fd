#include "KvSdpMediaField.h"

#include "KvException.h"
#include "KvInputStream.h"
#include "KvOutputStream.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace {
const char* const kIncomplete = "KvSdpMediaField::parse Incomplete Media Field";
const char* const kParseError = "Parse error in KvSdpMediaField::parse()";
constexpr size_t kMaxText = 255;
constexpr uint32_t kMaxPort = 65535;

// Reads the one separator after a token; a missing next token or a second blank is incomplete.
void readSeparator(KvInputStream& stream) {
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    stream.read();
    if (KvSdpReader::peek(stream) == ' ')
        KvException::sThrow(kIncomplete);
}
} // namespace

KvSdpMediaField::KvSdpMediaField() : KvSdpField("m"), m_port(0), m_numPorts(0) {}

KvSdpMediaField::KvSdpMediaField(const char* text) : KvSdpMediaField() {
    parseText(text);
}

KvSdpMediaField::~KvSdpMediaField() = default;

void KvSdpMediaField::setPort(const char* text) {
    uint32_t value = 0;
    if (!KvSdpReader::toNumber(text, kMaxPort, value))
        KvSdpParseError::sThrow(kParseError);
    m_port = static_cast<int32_t>(value);
}

void KvSdpMediaField::setNumPorts(const char* text) {
    uint32_t value = 0;
    if (!KvSdpReader::toNumber(text, kMaxPort, value))
        KvSdpParseError::sThrow(kParseError);
    m_numPorts = static_cast<int32_t>(value);
}

namespace {
// The port and the count of ports from "port" or "port/count".
void readPort(std::string_view port, uint32_t& portNumber, uint32_t& count) {
    if (port.size() > kMaxText)
        KvSdpParseError::sThrow(kParseError);
    size_t slash = port.find('/');
    if (slash == std::string_view::npos) {
        if (!KvSdpReader::toNumber(port, kMaxPort, portNumber))
            KvSdpParseError::sThrow(kParseError);
    } else if (!KvSdpReader::toNumber(port.substr(0, slash), kMaxPort, portNumber) ||
               portNumber == 0 || !KvSdpReader::toNumber(port.substr(slash + 1), kMaxPort, count) ||
               count < 1) {
        KvSdpParseError::sThrow(kParseError);
    }
}

void readSeparator(KvSdpShownBytes& bytes) {
    if (bytes.isAtLineEnd())
        KvException::sThrow(kIncomplete);
    bytes.read();
    if (bytes.peek() == ' ')
        KvException::sThrow(kIncomplete);
}

// A C text ends at its first NUL.
std::string_view beforeNul(std::string_view text) {
    return text.substr(0, ::strnlen(text.data(), text.size()));
}
} // namespace

bool KvSdpMediaField::parseShown(KvInputStream& stream) {
    KvSdpShownBytes bytes(stream);
    if (!bytes.shown())
        return false;
    if (bytes.isAtLineEnd())
        KvException::sThrow(kIncomplete);
    KvString media = KvSdpReader::toString(bytes.readToken());
    readSeparator(bytes);
    uint32_t portNumber = 0;
    uint32_t count = 0;
    readPort(beforeNul(bytes.readToken()), portNumber, count);
    readSeparator(bytes);
    KvString transport = KvSdpReader::toString(bytes.readToken());
    if (bytes.isAtLineEnd())
        KvException::sThrow(kIncomplete);
    std::string_view formats;
    if (!bytes.readRestOfLine(formats, kMaxText))
        KvSdpParseError::sThrow(kParseError);

    m_media = std::move(media);
    m_port = static_cast<int32_t>(portNumber);
    m_numPorts = static_cast<int32_t>(count);
    m_transport = std::move(transport);
    m_formats = KvSdpReader::split(beforeNul(formats));
    return true;
}

void KvSdpMediaField::parse(KvInputStream& stream) {
    if (parseShown(stream))
        return;
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvString media = KvSdpReader::readToken(stream);
    readSeparator(stream);

    KvSdpLine portToken;
    KvSdpReader::readToken(stream, portToken);
    uint32_t portNumber = 0;
    uint32_t count = 0;
    readPort(portToken.c_str(), portNumber, count);

    readSeparator(stream);
    KvString transport = KvSdpReader::readToken(stream);
    if (KvSdpReader::isAtLineEnd(stream))
        KvException::sThrow(kIncomplete);
    KvSdpLine formats;
    if (!KvSdpReader::readRestOfLine(stream, formats, kMaxText))
        KvSdpParseError::sThrow(kParseError);

    m_media = media;
    m_port = static_cast<int32_t>(portNumber);
    m_numPorts = static_cast<int32_t>(count);
    m_transport = transport;
    m_formats = KvSdpReader::split(formats.c_str());
}

void KvSdpMediaField::serialize(KvOutputStream& stream) const {
    if (m_media.isEmpty() || m_transport.isEmpty())
        KvException::sThrow("KvSdpMediaField::serialize() Incomplete Media Field");
    KvSdpLineWriter line(stream);
    line << "m=" << m_media << " " << m_port;
    if (m_numPorts != 0)
        line << "/" << m_numPorts;
    line << " " << m_transport;
    for (const KvString& format : m_formats)
        line << " " << format;
    line << "\r\n";
    line.flush();
}

void KvSdpMediaField::setFormats(const char* text) {
    KvSdpReader::refuseLineEnd(text, *this);
    m_formats = KvSdpReader::split(text ? text : "");
}

KvString KvSdpMediaField::getFormatsText() const {
    return KvSdpReader::join(m_formats);
}

bool KvSdpMediaField::hasFormat(int32_t payloadType) const {
    if (payloadType < 0)
        return false;
    for (const KvString& format : m_formats) {
        uint32_t value = 0;
        if (KvSdpReader::toNumber(format.c_str(), INT32_MAX, value) &&
            value == static_cast<uint32_t>(payloadType))
            return true;
    }
    return false;
}
