// The Content-Encoding header: one coding applied to the message body.
#pragma once

#include "KvSipHeaderClass.h"
#include "KvSipTextHeader.h"

class KvSipContentEncodingHeader
    : public KvSipHeaderClass<KvSipContentEncodingHeader, KvSipTextHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Content-Encoding", "e", KV_HEADER_CONTENT_ENCODING};

    KvSipContentEncodingHeader() = default;

    void doParse(KvInputStream& stream) override;

    const KvString& getEncoding() const { return m_text; }
};

inline const KvSipHeaderClassRegistrar<KvSipContentEncodingHeader>
    kvSipContentEncodingHeaderRegistrar;
