// The Content-Length header: the size of the message body in bytes.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipNumberHeader.h"

class KvSipContentLengthHeader
    : public KvSipHeaderClass<KvSipContentLengthHeader, KvSipNumberHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Content-Length", "l", KV_HEADER_CONTENT_LENGTH};

    KvSipContentLengthHeader() = default;
    explicit KvSipContentLengthHeader(uint32_t length);

    uint32_t getLength() const { return m_value; }
    void setLength(uint32_t length) { m_value = length; }
};

inline const KvSipHeaderClassRegistrar<KvSipContentLengthHeader> kvSipContentLengthHeaderRegistrar;
