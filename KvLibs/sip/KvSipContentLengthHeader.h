// The Content-Length header: the size of the message body in bytes.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipContentLengthHeader : public KvSipHeaderClass<KvSipContentLengthHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Content-Length", "l", KV_HEADER_CONTENT_LENGTH};

    KvSipContentLengthHeader();
    explicit KvSipContentLengthHeader(uint32_t length);

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    uint32_t getLength() const { return m_length; }
    void setLength(uint32_t length) { m_length = length; }

    // The one-number value shared with Max-Forwards and RSeq: an unsigned decimal that must fit
    // in 32 bits; whatever follows it is ignored.
    static uint32_t sParseValue(KvInputStream& stream);
    static void sSerializeValue(KvOutputStream& stream, uint32_t value);

private:
    uint32_t m_length;
};

inline const KvSipHeaderClassRegistrar<KvSipContentLengthHeader> kvSipContentLengthHeaderRegistrar;
