// The base of the headers whose value is one stored text, written back unchanged: Subject,
// Content-Encoding, Allow and the option-tag headers. Each class reads the text its own way.
#pragma once

#include "KvSipHeader.h"

class KvSipTextHeader : public KvSipHeader {
public:
    void serialize(KvOutputStream& stream) const override;

protected:
    explicit KvSipTextHeader(const KvString& token) : KvSipHeader(token) {}
    // The text is stored unchanged.
    KvSipTextHeader(const KvString& token, const char* text) : KvSipHeader(token), m_text(text) {}
    KvSipTextHeader(const KvSipTextHeader& other) = default;

    KvString m_text;
};
