#include "KvMediaStream.h"

#include "KvSdpAttribute.h"
#include "KvSdpParseError.h"
#include "KvSdpReader.h"

#include <cstring>

KvMediaFormat::KvMediaFormat(int32_t payloadType, const char* encodingName)
    : m_payloadType(payloadType), m_encodingName(encodingName) {
    KvSdpReader::refuseLineEnd(encodingName,
                               "Attempting to create KvMediaFormat with a line break");
    // Written into "m=" and "a=rtpmap:", where a sign or a second slash is not read back.
    if (payloadType < 0)
        KvSdpParseError::sThrow("Attempting to create KvMediaFormat with a negative payload type");
    if (encodingName && std::strchr(encodingName, '/'))
        KvSdpParseError::sThrow("Attempting to create KvMediaFormat with a slash in the name");
}

KvMediaStream::KvMediaStream(int32_t mediaType, int32_t port, const KvInetAddress& address)
    : m_mediaType(mediaType), m_port(port), m_address(address) {
    if (port < 0 || port > 65535)
        KvSdpParseError::sThrow(
            "Attempting to create KvMediaStream with a port outside 0 to 65535");
}

KvMediaStream::KvMediaStream(const KvHandle<KvMediaStream>& other)
    : m_mediaType(KvMediaAudio), m_port(0) {
    if (!other.isNull())
        copyFrom(*other);
}

KvMediaStream::KvMediaStream(const KvMediaStream& other)
    : KvObject(other), m_mediaType(0), m_port(0) {
    copyFrom(other);
}

void KvMediaStream::copyFrom(const KvMediaStream& other) {
    m_mediaType = other.m_mediaType;
    m_port = other.m_port;
    m_address = other.m_address;
    m_formats = other.m_formats;
    m_attributes.reserve(other.m_attributes.size());
    for (const KvHandle<KvSdpAttributeField>& attribute : other.m_attributes) {
        KvHandle<KvSdpAttribute> value;
        if (attribute->hasValue())
            value = new KvSdpAttribute(attribute->getValueText());
        m_attributes.emplace_back(new KvSdpAttributeField(attribute->getName(), value));
    }
}

KvMediaStream::~KvMediaStream() = default;

void KvMediaStream::addFormat(const KvMediaFormat& format) {
    for (auto it = m_formats.begin(); it != m_formats.end(); ++it) {
        if (it->getPayloadType() == format.getPayloadType()) {
            m_formats.erase(it);
            break;
        }
    }
    m_formats.push_back(format);
}

void KvMediaStream::addAttribute(const KvHandle<KvSdpAttributeField>& attribute) {
    if (!attribute.isNull())
        m_attributes.push_back(attribute);
}

bool KvMediaStream::removeAttribute(const char* name) {
    for (auto it = m_attributes.begin(); it != m_attributes.end(); ++it) {
        if (KvString((*it)->getName()).equalsIgnoreCase(name ? name : "")) {
            m_attributes.erase(it);
            return true;
        }
    }
    return false;
}
