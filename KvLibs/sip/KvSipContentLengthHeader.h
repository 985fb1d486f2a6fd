// The Content-Length header: the size of the message body in bytes.
#pragma once

#include "KvSipHeader.h"

class KvSipContentLengthHeader : public KvSipHeader {
public:
    KvSipContentLengthHeader();
    explicit KvSipContentLengthHeader(uint32_t length);
    KvSipContentLengthHeader(const KvSipContentLengthHeader& other);
    ~KvSipContentLengthHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    const KvString& getCompactToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    uint32_t getLength() const { return m_length; }
    void setLength(uint32_t length) { m_length = length; }

    // The one-number value shared with Max-Forwards and RSeq: an unsigned decimal that must fit
    // in 32 bits; whatever follows it is ignored.
    static uint32_t sParseValue(KvInputStream& stream);
    static void sSerializeValue(KvOutputStream& stream, uint32_t value);

private:
    uint32_t m_length;
};

inline const KvSipHeaderRegistrar
    kvSipContentLengthHeaderRegistrar("Content-Length", "l", &KvSipContentLengthHeader::sCreate);
