// One media stream as the application states or reads it: media type, port, address, payload
// formats and the attribute lines other than rtpmap.
#pragma once

#include "KvInetAddress.h"
#include "KvMediaFormat.h"
#include "KvObject.h"
#include "KvSdpAttributeField.h"

#include <cstdint>
#include <vector>

// The media type of a stream; the SDP media tokens are "audio", "video", "text", "image" and
// "application".
enum KvMediaType : int32_t {
    KvMediaAudio = 0,
    KvMediaVideo = 1,
    KvMediaText = 2,
    KvMediaImage = 3,
    KvMediaApplication = 4
};

class KvMediaStream : public KvObject {
public:
    // A port outside 0 to 65535 throws KvSdpParseError.
    KvMediaStream(int32_t mediaType, int32_t port, const KvInetAddress& address);
    // Copies type, port, address and formats; every attribute becomes a new field with the same
    // name and value text. A null handle gives an audio stream on port 0 without formats.
    explicit KvMediaStream(const KvHandle<KvMediaStream>& other);
    KvMediaStream(const KvMediaStream& other);
    ~KvMediaStream() override;

    int32_t getMediaType() const { return m_mediaType; }
    int32_t getPort() const { return m_port; }
    KvInetAddress getAddress() const { return m_address; }
    const std::vector<KvMediaFormat>& getFormats() const { return m_formats; }
    const std::vector<KvHandle<KvSdpAttributeField>>& getAttributes() const { return m_attributes; }

    // Removes the first format of the same payload type, then appends the new one.
    void addFormat(const KvMediaFormat& format);
    // Appends the attribute (shared, not copied); a null handle is ignored.
    void addAttribute(const KvHandle<KvSdpAttributeField>& attribute);
    // Removes the first attribute of that name, ignoring letter case; true when one was removed.
    bool removeAttribute(const char* name);

private:
    friend class KvMediaSession;
    KvMediaStream& operator=(const KvMediaStream&) = delete;
    void copyFrom(const KvMediaStream& other);

    int32_t m_mediaType;
    int32_t m_port;
    KvInetAddress m_address;
    std::vector<KvMediaFormat> m_formats;
    std::vector<KvHandle<KvSdpAttributeField>> m_attributes;
};
