// The Content-Encoding header: one coding applied to the message body.
#pragma once

#include "KvSipHeader.h"

class KvSipContentEncodingHeader : public KvSipHeader {
public:
    KvSipContentEncodingHeader();
    KvSipContentEncodingHeader(const KvSipContentEncodingHeader& other);
    ~KvSipContentEncodingHeader() override;

    KvObject* clone() const override;
    const KvString& getToken() const override;
    const KvString& getCompactToken() const override;
    void doParse(KvInputStream& stream) override;
    void serialize(KvOutputStream& stream) const override;

    static KvSipHeader* sCreate();

    const KvString& getEncoding() const { return m_encoding; }

private:
    KvString m_encoding;
};

inline const KvSipHeaderRegistrar
    kvSipContentEncodingHeaderRegistrar("Content-Encoding", "e",
                                        &KvSipContentEncodingHeader::sCreate);
