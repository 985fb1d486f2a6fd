#include "KvMediaStream.h"

#include "KvSdpAttribute.h"
#include "KvSdpReader.h"

KvMediaFormat::KvMediaFormat(int32_t payloadType, const char* encodingName)
    : m_payloadType(payloadType), m_encodingName(encodingName) {
    KvSdpReader::refuseLineEnd(encodingName,
                               "Attempting to create KvMediaFormat with a line break");
}

KvMediaStream::KvMediaStream(int32_t mediaType, int32_t port, const KvInetAddress& address)
    : m_mediaType(mediaType), m_port(port), m_address(address) {}

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
