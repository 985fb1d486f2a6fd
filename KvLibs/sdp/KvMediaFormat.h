// One payload format of a media stream: the RTP payload type and, when known, its encoding name.
#pragma once

#include "KvStringBuffer.h"

#include <cstdint>

class KvMediaFormat {
public:
    // An empty or null name means none. A name with a line break or a slash, or a negative payload
    // type, throws KvSdpParseError: the SDP written would not read back.
    KvMediaFormat(int32_t payloadType, const char* encodingName);

    int32_t getPayloadType() const { return m_payloadType; }
    // Null when the format has no name.
    const char* getEncodingName() const { return m_encodingName.data(); }

private:
    int32_t m_payloadType;
    KvString m_encodingName;
};
