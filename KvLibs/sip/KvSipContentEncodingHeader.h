// The Content-Encoding header: one coding applied to the message body.
#pragma once

#include "KvSipHeaderClass.h"

class KvSipContentEncodingHeader : public KvSipHeaderClass<KvSipContentEncodingHeader> {
public:
    static constexpr KvSipHeaderNames NAMES{"Content-Encoding", "e", KV_HEADER_CONTENT_ENCODING};

    KvSipContentEncodingHeader() = default;

    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    const KvString& getEncoding() const { return m_encoding; }

private:
    KvString m_encoding;
};

inline const KvSipHeaderClassRegistrar<KvSipContentEncodingHeader>
    kvSipContentEncodingHeaderRegistrar;
