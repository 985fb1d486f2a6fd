// The base of the headers whose value is one unsigned number (Content-Length, Max-Forwards, RSeq,
// Min-SE): the number is read as an unsigned decimal that must fit in 32 bits, whatever follows
// it is ignored, and it is written back in decimal.
#pragma once

#include "KvSipHeader.h"

#include <cstdint>

class KvSipNumberHeader : public KvSipHeader {
public:
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

protected:
    explicit KvSipNumberHeader(const KvString& token, uint32_t value = 0)
        : KvSipHeader(token), m_value(value) {}
    KvSipNumberHeader(const KvSipNumberHeader& other) = default;

    uint32_t m_value;
};
